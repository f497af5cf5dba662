// SPDX-License-Identifier: GPL-3.0-or-later
#include "TLocaleFormats.h"
#include "RequireRoot.h"
#include "TClock.h"
#include "TSteppingClock.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <ctime>
#include <optional>
#include <string>

namespace {

TEST(TLocaleFormatsExpand, CompositeAndZoneFieldsAreResolved) {
    struct {
        const char* Format;
        const char* AmPm;
        const char* Expanded;
        const char* Separator;
    } const Cases[] = {
        {"%T", "", "%H:%M:%S", ":"},
        {"%H.%M.%S", "", "%H.%M.%S", "."},
        {"%r", "%I:%M:%S %p", "%I:%M:%S %p", ":"},
        {"%H:%M:%S %Z", "", "%H:%M:%S", ":"},
        {"%OH:%OM:%OS", "", "%OH:%OM:%OS", ":"},
        {"%-k h %M min", "", "%-k h %M min", " h "},
        {"%p %I時%M分%S秒", "", "%p %I時%M分%S秒", "時"},
        {"%S", "", "%S", ":"},     // no hour field: fall back to the usual colon
        {"", "", "%H:%M:%S", ":"}, // no time format at all
    };
    for (const auto& c : Cases) {
        SCOPED_TRACE(c.Format);
        const QString Expanded = TLocaleFormats::ExpandTimeFormat(QString::fromUtf8(c.Format),
                                                                  QString::fromUtf8(c.AmPm));
        EXPECT_EQ(Expanded.toStdString(), c.Expanded);
        EXPECT_EQ(TimeSeparatorOf(Expanded.toStdString(), ""), c.Separator);
    }
}

// Switches the C library's locale for one test and puts the previous one back.
class TLocaleFormatsUnder : public ::testing::Test {
protected:
    void SetUp() override { Saved = std::setlocale(LC_ALL, nullptr); }
    void TearDown() override { std::setlocale(LC_ALL, Saved.c_str()); }
    std::string Saved;
};

TEST_F(TLocaleFormatsUnder, RealLocales) {
    const std::tm When = CalendarTime(2026, 12, 8, 14, 3, 27);
    struct {
        const char* Locale;
        const char* Date;
        const char* Time;
        char Decimal;
        const char* TimeSeparator;
    } const Cases[] = {
        {"it_IT.UTF-8", "08/12/2026", "14:03:27", ',', ":"},
        {"de_DE.UTF-8", "08.12.2026", "14:03:27", ',', ":"},
        {"en_US.UTF-8", "12/08/2026", "02:03:27 PM", '.', ":"},
        {"fi_FI.UTF-8", "08.12.2026", "14.03.27", ',', "."},
        {"C", "12/08/2026", "14:03:27", '.', ":"},
    };
    for (const auto& c : Cases) {
        SCOPED_TRACE(c.Locale);
        ZIRKO_REQUIRE(std::setlocale(LC_ALL, c.Locale) != nullptr,
                      std::string("locale not generated: ") + c.Locale);
        EXPECT_EQ(TLocaleFormats::ShortDate(When).toStdString(), c.Date);
        EXPECT_EQ(TLocaleFormats::LongTime(When).toStdString(), c.Time);
        EXPECT_EQ(TLocaleFormats::DecimalSeparator(), QChar(c.Decimal));
        EXPECT_EQ(TLocaleFormats::TimeSeparator(TClock::System()).toStdString(), c.TimeSeparator);
    }
}

TEST_F(TLocaleFormatsUnder, StampReadsTheDateBeforeTheTime) {
    // Readings straddle midnight: a time read before its date would show the next day.
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    const TSteppingClock Clock(CalendarTime(2026, 12, 8, 23, 59, 59));
    const TLocaleFormats::TStamp Stamp = TLocaleFormats::Stamp(Clock);
    EXPECT_EQ(Stamp.Date.toStdString(), "12/08/2026");
    EXPECT_EQ(Stamp.Time.toStdString(), "00:00:00");
    EXPECT_EQ(Stamp.Joined().toStdString(), "12/08/2026-00:00:00");
    EXPECT_EQ(Clock.Readings(), 2);
}

TEST(TLocaleFormatsNow, SystemClockGivesThePresent) {
    const std::optional<std::tm> Now = TClock::System().LocalNow();
    ASSERT_TRUE(Now.has_value());
    std::tm Copy = *Now;
    EXPECT_LE(std::abs(std::difftime(std::mktime(&Copy), std::time(nullptr))), 5.0);
}

} // namespace
