// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTracePageFixture.h"

#include "ENetExceptions.h"
#include "RequireRoot.h"
#include "TSteppingClock.h"

#include <QMetaObject>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <string>

namespace {

// Readings straddle midnight, so a stamp whose time was read before its date
// would show the wrong day.
const std::tm BeforeMidnight = CalendarTime(2026, 12, 8, 23, 59, 59);

TEST(TTraceRunner, FindOrAddHopItemFindsTheFirstMatchOrAppends) {
    struct TCase {
        const char* Name;
        int32_t Hop;
        int FoundAt; // -1: a new row is appended
    };
    const std::vector<TCase> cases = {
        {"first of two equal captions", 3, 1},
        {"caption with leading zero", 7, 3},
        {"number not present", 2, -1},
        {"non-numeric caption never matches", -1, -1},
        {"zero", 0, -1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTracePageFixture f;
        f.AddRow({"1", "10.0.0.1", "a"});
        f.AddRow({"3", "10.0.0.3", "b"});
        f.AddRow({"3", "10.0.0.4", "c"});
        f.AddRow({"07", "10.0.0.7", "d"});
        f.AddRow({"x", "10.0.0.9", "e"});
        const int before = f.Page.lvTrace->topLevelItemCount();

        QTreeWidgetItem* item = f.Runner->FindOrAddHopItem(c.Hop);

        ASSERT_NE(item, nullptr);
        if (c.FoundAt >= 0) {
            EXPECT_EQ(f.Page.lvTrace->topLevelItemCount(), before);
            EXPECT_EQ(item, f.Page.lvTrace->topLevelItem(c.FoundAt));
        } else {
            ASSERT_EQ(f.Page.lvTrace->topLevelItemCount(), before + 1);
            EXPECT_EQ(item, f.Page.lvTrace->topLevelItem(before));
            EXPECT_EQ(item->text(0), QString::number(c.Hop));
            EXPECT_TRUE(item->text(1).isEmpty());
            EXPECT_TRUE(item->text(2).isEmpty());
        }
    }
}

TEST(TTraceRunner, LoopbackIsReachedAtTheFirstHopAndReplacesOldRows) {
    ZIRKO_REQUIRE_ROOT();
    TSteppingClock clock(BeforeMidnight);
    TTracePageFixture f(clock);
    f.Page.e_host->setText(QStringLiteral("127.0.0.1"));
    f.AddRow({"1", "10.0.0.1", "from an earlier run"});
    f.AddRow({"2", "10.0.0.2", "from an earlier run"});

    f.Runner->TraceExecute();

    const std::vector<QString> rows = f.Rows();
    ASSERT_EQ(rows.size(), 1u);
    // de_DE: dd.mm.yyyy and hh:mm:ss; the date is read first.
    const QRegularExpression expected(
        QStringLiteral(R"(^1\|127\.0\.0\.1\|Reached \(08\.12\.2026-00:00:00\) in : \d+ ms$)"));
    EXPECT_TRUE(expected.match(rows[0]).hasMatch()) << rows[0].toStdString();
    EXPECT_EQ(clock.Readings(), 2);
    EXPECT_EQ(f.Client.TTL(), 1);
    EXPECT_EQ(f.Client.ReceiveTimeout(), 5000);
}

TEST(TTraceRunner, UnresolvableHostEmptiesTheListAndRaises) {
    // Setting the TTL opens the raw socket, before the name is looked up.
    ZIRKO_REQUIRE_RAW_SOCKETS();
    // The empty field goes to the lookup unchanged, as an empty name.
    for (const char* host : {"zirko-trace-test.invalid", ""}) {
        SCOPED_TRACE(host);
        TTracePageFixture f;
        f.Page.e_host->setText(QString::fromUtf8(host));
        f.AddRow({"1", "10.0.0.1", "from an earlier run"});

        std::string message;
        try {
            f.Runner->TraceExecute();
        } catch (const ENetSocketError& e) {
            message = e.what();
        }

        EXPECT_EQ(message, "Socket Error # 11001\r\nHost not found.");
        EXPECT_EQ(f.Page.lvTrace->topLevelItemCount(), 0);
    }
}

TEST(TTraceRunner, ClickStartedDuringTheRunNestsAndNeitherDuplicatesRows) {
    ZIRKO_REQUIRE_ROOT();
    TSteppingClock clock(BeforeMidnight);
    TTracePageFixture f(clock);
    f.Page.e_host->setText(QStringLiteral("127.0.0.1"));
    // Waits in the queue until the outer run processes pending messages.
    QMetaObject::invokeMethod(f.Page.btn_execute, &QPushButton::click, Qt::QueuedConnection);

    f.Page.btn_execute->click();

    const std::vector<QString> rows = f.Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0].startsWith(QStringLiteral("1|127.0.0.1|Reached (")))
        << rows[0].toStdString();
    // Two stamps: the outer run's and the nested run's.
    EXPECT_EQ(clock.Readings(), 4);
}

} // namespace
