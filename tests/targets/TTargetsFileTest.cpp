// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTargetsFile.h"
#include "TTargetsChange.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/stat.h>

namespace {

using zirko::targets::Parse;

TTarget Make(const std::string& Host, const std::function<void(TTarget&)>& Edit = {}) {
    TTarget Target;
    Target.Host = Host;
    if (Edit) {
        Edit(Target);
    }
    return Target;
}

struct TFileRow {
    const char* Name;
    const char* Text;
    std::vector<TTarget> Expected; // when good
    int Line = 0;                  // when refused: the line blamed, and the reason
    const char* Reason = nullptr;
};

const TTarget EveryKey = Make("gw.example", [](TTarget& T) {
    T.IntervalMs = 90'000;
    T.Network = TTargetNetwork::Ip6;
    T.Size = 100;
    T.Source = "fd00::1";
    T.Labels = {{"name", "gateway"}, {"group", "edge"}, {"site", "010"}};
    T.AlarmAfterLost = 3;
    T.LatencyLimitMs = 80;
    T.Stopped = true;
});

const TFileRow FileRows[] = {
    {"empty file", "", {}},
    {"no groups", "targets:\n", {}},
    {"defaults", "targets:\n- hosts: [a, b]\n", {Make("a"), Make("b")}},
    {"every key",
     "targets:\n- hosts:\n  - gw.example\n  interval: 1m30s\n  network: ip6\n  protocol: icmp\n"
     "  size: 100\n  source: fd00::1\n  labels: {name: gateway, group: edge, site: \"010\"}\n"
     "  alarm_after_lost: 3\n  latency_limit_ms: 80\n  stopped: true\n",
     {EveryKey}},
    {"fractions and ip4",
     "targets:\n- hosts: [a]\n  interval: 1.5s\n  network: ip4\n"
     "- hosts: [b]\n  interval: 250ms\n  size: 24\n",
     {Make("a", [](TTarget& T) { T.IntervalMs = 1500, T.Network = TTargetNetwork::Ip4; }),
      Make("b", [](TTarget& T) { T.IntervalMs = 250, T.Size = 24; })}},
    {"largest size and an IPv4 source for an address and a name",
     "targets:\n- hosts: [10.9.0.1, gw]\n  size: 504\n  source: 10.9.0.2\n",
     {Make("10.9.0.1", [](TTarget& T) { T.Size = 504, T.Source = "10.9.0.2"; }),
      Make("gw", [](TTarget& T) { T.Size = 504, T.Source = "10.9.0.2"; })}},
    {"one host under two label sets",
     "targets:\n- hosts: [a]\n- hosts: [a]\n  labels: {via: b}\n",
     {Make("a"), Make("a",
                      [](TTarget& T) {
                          T.Labels = {{"via", "b"}};
                      })}},
    {"unknown group key", "targets:\n- hosts: [a]\n  hots: [b]\n", {}, 3, "unknown key \"hots\""},
    {"unknown top key", "targets: []\nglobal: 1\n", {}, 2, "unknown key \"global\""},
    {"udp",
     "targets:\n- hosts: [a]\n  protocol: udp\n",
     {},
     3,
     "\"protocol\" udp is not supported: Zirko probes with icmp"},
    {"bad protocol",
     "targets:\n- hosts: [a]\n  protocol: tcp\n",
     {},
     3,
     "\"protocol\" must be one of icmp, udp, not \"tcp\""},
    {"bad network",
     "targets:\n- hosts: [a]\n  network: ip5\n",
     {},
     3,
     "\"network\" must be one of ip, ip4, ip6, not \"ip5\""},
    {"size too small",
     "targets:\n- hosts: [a]\n  size: 23\n",
     {},
     3,
     "\"size\" must be a whole number from 24 to 504, not \"23\""},
    {"size not a number",
     "targets:\n- hosts: [a]\n  size: 5k\n",
     {},
     3,
     "\"size\" must be a whole number from 24 to 504, not \"5k\""},
    {"size past one request to the helper",
     "targets:\n- hosts: [a]\n  size: 505\n",
     {},
     3,
     "\"size\" must be a whole number from 24 to 504, not \"505\""},
    {"IPv4 source, IPv6 network",
     "targets:\n- hosts: [a]\n  network: ip6\n  source: 10.9.0.2\n",
     {},
     4,
     "\"source\" \"10.9.0.2\" is IPv4 but \"network\" is ip6"},
    {"IPv6 source, IPv4 host",
     "targets:\n- hosts:\n  - fd00::9\n  - 10.9.0.1\n  source: fd00::1\n",
     {},
     4,
     "host \"10.9.0.1\" is not IPv6 like \"source\" \"fd00::1\""},
    {"alarm zero",
     "targets:\n- hosts: [a]\n  alarm_after_lost: 0\n",
     {},
     3,
     "\"alarm_after_lost\" must be a whole number from 1 to 1000, not \"0\""},
    {"latency too low",
     "targets:\n- hosts: [a]\n  latency_limit_ms: 5\n",
     {},
     3,
     "\"latency_limit_ms\" must be a whole number from 10 to 10000, not \"5\""},
    {"interval zero",
     "targets:\n- hosts: [a]\n  interval: 0s\n",
     {},
     3,
     "\"interval\" must be a duration such as 1s or 500ms, from 1ms to 24h in whole "
     "milliseconds, not \"0s\""},
    {"interval below 1ms", "targets:\n- hosts: [a]\n  interval: 1500us\n", {}, 3, "\"1500us\""},
    {"interval negative", "targets:\n- hosts: [a]\n  interval: -1s\n", {}, 3, "\"-1s\""},
    {"interval without unit", "targets:\n- hosts: [a]\n  interval: 5\n", {}, 3, "\"5\""},
    {"source not an address",
     "targets:\n- hosts: [a]\n  source: eth0\n",
     {},
     3,
     "\"source\" must be an IPv4 or IPv6 address, not \"eth0\""},
    {"reserved label",
     "targets:\n- hosts: [a]\n  labels:\n    ip: x\n",
     {},
     4,
     "label name \"ip\" is not allowed (letters, digits and _, not host, ip or source)"},
    {"label name with a dash",
     "targets:\n- hosts: [a]\n  labels: {a-b: x}\n",
     {},
     3,
     "label name \"a-b\" is not allowed (letters, digits and _, not host, ip or source)"},
    {"labels not a mapping",
     "targets:\n- hosts: [a]\n  labels: [x]\n",
     {},
     3,
     "\"labels\" must be a mapping of names to values"},
    {"hosts not a list", "targets:\n- hosts: a\n", {}, 2, "\"hosts\" must be a list"},
    {"empty host", "targets:\n- hosts: [a, \"\"]\n", {}, 2, "an empty host"},
    {"host twice alike",
     "targets:\n- hosts: [a]\n- hosts:\n  - b\n  - a\n",
     {},
     5,
     "host \"a\" is already listed on line 2 with the same labels"},
    {"key twice",
     "targets:\n- hosts: [a]\n  size: 30\n  size: 40\n",
     {},
     4,
     "key \"size\" given twice"},
    {"group not a mapping",
     "targets:\n- a\n",
     {},
     2,
     "a group of targets must be a mapping with \"hosts\""},
    {"stopped neither true nor false",
     "targets:\n- hosts: [a]\n  stopped: maybe\n",
     {},
     3,
     "\"stopped\" must be one of false, true, not \"maybe\""},
    {"targets not a list", "targets: a\n", {}, 1, "\"targets\" must be a list of groups"},
    {"broken YAML", "targets:\n- hosts: [a\n", {}, 3, "end of sequence flow not found"},
};

TEST(TTargetsFileTest, ReadsOrRefusesEachFile) {
    for (const TFileRow& Row : FileRows) {
        SCOPED_TRACE(Row.Name);
        if (!Row.Reason) {
            EXPECT_EQ(Parse(Row.Text, "zirko.yml"), Row.Expected);
            continue;
        }
        try {
            Parse(Row.Text, "zirko.yml");
            ADD_FAILURE() << "accepted";
        } catch (const ETargetsFile& Error) {
            const std::string What = Error.what();
            EXPECT_EQ(What.rfind("zirko.yml:" + std::to_string(Row.Line) + ": ", 0), 0u) << What;
            EXPECT_NE(What.find(Row.Reason), std::string::npos) << What;
            EXPECT_EQ(What.find('\n'), std::string::npos) << What;
        }
    }
}

TEST(TTargetsFileTest, WrittenFileReadsBackTheSameTargets) {
    const std::vector<TTarget> Targets = {
        EveryKey,
        Make("10.0.0.1"),
        Make("10.0.0.2"), // one group with the one before it
        Make("fd00::2",
             [](TTarget& T) {
                 T.Labels = {{"name", "yes"}, {"note", "a: b # c"}, {"empty", ""}, {"n", "010"}};
                 T.IntervalMs = 1001;
             }),
        Make("10.0.0.1",
             [](TTarget& T) {
                 T.Labels = {{"name", "again"}};
                 T.Stopped = true;
             }),
    };
    const zirko::test::TTempDir Dir;
    const std::string Path = Dir.Path() + "targets.yml";
    zirko::test::WriteFile(Path, "old\n");
    ASSERT_EQ(::chmod(Path.c_str(), 0640), 0);
    zirko::targets::Write(Path, Targets);
    EXPECT_EQ(zirko::targets::Read(Path), Targets) << zirko::test::ReadFile(Path);
    struct stat Written {};
    ASSERT_EQ(::stat(Path.c_str(), &Written), 0);
    EXPECT_EQ(Written.st_mode & 07777, 0640u) << "the replaced file's mode is kept";
    const auto Entries = std::distance(std::filesystem::directory_iterator(Dir.Path()), {});
    EXPECT_EQ(Entries, 1) << "no temporary file is left";
    EXPECT_THROW(zirko::targets::Write(Dir.Path() + "none/targets.yml", Targets), ETargetsFile);
    EXPECT_THROW(zirko::targets::Read(Dir.Path() + "none.yml"), ETargetsFile);
    EXPECT_THROW(zirko::targets::Read(Dir.Path()), ETargetsFile) << "a folder is no empty file";
}

TEST(TTargetsFileTest, ReloadKeepsEqualTargetsAndReplacesChangedOnes) {
    const TTarget A = Make("a"), B = Make("b"), C = Make("c");
    const TTarget SlowerA = Make("a", [](TTarget& T) { T.IntervalMs = 5000; });
    struct TRow {
        const char* Name;
        std::vector<TTarget> Running, Reread, Kept, Added, Removed;
    };
    const TRow Rows[] = {
        {"same", {A, B}, {B, A}, {B, A}, {}, {}},
        {"one new, one gone", {A, B}, {B, C}, {B}, {C}, {A}},
        {"a setting changed", {A, B}, {SlowerA, B}, {B}, {SlowerA}, {A}},
        {"all gone", {A, B}, {}, {}, {}, {A, B}},
        {"a twin counts once", {A}, {A, A}, {A}, {A}, {}},
    };
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        const TTargetsChange Change = CompareTargets(Row.Running, Row.Reread);
        EXPECT_EQ(Change.Kept, Row.Kept);
        EXPECT_EQ(Change.Added, Row.Added);
        EXPECT_EQ(Change.Removed, Row.Removed);
    }
}

} // namespace
