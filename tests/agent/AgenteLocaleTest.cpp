// SPDX-License-Identifier: GPL-3.0-or-later
// Date and time texts: fixed patterns, with the time separator from the user's locale.
#include "AgenteTestSupport.h"
#include "AgenteText.h"
#include "AgenteUtils.h"
#include "RequireRoot.h"

#include <clocale>

using namespace agente_test;

namespace {

// The real locale, but a fixed instant: 8 December 2026 14:05:33.
class TFixedInstantClock : public TClock {
public:
    std::optional<std::tm> LocalNow() const override { return ReferenceInstant(); }
};

class TLocaleGuard {
public:
    explicit TLocaleGuard(const char* Name) {
        ::setenv("LC_ALL", Name, 1);
        FActive = std::setlocale(LC_ALL, "") != nullptr;
    }
    ~TLocaleGuard() {
        ::unsetenv("LC_ALL");
        std::setlocale(LC_ALL, "C");
    }
    TLocaleGuard(const TLocaleGuard&) = delete;
    TLocaleGuard& operator=(const TLocaleGuard&) = delete;
    bool Active() const { return FActive; }

private:
    bool FActive = false;
};

} // namespace

TEST(AgenteLocaleTest, RealLocalesGiveTheirTimeSeparator) {
    const struct {
        const char* Locale;
        const char* Separator;
    } Cases[] = {
        {"it_IT.UTF-8", ":"}, {"de_DE.UTF-8", ":"}, {"en_US.UTF-8", ":"}, {"fi_FI.UTF-8", "."}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Locale);
        const TLocaleGuard Locale(C.Locale);
        ZIRKO_REQUIRE(Locale.Active(), std::string("locale not generated: ") + C.Locale);
        const TFixedInstantClock Clock;
        TAgente Agente;
        Agente.SetClock(&Clock);
        const std::string Sep = C.Separator;
        EXPECT_EQ(Agente.TimeText(), "14" + Sep + "05" + Sep + "33");
        EXPECT_EQ(Agente.DateText(), "08.12.2026") << "the date pattern ignores the locale";

        TTempDir Dir;
        SetUpAgent(Agente, Dir.Path(), &Clock);
        Agente.StartUp();
        Agente.ShutDown();
        const std::string Log = ReadFile(Dir.Path() + "ZIRKO.LOG");
        EXPECT_NE(Log.find(" 08.12.2026 - 14" + Sep + "05" + Sep + "33 ***\r\n"),
                  std::string::npos);
        EXPECT_NE(Log.find("|08.12.2026|14" + Sep + "05" + Sep + "33|Start Up AGENTE\r\n"),
                  std::string::npos);
    }
}

TEST(AgenteLocaleTest, SystemClockGivesTodaysStamp) {
    TAgente Agente;
    for (int Attempt = 0; Attempt < 3; ++Attempt) {
        const time_t Before = ::time(nullptr);
        const std::string Date = Agente.DateText();
        const std::string Time = Agente.TimeText();
        if (::time(nullptr) != Before) {
            continue; // crossed a second: read again
        }
        std::tm Local{};
        ::localtime_r(&Before, &Local);
        char Expected[32];
        std::strftime(Expected, sizeof Expected, "%d.%m.%Y %H:%M:%S", &Local);
        EXPECT_EQ(Date + " " + Time, Expected);
        return;
    }
    FAIL() << "clock kept crossing seconds";
}

TEST(AgenteLocaleTest, TimeSeparatorFollowsTheHourField) {
    const struct {
        const char* Format;
        const char* AmPm;
        const char* Separator;
    } Cases[] = {
        {"%H:%M:%S", "", ":"},
        {"%H.%M.%S", "", "."},
        {"%T", "", ":"},
        {"%r", "%I:%M:%S %p", ":"},
        {"%r", "%I.%M.%S %p", "."},
        {"%r", "%r", ":"},
        {"%p %I:%M:%S", "", ":"},
        {"%-H.%M", "", "."},
        {"%OH h %M", "", " h "},
        {"%%H-%H-%M", "", "-"},
        {"%H", "", ":"},
        {"", "", ":"},
        {"%2H.%M", "", "."}, // a field width is no conversion
        {"%_2k h %M", "", " h "},
        {"%H%M%S", "", ":"}, // nothing between the fields
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(TimeSeparatorOf(C.Format, C.AmPm), C.Separator) << C.Format;
    }
}

TEST(AgenteLocaleTest, ImpossibleTimesGiveZeroTexts) {
    std::tm Bad{};
    Bad.tm_mday = 0; // no such day
    for (const std::optional<std::tm>& Time : {std::optional<std::tm>{}, std::optional(Bad)}) {
        EXPECT_EQ(FormatDateText(Time), "00.00.0000");
        EXPECT_EQ(FormatTimeText(Time, "."), "00:00:00");
        EXPECT_EQ(FormatBackupStamp(Time), "00000000000000");
    }
}

TEST(AgenteUtilsTest, ReplicateCharOnlyForCountsFrom1To255) {
    const struct {
        int32_t Count;
        size_t Length;
    } Cases[] = {{-1, 0}, {0, 0}, {1, 1}, {80, 80}, {255, 255}, {256, 0}};
    for (const auto& C : Cases) {
        EXPECT_EQ(ReplicateChar('-', C.Count), std::string(C.Length, '-')) << C.Count;
    }
}

TEST(AgenteUtilsTest, TotalFileSizeSumsMatchesAndNeverWraps) {
    TTempDir Dir;
    const std::string Odd = Dir.Path() + "logs[1]*/";
    const std::string Sibling = Dir.Path() + "logs[1]*x/";
    ASSERT_EQ(::mkdir(Odd.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(Sibling.c_str(), 0755), 0);
    MakeSparseFile(Sibling + "ZIRKO.LOG", 5);
    MakeSparseFile(Odd + "ZIRKO.LOG", 25'000'001);
    MakeSparseFile(Odd + ".hidden.LOG", 7);
    MakeSparseFile(Odd + "other.TXT", 100);
    ASSERT_EQ(::mkdir((Odd + "sub.LOG").c_str(), 0755), 0);
    MakeSparseFile(Dir.Path() + "huge.LOG", 3'000'000'000);

    const struct {
        std::string Path;
        int32_t Size;
    } Cases[] = {
        {Odd + "ZIRKO.LOG", 25'000'001},       {Odd + "*.LOG", 25'000'008},
        {Odd + "?????.LOG", 25'000'001},       {Odd + "missing.LOG", 0},
        {Dir.Path() + "no/such/ZIRKO.LOG", 0}, {Dir.Path() + "huge.LOG", INT32_MAX},
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(TotalFileSize(C.Path), C.Size) << C.Path;
    }
}

TEST(AgenteUtilsTest, RenameNoReplaceNeverOverwrites) {
    TTempDir Dir;
    WriteFile(Dir.Path() + "a", "a");
    WriteFile(Dir.Path() + "b", "b");
    EXPECT_EQ(RenameNoReplace(Dir.Path() + "a", Dir.Path() + "b"), TRenameResult::TargetTaken);
    EXPECT_EQ(ReadFile(Dir.Path() + "b"), "b");
    EXPECT_EQ(RenameNoReplace(Dir.Path() + "a", Dir.Path() + "c"), TRenameResult::Renamed);
    EXPECT_EQ(ReadFile(Dir.Path() + "c"), "a");
    EXPECT_EQ(RenameNoReplace(Dir.Path() + "a", Dir.Path() + "d"), TRenameResult::Failed);
}
