// SPDX-License-Identifier: GPL-3.0-or-later
#include "TMetricsRegistry.h"
#include "MetricsText.h"
#include "TMetricsTextfile.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <filesystem>
#include <functional>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <vector>

namespace {

using TFormat = TMetricsRegistry::TFormat;
constexpr const char* Labels = R"(host="peer.invalid",ip="192.0.2.7",source="")";

TReplyStatus Answer(int64_t Us, uint8_t Ttl) {
    TReplyStatus Reply;
    Reply.RoundTripUs = Us;
    Reply.ReplyTtl = Ttl;
    return Reply;
}

TReplyStatus Unanswered(TReplyStatusKind Kind) {
    TReplyStatus Reply;
    Reply.Status = Kind;
    return Reply;
}

std::string Line(const std::string& Name, const std::string& Value, const std::string& Extra = "") {
    return Name + "{" + Labels + Extra + "} " + Value + "\n";
}

// A watched target's sample: its group's labels follow the exporters' three, sorted.
std::string Watched(const std::string& Name, const std::string& Value,
                    const std::string& Extra = "") {
    return Name + R"({host="gw",ip="10.0.0.1",source="",group="edge",name="gw")" + Extra + "} " +
           Value + "\n";
}

std::string Bucket(const std::string& Le, const std::string& Count) {
    return Line("smokeping_response_duration_seconds_bucket", Count, ",le=\"" + Le + "\"");
}

// The families, in order, with their types: what dashboards and rules rely on.
const std::pair<const char*, const char*> Families[] = {
    {"smokeping_requests", "counter"},
    {"smokeping_response_duration_seconds", "histogram"},
    {"smokeping_response_ttl", "gauge"},
    {"smokeping_send_errors", "counter"},
    {"smokeping_receive_errors", "counter"},
    {"zirko_monitoring_active", "gauge"},
    {"zirko_consecutive_lost", "gauge"},
    {"zirko_outage_active", "gauge"},
    {"zirko_outage_started_timestamp_seconds", "gauge"},
    {"zirko_slow_active", "gauge"},
    {"zirko_alarm_threshold", "gauge"},
    {"zirko_average_limit_seconds", "gauge"},
};

TEST(TMetricsRegistryTest, WithoutTargetOnlyTheFamiliesAreDescribed) {
    const TMetricsRegistry Registry;
    for (const TFormat Format : {TFormat::Prometheus, TFormat::OpenMetrics}) {
        const bool Om = Format == TFormat::OpenMetrics;
        std::istringstream Text(Registry.Text(Format));
        std::string Help, Type;
        for (const auto& [Family, Kind] : Families) {
            // A counter's family is named without "_total" in OpenMetrics only.
            const std::string Name =
                std::string(Family) + (!Om && std::string(Kind) == "counter" ? "_total" : "");
            ASSERT_TRUE(std::getline(Text, Help) && std::getline(Text, Type)) << Name;
            EXPECT_EQ(Help.rfind("# HELP " + Name + " ", 0), 0u) << Help;
            EXPECT_GT(Help.size(), Name.size() + 8) << "a help text for " << Name;
            EXPECT_EQ(Type, "# TYPE " + Name + " " + Kind);
        }
        std::string Rest((std::istreambuf_iterator<char>(Text)), {});
        EXPECT_EQ(Rest, Om ? "# EOF\n" : "");
    }
}

struct TFeedRow {
    const char* Name;
    std::function<void(TMetricsRegistry&)> Feed;
    std::vector<std::string> Lines; // whole lines, in this order, in both formats
    std::vector<std::string> Absent;
};

TEST(TMetricsRegistryTest, FeedsGiveTheirSamples) {
    const TMetricsTarget Target{"peer.invalid", "192.0.2.7", ""};
    TOutage Open;
    Open.StartToMs = 1765202733123;
    const std::vector<TFeedRow> Rows = {
        {"one answer of 120 us",
         [](TMetricsRegistry& R) { R.AddReply(Answer(120, 64)); },
         {Line("smokeping_requests_total", "1"), Bucket("5e-05", "0"), Bucket("0.0001", "0"),
          Bucket("0.0002", "1"), Bucket("26.2144", "1"), Bucket("+Inf", "1"),
          Line("smokeping_response_duration_seconds_sum", "0.00012"),
          Line("smokeping_response_duration_seconds_count", "1"),
          Line("smokeping_response_ttl", "64")},
         {}},
        {"a bound belongs to its own bucket; past the last only +Inf counts",
         [](TMetricsRegistry& R) {
             R.AddReply(Answer(100, 60));
             R.AddReply(Answer(30000000, 61));
         },
         {Bucket("5e-05", "0"), Bucket("0.0001", "1"), Bucket("13.1072", "1"),
          Bucket("26.2144", "1"), Bucket("+Inf", "2"),
          Line("smokeping_response_duration_seconds_sum", "30.0001"),
          Line("smokeping_response_ttl", "61")},
         {}},
        {"milliseconds where no microseconds were measured",
         [](TMetricsRegistry& R) {
             TReplyStatus Reply = Answer(0, 1);
             Reply.RoundTripMs = 7;
             R.AddReply(Reply);
         },
         {Bucket("0.0064", "0"), Bucket("0.0128", "1"),
          Line("smokeping_response_duration_seconds_sum", "0.007")},
         {}},
        {"no answer: requests without observations or TTL",
         [](TMetricsRegistry& R) {
             R.AddReply(Unanswered(skTimedOut));
             R.AddReply(Unanswered(skUnreachable));
             R.AddReply(Unanswered(skTtlExceeded));
         },
         {Line("smokeping_requests_total", "3"), Bucket("+Inf", "0"),
          Line("smokeping_response_duration_seconds_count", "0")},
         {"smokeping_response_ttl{"}},
        {"send and receive errors are requests too",
         [](TMetricsRegistry& R) {
             R.AddSendError();
             R.AddSendError();
             R.AddReceiveError();
         },
         {Line("smokeping_requests_total", "3"), Line("smokeping_send_errors_total", "2"),
          Line("smokeping_receive_errors_total", "1")},
         {}},
        {"Zirko's state during an outage",
         [&](TMetricsRegistry& R) {
             R.SetMonitoringActive(true);
             R.SetConsecutiveLost(12);
             R.SetOutage(Open);
             R.SetSlowActive(true);
             R.SetAlarmThreshold(10);
             R.SetAverageLimitMs(250);
         },
         {Line("zirko_monitoring_active", "1"), Line("zirko_consecutive_lost", "12"),
          Line("zirko_outage_active", "1"),
          Line("zirko_outage_started_timestamp_seconds", "1.765202733123e+09"),
          Line("zirko_slow_active", "1"),
          Line("zirko_alarm_threshold", "10"), Line("zirko_average_limit_seconds", "0.25")},
         {}},
        {"an ended outage is none",
         [&](TMetricsRegistry& R) {
             TOutage Ended = Open;
             Ended.End = TOutageEnd::Recovered;
             R.SetOutage(Open);
             R.SetOutage(Ended);
         },
         {Line("zirko_outage_active", "0"), Line("zirko_outage_started_timestamp_seconds", "0")},
         {}},
        {"another target keeps the old series; the gauges follow the new one",
         [&](TMetricsRegistry& R) {
             R.AddReply(Answer(500, 64));
             R.SetTarget({"other.invalid", "192.0.2.8", "192.0.2.1"});
             R.AddSendError();
             R.SetConsecutiveLost(1);
         },
         {Line("smokeping_requests_total", "1"),
          "smokeping_requests_total{host=\"other.invalid\",ip=\"192.0.2.8\","
          "source=\"192.0.2.1\"} 1\n",
          "zirko_consecutive_lost{host=\"other.invalid\",ip=\"192.0.2.8\","
          "source=\"192.0.2.1\"} 1\n"},
         {Line("zirko_consecutive_lost", "0")}},
        {"a watched target has its series before its first answer, with its own labels",
         [](TMetricsRegistry& R) {
             R.Watch(7, {"gw", "10.0.0.1", ""}, {{"name", "gw"}, {"group", "edge"}});
             R.SetAlarmThreshold(7, 3);
         },
         {Line("smokeping_requests_total", "0"), Watched("smokeping_requests_total", "0"),
          Watched("smokeping_response_duration_seconds_bucket", "0", ",le=\"+Inf\""),
          Watched("smokeping_response_duration_seconds_count", "0"),
          Watched("smokeping_receive_errors_total", "0"), Line("zirko_alarm_threshold", "0"),
          Watched("zirko_alarm_threshold", "3"), Watched("zirko_average_limit_seconds", "0")},
         {"smokeping_response_ttl{host=\"gw\""}},
        {"each watched target counts its own; a relabelled one starts afresh, a removed one goes",
         [](TMetricsRegistry& R) {
             R.Watch(1, {"a", "10.0.0.9", ""});
             R.Watch(2, {"gw", "10.0.0.2", ""}, {{"name", "gw"}, {"group", "edge"}});
             R.AddReply(1, Answer(120, 64));
             R.AddSendError(2);
             R.Watch(2, {"gw", "10.0.0.1", ""}, {{"name", "gw"}, {"group", "edge"}});
             R.AddReceiveError(9); // none such
             R.Watch(4, {"c", "", ""});
             R.AddReceiveError(4);
             R.Unwatch(4);
             R.SetConsecutiveLost(2, 5);
             R.SetSlowActive(2, true);
         },
         {Line("smokeping_requests_total", "0"),
          "smokeping_requests_total{host=\"a\",ip=\"10.0.0.9\",source=\"\"} 1\n",
          Watched("smokeping_requests_total", "0"),
          "smokeping_response_ttl{host=\"a\",ip=\"10.0.0.9\",source=\"\"} 64\n",
          Watched("zirko_consecutive_lost", "5"), Watched("zirko_slow_active", "1")},
         {"10.0.0.2", "host=\"c\"",
          "smokeping_requests_total{host=\"a\",ip=\"10.0.0.9\",source=\"\"} 0"}},
    };
    for (const TFeedRow& Row : Rows) {
        for (TFormat Format : {TFormat::Prometheus, TFormat::OpenMetrics}) {
            SCOPED_TRACE(std::string(Row.Name) +
                         (Format == TFormat::OpenMetrics ? " (OpenMetrics)" : ""));
            TMetricsRegistry Registry;
            Registry.SetTarget(Target);
            Row.Feed(Registry);
            const std::string Text = "\n" + Registry.Text(Format);
            std::size_t At = 0;
            for (const std::string& Expected : Row.Lines) {
                const std::size_t Found = Text.find("\n" + Expected, At);
                ASSERT_NE(Found, std::string::npos) << "missing or out of order: " << Expected;
                At = Found + Expected.size();
            }
            for (const std::string& Unexpected : Row.Absent) {
                EXPECT_EQ(Text.find(Unexpected), std::string::npos) << Unexpected;
            }
        }
    }
}

TEST(TMetricsRegistryTest, LabelValuesAreEscapedAndKeptUtf8) {
    TMetricsRegistry Registry;
    Registry.SetTarget({"a\"b\\c\nd\xC3\xA8\xFF\xC0\xAF\xED\xA0\x80", "192.0.2.7", ""});
    Registry.AddSendError();
    EXPECT_NE(Registry.Text(TFormat::Prometheus)
                  .find("smokeping_send_errors_total{host=\"a\\\"b\\\\c\\nd\xC3\xA8"
                        "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
                        "\",ip=\"192.0.2.7\",source=\"\"} 1\n"),
              std::string::npos)
        << Registry.Text(TFormat::Prometheus);
}

TEST(TMetricsRegistryTest, TheTargetCurrentLongestAgoGoesFirst) {
    TMetricsRegistry Registry;
    for (std::size_t I = 0; I <= TMetricsRegistry::MaxTargets; ++I) {
        Registry.SetTarget({"h" + std::to_string(I) + ".invalid", "", ""});
        Registry.AddSendError();
        Registry.SetTarget({"h0.invalid", "", ""}); // kept by being current again
    }
    const std::string Text = Registry.Text(TFormat::Prometheus);
    EXPECT_NE(Text.find("{host=\"h0.invalid\""), std::string::npos);
    EXPECT_EQ(Text.find("{host=\"h1.invalid\""), std::string::npos);
    EXPECT_NE(Text.find("{host=\"h16.invalid\""), std::string::npos);
}

TEST(TMetricsRegistryTest, NumbersAsTheClientLibrariesPrintThem) {
    const std::vector<std::pair<double, const char*>> Rows = {
        {0, "0"},
        {1, "1"},
        {5e-05, "5e-05"},
        {0.0001, "0.0001"},
        {26.2144, "26.2144"},
        {0.00012, "0.00012"},
        {123456, "123456"},
        {1e6, "1e+06"},
        {1234567, "1.234567e+06"},
        {-0.5, "-0.5"},
        {1.5e-7, "1.5e-07"},
        {1e21, "1e+21"},
        {1e-300, "1e-300"},
        {NAN, "NaN"},
        {INFINITY, "+Inf"},
        {-INFINITY, "-Inf"},
    };
    for (const auto& [Value, Expected] : Rows) {
        std::string Out;
        zirko::metrics::AppendNumber(Out, Value);
        EXPECT_EQ(Out, Expected);
    }
    std::string Out;
    zirko::metrics::AppendNumber(Out, uint64_t{999999});
    Out += ' ';
    zirko::metrics::AppendNumber(Out, uint64_t{1000000});
    EXPECT_EQ(Out, "999999 1e+06");
}

TEST(TMetricsRegistryTest, AcceptHeadersPickTheFormat) {
    const std::vector<std::pair<const char*, TFormat>> Rows = {
        {"", TFormat::Prometheus},
        {"text/plain", TFormat::Prometheus},
        {"*/*", TFormat::Prometheus},
        {"application/openmetrics-text", TFormat::OpenMetrics},
        {"Application/OpenMetrics-Text; Version=1.0.0", TFormat::OpenMetrics},
        {"application/openmetrics-text;version=1.0.0,application/openmetrics-text;version=0.0.1;"
         "q=0.75,text/plain;version=0.0.4;q=0.5,*/*;q=0.1",
         TFormat::OpenMetrics},
        {"application/openmetrics-text;version=0.0.1", TFormat::Prometheus},
        {"application/openmetrics-text;q=0.4,text/plain;q=0.5", TFormat::Prometheus},
        {"text/plain;q=0.2, application/openmetrics-text ; q=0.3", TFormat::OpenMetrics},
        {"application/openmetrics-text;q=0, */*", TFormat::Prometheus},
        {"application/openmetrics-text;q=0.5, text/*;q=0.5", TFormat::Prometheus},
        {";;,=,q=", TFormat::Prometheus},
    };
    // The program runs in the user's locale (Qt sets it): "0.5" must not read as 0 there.
    for (const char* Locale : {"C", "it_IT.UTF-8"}) {
        ASSERT_NE(std::setlocale(LC_ALL, Locale), nullptr) << Locale;
        for (const auto& [Accept, Expected] : Rows) {
            EXPECT_EQ(TMetricsRegistry::Negotiate(Accept), Expected) << Locale << ": " << Accept;
        }
    }
    std::setlocale(LC_ALL, "C");
}

TEST(TMetricsTextfileTest, ReplacesTheFileWholeAndReadableByOthers) {
    const zirko::test::TTempDir Dir;
    const TMetricsTextfile File(Dir.Path());
    EXPECT_EQ(File.Path(), Dir.Path() + "zirko.prom");
    ASSERT_EQ(File.Write("first\n"), "");
    ASSERT_EQ(File.Write("second\n"), "");
    EXPECT_EQ(zirko::test::ReadFile(File.Path()), "second\n");
    struct stat Info {};
    ASSERT_EQ(::stat(File.Path().c_str(), &Info), 0);
    EXPECT_EQ(Info.st_mode & 0777, 0644u);
    // Nothing but the file: no temporary left behind.
    const auto Entries = std::distance(std::filesystem::directory_iterator(Dir.Path()),
                                       std::filesystem::directory_iterator());
    EXPECT_EQ(Entries, 1);

    const std::string Missing = Dir.Path() + "missing";
    EXPECT_EQ(TMetricsTextfile(Missing).Write("x"),
              "cannot write in " + Missing + "/: No such file or directory");
}

} // namespace
