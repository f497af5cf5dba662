// SPDX-License-Identifier: GPL-3.0-or-later
// The test-network kit must leave nothing behind on the shared machine.
#include "RequireRoot.h"
#include "TNetNamespace.h"
#include "TTestNetwork.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <unistd.h>

using namespace zirko::test;

namespace {

bool NamespaceExists(const std::string& AName) {
    std::istringstream Lines(RunCommand({"ip", "netns", "list"}).Output);
    std::string Name;
    while (Lines >> Name) {
        if (Name == AName) {
            return true;
        }
        Lines.ignore(1000, '\n'); // "(id: N)" after the name
    }
    return false;
}

TEST(TestNetworkKit, NamespacesAndRootRoutesGoAway) {
    ZIRKO_REQUIRE_ROOT();
    std::vector<std::string> Names;
    std::string Prefix;
    {
        TTestNetwork Net(TTestNetworkOptions{true, true, true});
        Names = {Net.Router().Name(), Net.Router2()->Name(), Net.Target().Name()};
        Prefix = Net.Prefix();
        const std::string Pid = std::to_string(::getpid());
        for (const auto& N : Names) {
            EXPECT_TRUE(NamespaceExists(N)) << N;
            EXPECT_NE(N.find(Pid), std::string::npos) << N;
        }
        EXPECT_NE(RunCommand({"ip", "route", "show", Prefix}).Output, "");
    }
    for (const auto& N : Names) {
        EXPECT_FALSE(NamespaceExists(N)) << N;
    }
    EXPECT_EQ(RunCommand({"ip", "route", "show", Prefix}).Output, "") << "root route left";
}

TEST(TestNetworkKit, CommandsAreBoundedInTime) {
    const auto Start = std::chrono::steady_clock::now();
    const TCommandResult R = RunCommand({"sleep", "5"}, 200);
    EXPECT_EQ(R.ExitCode, -1);
    EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(2));
    EXPECT_EQ(RunCommand({"sh", "-c", "echo out; echo err >&2; exit 3"}).Output, "out\nerr\n");
    EXPECT_EQ(RunCommand({"sh", "-c", "exit 3"}).ExitCode, 3);
    const auto Closed = std::chrono::steady_clock::now();
    EXPECT_EQ(RunCommand({"sh", "-c", "exec >&- 2>&-; sleep 5"}, 200).ExitCode, -1);
    EXPECT_LT(std::chrono::steady_clock::now() - Closed, std::chrono::seconds(2))
        << "a program that closed its output is still waited for only until the limit";
    EXPECT_THROW(RunChecked({"false"}), std::runtime_error);
}

} // namespace
