// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile text in the host field, through the real burst and timer paths. The lookups
// run in a child process inside a namespace with only loopback and a resolver address
// where nothing listens, so no query or packet can leave this machine.
#include "TPingPageFixture.h"

#include "ENetExceptions.h"
#include "RequireRoot.h"
#include "TNetNamespace.h"
#include "TextCount.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace {

using zirko::test::Count;

using namespace std::chrono_literals;
using zirko::test::TNetNamespace;

constexpr const char* IsolatedVar = "ZIRKO_ISOLATED_NAMESPACE";
constexpr const char* HostsName = "zirko-target";
constexpr const char* ResolverFile = "nameserver 127.0.0.1\n";
constexpr const char* SwitchFile = "passwd: files\ngroup: files\nshadow: files\nhosts: files dns\n";

enum class TOutcome { Ping, LookupError, Unreachable };

struct TRow {
    const char* Name;
    QString Host;
    TOutcome Expected;
};

std::vector<TRow> Rows() {
    const QString Dots = QStringLiteral("1.2.3.") + QString(65536, QLatin1Char('9'));
    return {
        {"empty", QString(), TOutcome::Ping},
        {"only control characters", QStringLiteral("\t\r\n\x01\x7f"), TOutcome::Ping},
        {"hosts-file name", QString::fromLatin1(HostsName), TOutcome::Ping},
        {"64 KB of letters", QString(65536, QLatin1Char('a')), TOutcome::LookupError},
        {"64 KB of digits after three octets", Dots, TOutcome::LookupError},
        {"64 KB of dotted quads", QStringLiteral("1.2.3.4 ").repeated(8192), TOutcome::LookupError},
        {"control character inside", QStringLiteral("127.0\x01.0.1"), TOutcome::LookupError},
        {"newline after an address", QStringLiteral("127.0.0.1\n"), TOutcome::LookupError},
        // Cut at the NUL, this would ping an address other than the one typed.
        {"NUL after an address", QStringLiteral("127.0.0.1") + QChar(0) + QStringLiteral("9"),
         TOutcome::LookupError},
        {"non-ASCII", QStringLiteral(u"h\u00f6st-\u043f\u0438\u043d\u0433.invalid"),
         TOutcome::LookupError},
        {"leading dash", QStringLiteral("-c 3 127.0.0.1"), TOutcome::LookupError},
        {"blank inside", QStringLiteral("127.0.0. 1"), TOutcome::LookupError},
        {"blank inside a name", QStringLiteral("zirko target"), TOutcome::LookupError},
        {"octet above 255", QStringLiteral("999.1.1.1"), TOutcome::LookupError},
        {"trailing dot", QStringLiteral("1.2.3.4."), TOutcome::Unreachable},
    };
}

const char* OutcomeName(TOutcome O) {
    switch (O) {
    case TOutcome::Ping:
        return "ping";
    case TOutcome::LookupError:
        return "lookup error";
    case TOutcome::Unreachable:
        return "network unreachable";
    }
    return "?";
}

// The message of a row that must fail: a lookup code with its text, or the send error.
void ExpectError(TOutcome Expected, const std::string& Message) {
    if (Expected == TOutcome::LookupError) {
        EXPECT_EQ(Message.rfind("Socket Error # 1100", 0), 0u) << Message;
        EXPECT_GT(Message.size(), std::string("Socket Error # 11001\r\n").size()) << Message;
    } else if (Expected == TOutcome::Unreachable) {
        EXPECT_EQ(Message, "Socket Error # 10051\r\nNetwork is unreachable.");
    }
}

std::string ReadFile(const std::string& Path) {
    std::ifstream In(Path);
    std::stringstream S;
    S << In.rdbuf();
    return S.str();
}

// Runs only in the child, inside the isolated namespace (see the test below).
class DISABLED_HostileHostIsolated : public ::testing::Test {
protected:
    void SetUp() override {
        // Never look anything up unless the namespace's resolver file is in place.
        ASSERT_NE(std::getenv(IsolatedVar), nullptr);
        ASSERT_EQ(ReadFile("/etc/resolv.conf"), ResolverFile);
        ASSERT_EQ(ReadFile("/etc/nsswitch.conf"), SwitchFile);
        F.Monitor->SetBurstPause(10ms);
    }
    TPingPageFixture F;
};

// Lookup failures come back at once (the resolver is refused); a second is plenty.
constexpr qint64 LookupAllowanceMs = 1000;

TEST_F(DISABLED_HostileHostIsolated, BurstGivesPingsOrTheLookupError) {
    for (const TRow& R : Rows()) {
        SCOPED_TRACE(std::string(R.Name) + " -> " + OutcomeName(R.Expected));
        F.RestartMonitor();
        F.Page.re_ping->clear();
        F.Page.e_host->setText(R.Host);
        std::optional<std::string> Error;
        QElapsedTimer Clock;
        Clock.start();
        try {
            F.Monitor->btn_pingClick();
        } catch (const ENetExceptionBase& E) {
            Error = E.what();
        }
        const qint64 Spent = Clock.elapsed();
        EXPECT_TRUE(F.Page.btn_ping->isEnabled());
        EXPECT_TRUE(F.Page.btn_auto->isEnabled());
        if (R.Expected == TOutcome::Ping) {
            EXPECT_FALSE(Error.has_value()) << *Error;
            EXPECT_EQ(F.Counters().n_ping, TPingMonitor::BurstPings);
            EXPECT_EQ(F.Counters().n_pacchetti_persi, 0);
            EXPECT_EQ(F.PaneLines(), TPingMonitor::BurstPings);
            EXPECT_TRUE(F.LastPaneLine().contains(QStringLiteral("bytes from 127.0.0.1: ")));
            EXPECT_LT(Spent, TPingMonitor::BurstPings * (TPingMonitor::ReceiveTimeoutMs + 10) +
                                 LookupAllowanceMs);
        } else {
            ASSERT_TRUE(Error.has_value());
            ExpectError(R.Expected, *Error);
            EXPECT_EQ(F.Counters().n_ping, 0);
            EXPECT_EQ(F.PaneLines(), 0);
            EXPECT_LT(Spent, TPingMonitor::ReceiveTimeoutMs + LookupAllowanceMs);
        }
    }
}

TEST_F(DISABLED_HostileHostIsolated, TimerTickGivesALineOrTheWarning) {
    std::string LongestHost;
    for (const TRow& R : Rows()) {
        SCOPED_TRACE(std::string(R.Name) + " -> " + OutcomeName(R.Expected));
        const int32_t Pings = F.Counters().n_ping;
        const int32_t Warnings = F.Agente.WarningCount();
        F.Page.e_host->setText(R.Host);
        // The field keeps at most its maximum length of the 64 KB.
        const std::string Field = F.Page.e_host->text().toStdString();
        if (Field.size() > LongestHost.size())
            LongestHost = Field;
        QElapsedTimer Clock;
        Clock.start();
        F.Monitor->TimerTimer();
        EXPECT_LT(Clock.elapsed(), TPingMonitor::ReceiveTimeoutMs + LookupAllowanceMs);
        const bool Pinged = R.Expected == TOutcome::Ping;
        EXPECT_EQ(F.Counters().n_ping - Pings, Pinged ? 1 : 0);
        EXPECT_EQ(F.Agente.WarningCount() - Warnings, Pinged ? 0 : 1);
    }
    // The log holds every line whole, the longest host included, and counts them right.
    const std::string Log = F.LogText();
    EXPECT_EQ(Count(Log, "Ping result: "), static_cast<size_t>(F.Counters().n_ping));
    EXPECT_EQ(Count(Log, "F_Main\\Timer: errore durante ping su "),
              static_cast<size_t>(F.Agente.WarningCount()));
    EXPECT_GT(LongestHost.size(), 30000u);
    EXPECT_NE(Log.find("errore durante ping su " + LongestHost + "\r\n"), std::string::npos);
}

std::string SelfPath() {
    char Buffer[PATH_MAX] = {};
    const ssize_t N = ::readlink("/proc/self/exe", Buffer, sizeof(Buffer) - 1);
    return N > 0 ? std::string(Buffer, static_cast<size_t>(N)) : std::string();
}

TEST(HostileHost, InAnIsolatedNamespace) {
    ZIRKO_REQUIRE_ROOT();
    TNetNamespace Ns("hh");
    Ns.SetHostsFile({{"127.0.0.1", HostsName}});
    // Names come from the hosts file or a resolver where nothing listens, never from a
    // lookup service outside the namespace.
    for (const auto& [File, Text] :
         {std::pair{"resolv.conf", ResolverFile}, std::pair{"nsswitch.conf", SwitchFile}}) {
        std::ofstream Out("/etc/netns/" + Ns.Name() + "/" + File);
        Out << Text;
        ASSERT_TRUE(Out.good()) << File;
    }
    // Loopback only, and no route anywhere else.
    const auto Links = Ns.RunChecked({"ip", "-o", "link", "show"});
    EXPECT_EQ(Count(Links, "\n"), 1u) << Links;
    EXPECT_EQ(Ns.RunChecked({"ip", "-4", "route", "show"}), "");

    const std::string Self = SelfPath();
    ASSERT_FALSE(Self.empty());
    const auto Result =
        Ns.Run({"env", std::string(IsolatedVar) + "=" + Ns.Name(), Self,
                "--gtest_also_run_disabled_tests", "--gtest_filter=DISABLED_HostileHostIsolated.*"},
               120000);
    EXPECT_EQ(Result.ExitCode, 0) << Result.Output;
    EXPECT_NE(Result.Output.find("[  PASSED  ] 2 tests."), std::string::npos) << Result.Output;
}

} // namespace
