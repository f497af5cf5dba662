#pragma once

#include <QChar>
#include <QDateTime>
#include <QString>

#include <functional>

// The user's date, time and number conventions, read from the C library's
// locale (LC_TIME, LC_NUMERIC), which QCoreApplication sets from the
// environment. Tests switch it with setlocale() and replace the clock.
class TLocaleFormats {
public:
    using TNowSource = std::function<QDateTime()>;

    // Short date with a four-digit year where the locale has one (D_FMT).
    static QString ShortDate(const QDateTime& When);
    // Long time with seconds and no time zone (T_FMT).
    static QString LongTime(const QDateTime& When);
    static QChar DecimalSeparator();
    // The characters between the hour and the minute of the long time format.
    static QString TimeSeparator();

    // Local date and time; the system clock unless a test installed a source.
    static QDateTime Now();
    // An empty source restores the system clock.
    static void SetNowSource(TNowSource Source);

    // Exposed for tests: the time format with composite and zone fields resolved.
    static QString ExpandTimeFormat(const QString& Format, const QString& AmPmFormat);
    static QString TimeSeparatorOf(const QString& ExpandedFormat);
};
