// SPDX-License-Identifier: GPL-3.0-or-later
#include "THopRow.h"

#include <QCoreApplication>

THopRow THopRow::ForReply(const TReplyStatus& Reply, const std::function<QString()>& Stamp) {
    const QString from = QString::fromStdString(Reply.FromAddress);
    switch (Reply.Status) {
    case skEchoReply:
        return {from,
                QCoreApplication::translate("THopRow", "Reached (%1) in : %2 ms")
                    .arg(Stamp(), QString::number(Reply.RoundTripMs)),
                TTraceNext::Reached};
    case skTimedOut:
        return {QStringLiteral("?.?.?.?"), QCoreApplication::translate("THopRow", "Timed out."),
                TTraceNext::Continue};
    case skUnreachable:
        return {from, QCoreApplication::translate("THopRow", "Destination network unreachable"),
                TTraceNext::Stop};
    case skTtlExceeded:
        return {from,
                QCoreApplication::translate("THopRow", "(%1)TTL=%2")
                    .arg(Stamp(), QString::number(Reply.ReplyTtl)),
                TTraceNext::Continue};
    case skError:
        break;
    }
    // skError and any value outside the enumeration read as an unknown error.
    return {from, QCoreApplication::translate("THopRow", "Unknown error."), TTraceNext::Continue};
}

std::optional<int32_t> THopRow::HopNumberOf(const QString& Caption) {
    bool ok = false;
    const int32_t hop = Caption.toInt(&ok, 10);
    if (!ok) {
        return std::nullopt;
    }
    return hop;
}

int32_t THopRow::MaxHopsOf(const QString& Text, int32_t Minimum) {
    bool ok = false;
    const int32_t value = Text.toInt(&ok, 10);
    return ok ? value : Minimum;
}
