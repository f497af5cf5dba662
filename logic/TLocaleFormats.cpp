// SPDX-License-Identifier: GPL-3.0-or-later
#include "TLocaleFormats.h"

#include "TClock.h"

#include <clocale>
#include <langinfo.h>

namespace {

QString Langinfo(nl_item Item) {
    return QString::fromLocal8Bit(nl_langinfo(Item));
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
    return Strftime(QString::fromLocal8Bit(LongTimeFormat()), When);
}

QChar TLocaleFormats::DecimalSeparator() {
    const QString Point = QString::fromLocal8Bit(std::localeconv()->decimal_point);
    return Point.isEmpty() ? QChar(u'.') : Point[0];
}

QString TLocaleFormats::TimeSeparator(const TClock& Clock) {
    return QString::fromLocal8Bit(Clock.TimeSeparator());
}

TLocaleFormats::TStamp TLocaleFormats::Stamp(const TClock& Clock) {
    // A clock that cannot be read gives the zero instant rather than no line.
    const std::tm Date = Clock.LocalNow().value_or(std::tm{});
    const std::tm Time = Clock.LocalNow().value_or(std::tm{});
    return {ShortDate(Date), LongTime(Time)};
}

QString TLocaleFormats::ExpandTimeFormat(const QString& Format, const QString& AmPmFormat) {
    return QString::fromLocal8Bit(::ExpandTimeFormat(Format.toLocal8Bit().toStdString(),
                                                     AmPmFormat.toLocal8Bit().toStdString()));
}
