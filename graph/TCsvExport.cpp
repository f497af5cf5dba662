// SPDX-License-Identifier: GPL-3.0-or-later
#include "TCsvExport.h"

#include <QDateTime>
#include <QSaveFile>
#include <QTimeZone>

#include <cstdlib>

namespace TCsvExport {

namespace {

// Addresses hold no comma or quote today; quoting keeps the file sound if
// some address text ever does.
QByteArray Field(const QString& Text) {
    QByteArray Bytes = Text.toUtf8();
    if (Bytes.contains(',') || Bytes.contains('"') || Bytes.contains('\n') ||
        Bytes.contains('\r')) {
        Bytes.replace("\"", "\"\"");
        Bytes = '"' + Bytes + '"';
    }
    return Bytes;
}

} // namespace

QByteArray Header() {
    return QByteArrayLiteral("time,sequence,bytes,from,ttl,round_trip_ms,lost\r\n");
}

QString IsoTime(qint64 WhenMs, int32_t UtcOffsetSeconds) {
    // Written by hand: Qt writes "Z" instead of "+00:00" for a zero offset.
    const QDateTime Local =
        QDateTime::fromMSecsSinceEpoch(WhenMs + qint64(UtcOffsetSeconds) * 1000, QTimeZone::utc());
    const int Minutes = std::abs(UtcOffsetSeconds) / 60;
    return Local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
           (UtcOffsetSeconds < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2")
               .arg(Minutes / 60, 2, 10, QChar(u'0'))
               .arg(Minutes % 60, 2, 10, QChar(u'0'));
}

QByteArray Row(const TPingSample& s) {
    QByteArray Line = IsoTime(s.WhenMs, s.UtcOffsetSeconds).toLatin1();
    Line += ',' + QByteArray::number(s.Sequence);
    Line += ',' + QByteArray::number(s.ReplyBytes);
    Line += ',' + Field(s.FromAddress);
    Line += ',' + QByteArray::number(s.ReplyTtl);
    Line += ',' + QByteArray::number(s.RoundTripMs);
    Line += s.Lost() ? ",1\r\n" : ",0\r\n";
    return Line;
}

QByteArray Text(const TPingHistory& History, std::size_t First, std::size_t Last) {
    QByteArray Out = Header();
    Out.reserve(Out.size() + qsizetype(Last - First) * 64);
    for (std::size_t i = First; i < Last; ++i) {
        Out += Row(History[i]);
    }
    return Out;
}

QString WriteFile(const QString& Path, const QByteArray& Bytes) {
    QSaveFile File(Path);
    if (!File.open(QIODevice::WriteOnly)) {
        return File.errorString();
    }
    if (File.write(Bytes) != Bytes.size()) {
        const QString Reason = File.errorString();
        File.cancelWriting();
        return Reason;
    }
    if (!File.commit()) {
        return File.errorString();
    }
    return {};
}

} // namespace TCsvExport
