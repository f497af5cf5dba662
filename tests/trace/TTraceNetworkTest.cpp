// SPDX-License-Identifier: GPL-3.0-or-later
// Real traces from an in-process client inside the client namespace of a test network.
#include "TTracePageFixture.h"

#include "ENetExceptions.h"
#include "RequireRoot.h"
#include "TNetNamespaceScope.h"
#include "TNetSocketHandle.h"
#include "TSteppingClock.h"
#include "TTestNetwork.h"

#include <QMetaObject>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace zirko::test;

namespace {

const std::tm Morning = CalendarTime(2026, 12, 8, 10, 0, 0);

// Stamps in it_IT (dd/mm/yyyy, hh:mm:ss) as the stepping clock gives them: a stamp
// made from readings k and k+1 shows the time of reading k+1.
QString Stamp(int SecondReading) {
    return QStringLiteral("08/12/2026-10:00:%1").arg(SecondReading, 2, 10, QChar(u'0'));
}

// The round trip varies; everything else of a row is exact.
std::vector<QString> WithoutRoundTrip(std::vector<QString> Rows) {
    static const QRegularExpression Ms(QStringLiteral(R"(in : \d+ ms$)"));
    for (QString& row : Rows) {
        row.replace(Ms, QStringLiteral("in : N ms"));
    }
    return Rows;
}

std::string Joined(const std::vector<QString>& Rows) {
    QStringList all;
    for (const QString& row : Rows) {
        all << row;
    }
    return all.join(QStringLiteral("\n")).toStdString();
}

class TraceNetwork : public ::testing::Test {
protected:
    void SetUp() override { ZIRKO_REQUIRE_ROOT(); }

    void Build(TTestNetworkOptions AOptions) {
        Net = std::make_unique<TTestNetwork>(AOptions);
        // Root's group may open unprivileged ICMP sockets in the client namespace.
        Net->Client()->SetPingGroupRange(0, 0);
    }

    // Runs one trace from the client namespace; returns the rows as they stand after it.
    std::vector<QString> Trace(TTracePageFixture& F, const std::string& AHost, int AMaxHops) {
        TNetNamespaceScope inClient(*Net->Client());
        F.Page.e_host->setText(QString::fromStdString(AHost));
        F.Page.seMaxHops->setValue(AMaxHops);
        F.Runner->TraceExecute();
        return F.Rows();
    }

    QString R(const std::string& AAddress) const { return QString::fromStdString(AAddress); }

    std::unique_ptr<TTestNetwork> Net;
};

struct TPolicyCase {
    const char* Name;
    TNetIcmpSocketPolicy Policy;
};
const std::vector<TPolicyCase> Policies = {
    {"raw socket", TNetIcmpSocketPolicy::RawOnly},
    {"unprivileged socket", TNetIcmpSocketPolicy::DatagramOnly},
};

TEST_F(TraceNetwork, TargetBehindOneRouterIsReachedAtHopTwo) {
    Build({});
    for (const TPolicyCase& p : Policies) {
        SCOPED_TRACE(p.Name);
        TSteppingClock clock(Morning);
        TTracePageFixture f(clock);
        f.Net.SetIcmpSocketPolicy(p.Policy);

        const std::vector<QString> rows = Trace(f, Net->TargetAddress(), 30);

        // The router's reply arrives with its own TTL, 64, not the hop number.
        const std::vector<QString> expected = {
            "1|" + R(Net->RouterAddress()) + "|(" + Stamp(1) + ")TTL=64",
            "2|" + R(Net->TargetAddress()) + "|Reached (" + Stamp(3) + ") in : N ms",
        };
        EXPECT_EQ(WithoutRoundTrip(rows), expected) << Joined(rows);
    }
}

TEST_F(TraceNetwork, HopLimitEndsTheRunAtTheLimitItself) {
    Build({.SecondRouter = true});
    struct TCase {
        int MaxHops;
        std::vector<QString> Expected;
    };
    // The target answers at hop 3, so any probe past the limit would show.
    const std::vector<TCase> cases = {
        {1, {"1|" + R(Net->RouterAddress()) + "|(" + Stamp(1) + ")TTL=64"}},
        {2,
         {"1|" + R(Net->RouterAddress()) + "|(" + Stamp(1) + ")TTL=64",
          "2|" + R(Net->Router2Address()) + "|(" + Stamp(3) + ")TTL=63"}},
    };
    for (const TPolicyCase& p : Policies) {
        for (const TCase& c : cases) {
            SCOPED_TRACE(std::string(p.Name) + ", max hops " + std::to_string(c.MaxHops));
            TSteppingClock clock(Morning);
            TTracePageFixture f(clock);
            f.Net.SetIcmpSocketPolicy(p.Policy);

            const std::vector<QString> rows = Trace(f, Net->TargetAddress(), c.MaxHops);

            EXPECT_EQ(rows, c.Expected) << Joined(rows);
            EXPECT_EQ(f.Client.TTL(), c.MaxHops);
        }
    }
}

TEST_F(TraceNetwork, UnreachableReplyEndsTheRunOnItsRow) {
    {
        SCOPED_TRACE("first router refuses");
        Build({.UnreachableRoute = true});
        TTracePageFixture f;

        const std::vector<QString> rows = Trace(f, Net->UnreachableAddress(), 30);

        const std::vector<QString> expected = {"1|" + R(Net->RouterAddress()) +
                                               "|Destination network unreachable"};
        EXPECT_EQ(rows, expected) << Joined(rows);
    }
    {
        SCOPED_TRACE("second router refuses");
        Build({.SecondRouter = true});
        const std::string refused = Net->Prefix().substr(0, Net->Prefix().rfind('.')) + ".128/25";
        Net->Router().Ip({"route", "add", refused, "via", Net->Router2Address()});
        Net->Router2()->Ip({"route", "add", "unreachable", refused});
        TSteppingClock clock(Morning);
        TTracePageFixture f(clock);

        const std::vector<QString> rows = Trace(f, Net->UnreachableAddress(), 30);

        const std::vector<QString> expected = {
            "1|" + R(Net->RouterAddress()) + "|(" + Stamp(1) + ")TTL=64",
            "2|" + R(Net->Router2Address()) + "|Destination network unreachable"};
        EXPECT_EQ(rows, expected) << Joined(rows);
    }
}

TEST_F(TraceNetwork, SilentPathTimesOutOnEveryHop) {
    Build({});
    // The router drops anything for this address without a word, TTL or not.
    const std::string silent = Net->Prefix().substr(0, Net->Prefix().rfind('.')) + ".100";
    Net->Router().Ip({"route", "add", "blackhole", silent + "/32"});
    TTracePageFixture f;

    const std::vector<QString> rows = Trace(f, silent, 2);

    const std::vector<QString> expected = {"1|?.?.?.?|Timed out.", "2|?.?.?.?|Timed out."};
    EXPECT_EQ(rows, expected) << Joined(rows);
}

TEST_F(TraceNetwork, NestedRunEmptiesTheListAndTheOuterRunResumesOnItsRows) {
    Build({.SecondRouter = true});
    TSteppingClock clock(Morning);
    TTracePageFixture f(clock);
    // Pressed while the outer run processes messages after its first hop.
    QMetaObject::invokeMethod(f.Page.btn_execute, &QPushButton::click, Qt::QueuedConnection);

    const std::vector<QString> rows = Trace(f, Net->TargetAddress(), 30);

    // Readings: outer hop 1 (0, 1), nested hops 1 to 3 (2 to 7), outer hops 2 and 3
    // (8 to 11). Row 1 is the nested run's; the outer run replaced rows 2 and 3.
    const std::vector<QString> expected = {
        "1|" + R(Net->RouterAddress()) + "|(" + Stamp(3) + ")TTL=64",
        "2|" + R(Net->Router2Address()) + "|(" + Stamp(9) + ")TTL=63",
        "3|" + R(Net->TargetAddress()) + "|Reached (" + Stamp(11) + ") in : N ms",
    };
    EXPECT_EQ(WithoutRoundTrip(rows), expected) << Joined(rows);
    EXPECT_EQ(clock.Readings(), 12);
}

TEST_F(TraceNetwork, ChangesMadeDuringTheRunApplyToItsNextHop) {
    Build({.SecondRouter = true});
    const QString firstRow = "1|" + R(Net->RouterAddress()) + "|(" + Stamp(1) + ")TTL=64";
    {
        SCOPED_TRACE("hop limit lowered to 1");
        TSteppingClock clock(Morning);
        TTracePageFixture f(clock);
        QSpinBox* maxHops = f.Page.seMaxHops;
        QMetaObject::invokeMethod(
            maxHops, [maxHops] { maxHops->setValue(1); }, Qt::QueuedConnection);

        EXPECT_EQ(Trace(f, Net->TargetAddress(), 30), std::vector<QString>{firstRow});
    }
    {
        // The host is read again for every hop; the failing hop gets no row. An empty
        // name fails the lookup without asking any name server.
        SCOPED_TRACE("host emptied");
        TSteppingClock clock(Morning);
        TTracePageFixture f(clock);
        QLineEdit* host = f.Page.e_host;
        QMetaObject::invokeMethod(
            host, [host] { host->clear(); }, Qt::QueuedConnection);

        std::string message;
        try {
            Trace(f, Net->TargetAddress(), 30);
        } catch (const ENetSocketError& e) {
            message = e.what();
        }
        EXPECT_EQ(message, "Socket Error # 11001\r\nHost not found.");
        EXPECT_EQ(f.Rows(), std::vector<QString>{firstRow});
    }
}

TEST_F(TraceNetwork, OverIPv6TheHopNumberIsTheHopLimit) {
    Build({.SecondRouter = true, .UnreachableRoute = true, .IPv6 = true});
    for (const TPolicyCase& p : Policies) {
        SCOPED_TRACE(p.Name);
        TSteppingClock clock(Morning);
        TTracePageFixture f(clock);
        f.Net.SetIcmpSocketPolicy(p.Policy);

        const std::vector<QString> rows = Trace(f, "[" + Net->TargetAddress6() + "]", 30);

        const std::vector<QString> expected = {
            "1|" + R(Net->RouterAddress6()) + "|(" + Stamp(1) + ")TTL=64",
            "2|" + R(Net->Router2Address6()) + "|(" + Stamp(3) + ")TTL=63",
            "3|" + R(Net->TargetAddress6()) + "|Reached (" + Stamp(5) + ") in : N ms",
        };
        EXPECT_EQ(WithoutRoundTrip(rows), expected) << Joined(rows);
        EXPECT_EQ(f.Client.Socket().IPVersion(), Id_IPv6);
        for (int i = 0; i < f.Page.lvTrace->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = f.Page.lvTrace->topLevelItem(i);
            EXPECT_EQ(item->toolTip(1), item->text(1));
            EXPECT_EQ(item->data(1, Qt::AccessibleTextRole).toString(), item->text(1));
        }
    }
    TTracePageFixture f;
    const std::vector<QString> rows = Trace(f, Net->UnreachableAddress6(), 30);
    EXPECT_EQ(rows, std::vector<QString>{"1|" + R(Net->RouterAddress6()) +
                                         "|Destination network unreachable"});
}

TEST_F(TraceNetwork, ListDestroyedWhileMessagesAreProcessedEndsTheRun) {
    Build({});
    TTracePageFixture f;
    QTreeWidget* list = f.Page.lvTrace;
    QMetaObject::invokeMethod(
        list, [list] { delete list; }, Qt::QueuedConnection);

    // The target at hop 2 is never probed: the run has no list left to write to.
    TNetNamespaceScope inClient(*Net->Client());
    f.Page.e_host->setText(R(Net->TargetAddress()));
    f.Runner->TraceExecute();

    EXPECT_EQ(f.Client.TTL(), 1);
}

} // namespace
