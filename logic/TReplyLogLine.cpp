// SPDX-License-Identifier: GPL-3.0-or-later
#include "TReplyLogLine.h"

QString TReplyLogLine::TimeOperator(uint32_t RoundTripMs) {
    return RoundTripMs == 0 ? QStringLiteral("<1") : QStringLiteral("=");
}

QString TReplyLogLine::Message(int32_t ReplyBytes, const QString& FromAddress, uint16_t Sequence,
                               uint8_t ReplyTtl, uint32_t RoundTripMs) {
    // Below one millisecond the bound itself is the value: "time<1 ms", never "time<10 ms".
    const QString Time = RoundTripMs == 0
                             ? TimeOperator(RoundTripMs)
                             : TimeOperator(RoundTripMs) + QString::number(RoundTripMs);
    return QStringLiteral("%1 bytes from %2: icmp_seq=%3 ttl=%4 time%5 ms")
        .arg(QString::number(ReplyBytes), FromAddress, QString::number(Sequence),
             QString::number(ReplyTtl), Time);
}

QString TReplyLogLine::Line(const QString& Date, const QString& Time, const QString& Message) {
    return Date + u'-' + Time + u'\\' + Message;
}
