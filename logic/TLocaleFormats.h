// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>

#include <ctime>

class TClock;

// The user's date, time and number conventions, read from the C library's
// locale (LC_TIME, LC_NUMERIC), which QCoreApplication sets from the
// environment. Tests switch it with setlocale() and hand in their own clock.
class TLocaleFormats {
public:
    // Short date with a four-digit year where the locale has one (D_FMT).
    static QString ShortDate(const std::tm& When);
    // Long time with seconds and no time zone (T_FMT).
    static QString LongTime(const std::tm& When);
    static QChar DecimalSeparator();
    // The characters between the hour and the minute of the long time format.
    static QString TimeSeparator(const TClock& Clock);

    // The stamp of a log line or a hop note: the clock is read twice, the date first.
    struct TStamp {
        QString Date;
        QString Time;
        // "date-time"
        QString Joined() const { return Date + QStringLiteral("-") + Time; }
    };
    static TStamp Stamp(const TClock& Clock);

    // Exposed for tests: the time format with composite and zone fields resolved.
    static QString ExpandTimeFormat(const QString& Format, const QString& AmPmFormat);
};
