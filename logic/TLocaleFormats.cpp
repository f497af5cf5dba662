#include "TLocaleFormats.h"

#include <clocale>
#include <ctime>
#include <langinfo.h>
#include <utility>

namespace {

TLocaleFormats::TNowSource& NowSource() {
    static TLocaleFormats::TNowSource Source;
    return Source;
}

QString Langinfo(nl_item Item) {
    return QString::fromLocal8Bit(nl_langinfo(Item));
}

// Skips the flag, width and E/O modifiers glibc allows between '%' and the conversion.
qsizetype ConversionAt(const QString& Format, qsizetype Percent) {
    qsizetype i = Percent + 1;
    while (i < Format.size() &&
           (QStringLiteral("_-0^#").contains(Format[i]) || Format[i].isDigit()))
        ++i;
    if (i < Format.size() && (Format[i] == u'E' || Format[i] == u'O'))
        ++i;
    return i;
}

QString Strftime(const QString& Format, const QDateTime& When) {
    if (Format.isEmpty())
        return {};
    const QDateTime Local = When.toLocalTime();
    const QDate D = Local.date();
    const QTime T = Local.time();
    std::tm Tm{};
    Tm.tm_year = D.year() - 1900;
    Tm.tm_mon = D.month() - 1;
    Tm.tm_mday = D.day();
    Tm.tm_wday = D.dayOfWeek() % 7;
    Tm.tm_yday = D.dayOfYear() - 1;
    Tm.tm_hour = T.hour();
    Tm.tm_min = T.minute();
    Tm.tm_sec = T.second();
    Tm.tm_isdst = -1;
    const QByteArray Fmt = Format.toLocal8Bit();
    char Buffer[256];
    const size_t Length = std::strftime(Buffer, sizeof Buffer, Fmt.constData(), &Tm);
    return QString::fromLocal8Bit(Buffer, static_cast<qsizetype>(Length));
}

} // namespace

QString TLocaleFormats::ShortDate(const QDateTime& When) {
    QString Format = Langinfo(D_FMT);
    if (Format.isEmpty())
        Format = QStringLiteral("%m/%d/%Y");
    // The C locale writes a two-digit year; every real locale here has %Y.
    Format.replace(QStringLiteral("%y"), QStringLiteral("%Y"));
    return Strftime(Format, When);
}

QString TLocaleFormats::LongTime(const QDateTime& When) {
    return Strftime(ExpandTimeFormat(Langinfo(T_FMT), Langinfo(T_FMT_AMPM)), When);
}

QChar TLocaleFormats::DecimalSeparator() {
    const QString Point = QString::fromLocal8Bit(std::localeconv()->decimal_point);
    return Point.isEmpty() ? QChar(u'.') : Point[0];
}

QString TLocaleFormats::TimeSeparator() {
    return TimeSeparatorOf(ExpandTimeFormat(Langinfo(T_FMT), Langinfo(T_FMT_AMPM)));
}

QDateTime TLocaleFormats::Now() {
    const TNowSource& Source = NowSource();
    return Source ? Source() : QDateTime::currentDateTime();
}

void TLocaleFormats::SetNowSource(TNowSource Source) {
    NowSource() = std::move(Source);
}

QString TLocaleFormats::ExpandTimeFormat(const QString& Format, const QString& AmPmFormat) {
    QString Out;
    for (qsizetype i = 0; i < Format.size(); ++i) {
        if (Format[i] != u'%' || i + 1 >= Format.size()) {
            Out += Format[i];
            continue;
        }
        const qsizetype c = ConversionAt(Format, i);
        if (c >= Format.size()) {
            Out += Format.mid(i);
            break;
        }
        const QChar Kind = Format[c];
        if (Kind == u'T') {
            Out += QStringLiteral("%H:%M:%S");
        } else if (Kind == u'R') {
            Out += QStringLiteral("%H:%M");
        } else if (Kind == u'r') {
            Out += AmPmFormat.contains(QStringLiteral("%r"))
                       ? QStringLiteral("%I:%M:%S %p")
                       : ExpandTimeFormat(AmPmFormat, QString());
        } else if (Kind == u'Z' || Kind == u'z') {
            // No zone in the long time: drop it with the blank that led to it.
            while (Out.endsWith(u' '))
                Out.chop(1);
        } else {
            Out += Format.mid(i, c - i + 1);
        }
        i = c;
    }
    // A locale without a time format still gets a time with seconds.
    return Out.isEmpty() ? QStringLiteral("%H:%M:%S") : Out;
}

QString TLocaleFormats::TimeSeparatorOf(const QString& ExpandedFormat) {
    const auto IsHour = [](QChar k) { return k == u'H' || k == u'I' || k == u'k' || k == u'l'; };
    qsizetype i = 0;
    while (i < ExpandedFormat.size()) {
        if (ExpandedFormat[i] != u'%') {
            ++i;
            continue;
        }
        const qsizetype c = ConversionAt(ExpandedFormat, i);
        if (c >= ExpandedFormat.size())
            break;
        if (IsHour(ExpandedFormat[c])) {
            const qsizetype Next = ExpandedFormat.indexOf(u'%', c + 1);
            if (Next < 0)
                break;
            return ExpandedFormat.mid(c + 1, Next - c - 1);
        }
        i = c + 1;
    }
    return QStringLiteral(":");
}
