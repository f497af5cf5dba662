// SPDX-License-Identifier: GPL-3.0-or-later
#include "TCsvExport.h"

#include "CsvField.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QSaveFile>
#include <QTimeZone>

#include <cstdlib>

namespace TCsvExport {

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
    Line += ',' + CsvField(s.FromAddress);
    Line += ',' + QByteArray::number(s.ReplyTtl);
    Line += ',' + QByteArray::number(s.RoundTripMs);
    Line += s.Lost() ? ",1\r\n" : ",0\r\n";
    return Line;
}

namespace {

QByteArray Milliseconds(int64_t Us) {
    return QByteArray::number(double(Us) / 1000.0, 'f', 3);
}

int32_t OffsetAt(int64_t UtcMs) {
    return QDateTime::fromMSecsSinceEpoch(UtcMs).offsetFromUtc();
}

} // namespace

QByteArray Row(const THistoryPing& p) {
    QByteArray Line = IsoTime(p.UtcMs, OffsetAt(p.UtcMs)).toLatin1();
    Line += ',';
    Line += ',' + QByteArray::number(p.Bytes);
    Line += ',' + CsvField(QString::fromStdString(p.Address));
    Line += ',' + QByteArray::number(p.Ttl);
    Line += ',' + (p.RoundTripUs ? Milliseconds(*p.RoundTripUs) : QByteArray());
    Line += p.RoundTripUs ? ",0\r\n" : ",1\r\n";
    return Line;
}

QByteArray MinuteHeader() {
    return QByteArrayLiteral("# minute aggregates: the single pings of these minutes are no "
                             "longer kept\r\n"
                             "minute,from,count,lost,min_ms,mean_ms,max_ms\r\n");
}

QByteArray Row(const THistoryMinute& m) {
    const int64_t Ms = m.Minute * 60 * 1000;
    const int64_t Answered = m.Count - m.Lost;
    QByteArray Line = IsoTime(Ms, OffsetAt(Ms)).toLatin1();
    Line += ',' + CsvField(QString::fromStdString(m.Address));
    Line += ',' + QByteArray::number(m.Count) + ',' + QByteArray::number(m.Lost) + ',';
    if (Answered > 0) {
        Line += Milliseconds(m.MinUs) + ',' + Milliseconds(m.SumUs / Answered) + ',' +
                Milliseconds(m.MaxUs);
    } else {
        Line += ",,";
    }
    return Line + "\r\n";
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

QString AskPath(QWidget* Parent, const QString& Title, const QString& Stem,
                const QString& Extension, const QDateTime& Now) {
    const QString Suggested = QDir::home().filePath(
        QStringLiteral("%1-%2.%3")
            .arg(Stem, Now.toString(QStringLiteral("yyyyMMdd-HHmmss")), Extension));
    const QString Filter = Extension == QLatin1String("png")
                               ? QCoreApplication::translate("TCsvExport", "Immagini PNG (*.png)")
                               : QCoreApplication::translate("TCsvExport", "File CSV (*.csv)");
    return QFileDialog::getSaveFileName(Parent, Title, Suggested, Filter);
}

} // namespace TCsvExport
