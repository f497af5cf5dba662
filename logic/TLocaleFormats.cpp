// SPDX-License-Identifier: GPL-3.0-or-later
#include "TLocaleFormats.h"

#include "TClock.h"

#include <clocale>
#include <langinfo.h>

namespace {

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

QString Strftime(const QString& Format, const std::tm& When) {
    if (Format.isEmpty())
        return {};
    const QByteArray Fmt = Format.toLocal8Bit();
    char Buffer[256];
    const size_t Length = std::strftime(Buffer, sizeof Buffer, Fmt.constData(), &When);
    return QString::fromLocal8Bit(Buffer, static_cast<qsizetype>(Length));
}

} // namespace

QString TLocaleFormats::ShortDate(const std::tm& When) {
    QString Format = Langinfo(D_FMT);
    if (Format.isEmpty())
        Format = QStringLiteral("%m/%d/%Y");
    // The C locale writes a two-digit year; every real locale here has %Y.
    Format.replace(QStringLiteral("%y"), QStringLiteral("%Y"));
    return Strftime(Format, When);
}

QString TLocaleFormats::LongTime(const std::tm& When) {
    return Strftime(ExpandTimeFormat(Langinfo(T_FMT), Langinfo(T_FMT_AMPM)), When);
}

QChar TLocaleFormats::DecimalSeparator() {
    const QString Point = QString::fromLocal8Bit(std::localeconv()->decimal_point);
    return Point.isEmpty() ? QChar(u'.') : Point[0];
}

QString TLocaleFormats::TimeSeparator() {
    return QString::fromLocal8Bit(TClock::System().TimeSeparator());
}

TLocaleFormats::TStamp TLocaleFormats::Stamp(const TClock& Clock) {
    // A clock that cannot be read gives the zero instant rather than no line.
    const std::tm Date = Clock.LocalNow().value_or(std::tm{});
    const std::tm Time = Clock.LocalNow().value_or(std::tm{});
    return {ShortDate(Date), LongTime(Time)};
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
