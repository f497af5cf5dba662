// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTargetDialog.h"
#include "TTargetsPage.h"
#include "TTargetsFile.h"
#include "TTargetsStore.h"
#include "TestFiles.h"

#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>

namespace {

struct TDialogRow {
    const char* Name;
    std::array<const char*, TTargetDialog::FieldCount> Fields; // host, name, group, interval, alarm, limit
    const char* Reason; // nullptr: accepted
};

const TDialogRow DialogRows[] = {
    {"every value good", {"10.0.0.1", "gw", "edge", "500ms", "3", "80"}, nullptr},
    {"name and group may be empty", {"fd00::1", "", "", "2m", "1", "10000"}, nullptr},
    {"no host", {"", "gw", "", "1s", "10", "250"}, "an empty host"},
    {"interval with no unit", {"10.0.0.1", "", "", "5", "10", "250"}, "\"interval\" must be a duration"},
    {"interval of a day and more", {"10.0.0.1", "", "", "25h", "10", "250"}, "from 1ms to 24h"},
    {"alarm of none", {"10.0.0.1", "", "", "1s", "0", "250"}, "\"alarm_after_lost\" must be a whole number from 1 to 1000"},
    {"alarm not a number", {"10.0.0.1", "", "", "1s", "dieci", "250"}, "not \"dieci\""},
    {"limit below the spinner's", {"10.0.0.1", "", "", "1s", "10", "9"}, "\"latency_limit_ms\" must be a whole number from 10 to 10000"},
    {"host listed with the same labels", {"10.0.0.9", "gw", "", "1s", "10", "250"}, "already listed with the same labels"},
};

TEST(TTargetsPageTest, DialogRefusesBadValuesWithTheReason) {
    TTarget Listed;
    Listed.Host = "10.0.0.9";
    Listed.Labels = {{"name", "gw"}};
    for (const TDialogRow& Row : DialogRows) {
        SCOPED_TRACE(Row.Name);
        TTargetDialog Dialog(QStringLiteral("Aggiungi bersaglio"), TTarget{},
                             [&](const TTarget& ANew) { return TTargetsStore::Clash(ANew, {Listed}); });
        for (int I = 0; I < TTargetDialog::FieldCount; ++I) {
            Dialog.Field(I)->setText(QString::fromUtf8(Row.Fields[I]));
        }
        Dialog.accept();
        if (Row.Reason == nullptr) {
            EXPECT_EQ(Dialog.result(), QDialog::Accepted) << Dialog.Reason()->text().toStdString();
            const TTarget& Made = Dialog.Target();
            EXPECT_EQ(Made.Host, Row.Fields[0]);
            EXPECT_EQ(Made.Name(), Row.Fields[1]);
            EXPECT_EQ(Made.Group(), Row.Fields[2]);
            EXPECT_EQ(zirko::targets::IntervalText(Made.IntervalMs), Row.Fields[3]);
            EXPECT_EQ(std::to_string(Made.AlarmAfterLost), Row.Fields[4]);
            EXPECT_EQ(std::to_string(Made.LatencyLimitMs), Row.Fields[5]);
            continue;
        }
        EXPECT_NE(Dialog.result(), QDialog::Accepted);
        EXPECT_TRUE(Dialog.Reason()->text().contains(QString::fromUtf8(Row.Reason)))
            << Dialog.Reason()->text().toStdString();
    }
}

// What the page makes of the file it finds, and what its first change does to it.
struct TFileRow {
    const char* Name;
    std::function<void(const std::string& APath)> Prepare;
    std::string Problem;  // in the page's line; empty: none
    bool KeptUnasked;     // the first change leaves the file as it was
};

// made when run: the system words its errors in the locale the application set
std::vector<TFileRow> FileRows() {
    return {
        {"no file yet", [](const std::string&) {}, "", false},
        {"written by the page before",
         [](const std::string& APath) {
             TTarget Old;
             Old.Host = "10.0.0.1";
             Old.Labels = {{"group", "uffici"}};
             Old.Stopped = true;
             zirko::targets::Write(APath, {Old});
         },
         "", false},
        {"damaged", [](const std::string& APath) { zirko::test::WriteFile(APath, "targets:\n- hosts: [a\n"); },
         "targets.yml:3: end of sequence flow not found", true},
        {"unreadable", [](const std::string& APath) { std::filesystem::create_directory(APath); },
         std::string("targets.yml: cannot read: ") + std::strerror(EISDIR), true},
    };
}

TEST(TTargetsPageTest, FileIsReadBackAndNeverReplacedUnasked) {
    for (const TFileRow& Row : FileRows()) {
        SCOPED_TRACE(Row.Name);
        const zirko::test::TTempDir Dir;
        const std::string Path = Dir.Path() + "zirko/targets.yml";
        std::filesystem::create_directories(Dir.Path() + "zirko");
        Row.Prepare(Path);
        const bool Existed = std::filesystem::exists(Path);
        const std::string Before = Existed && !std::filesystem::is_directory(Path)
                                       ? zirko::test::ReadFile(Path) : std::string();
        const std::vector<TTarget> Expected =
            Existed && Row.Problem.empty() ? zirko::targets::Read(Path) : std::vector<TTarget>{};

        TTargetsPage Page(Path);
        EXPECT_EQ(Page.Targets(), Expected);
        EXPECT_EQ(Page.tv_bersagli->topLevelItemCount(), Expected.empty() ? 0 : 1);
        EXPECT_EQ(Page.l_problema->text().contains(QString::fromStdString(Row.Problem.empty() ? "\x01" : Row.Problem)),
                  !Row.Problem.empty()) << Page.l_problema->text().toStdString();

        TTargetsStore Store(Path);
        Store.Load();
        std::vector<TTarget> Next = Expected;
        Next.emplace_back().Host = "fd00::2";
        const auto Saved = Store.Save(Next);
        if (Row.KeptUnasked) {
            EXPECT_EQ(Saved, TTargetsStore::TSaved::NeedsConsent);
            EXPECT_EQ(std::filesystem::is_directory(Path) ? std::string() : zirko::test::ReadFile(Path),
                      Before);
            continue;
        }
        EXPECT_EQ(Saved, TTargetsStore::TSaved::Written) << Store.Problem();
        EXPECT_EQ(TTargetsPage(Path).Targets(), Next) << zirko::test::ReadFile(Path);
    }
}

} // namespace
