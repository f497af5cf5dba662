// SPDX-License-Identifier: GPL-3.0-or-later
// The history store on files of the test's own, checked against the plain
// computation from the pings that went in.
#include "HistorySchema.h"
#include "HistoryTestSupport.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <map>

using namespace history_test;

namespace {

constexpr int64_t Wide = int64_t{1} << 48;
constexpr int64_t Minute = 60'000;

// What a range of pings (in storage order) says, computed the plain way.
struct TDirect {
    int64_t Count = 0, Lost = 0, Min = 0, Max = 0, Median = 0, P95 = 0, Sum = 0, SumSq = 0;
    double Mean = 0, StdDev = 0;
    std::optional<double> Jitter;
};

TDirect Direct(const std::vector<THistoryPing>& Pings) {
    TDirect D;
    D.Count = std::ssize(Pings);
    std::vector<int64_t> V;
    for (const THistoryPing& P : Pings) {
        if (P.RoundTripUs) {
            V.push_back(*P.RoundTripUs);
            D.Sum += V.back();
            D.SumSq += V.back() * V.back();
        }
    }
    D.Lost = D.Count - std::ssize(V);
    const double N = static_cast<double>(V.size());
    double Steps = 0, Squares = 0;
    for (size_t I = 1; I < V.size(); ++I) {
        Steps += std::abs(static_cast<double>(V[I] - V[I - 1]));
    }
    D.Jitter = V.size() > 1 ? std::optional(Steps / (N - 1)) : std::nullopt;
    D.Mean = static_cast<double>(D.Sum) / N;
    for (const int64_t X : V) {
        Squares += (static_cast<double>(X) - D.Mean) * (static_cast<double>(X) - D.Mean);
    }
    D.StdDev = std::sqrt(Squares / N);
    std::sort(V.begin(), V.end());
    if (!V.empty()) {
        D.Min = V.front();
        D.Max = V.back();
        D.Median = V[static_cast<size_t>(std::ceil(0.5 * N)) - 1];
        D.P95 = V[static_cast<size_t>(std::ceil(0.95 * N)) - 1];
    }
    return D;
}

std::vector<THistoryPing> Within(const std::vector<THistoryPing>& All, int64_t From, int64_t To) {
    std::vector<THistoryPing> Part;
    std::copy_if(All.begin(), All.end(), std::back_inserter(Part),
                 [&](const THistoryPing& P) { return P.UtcMs >= From && P.UtcMs < To; });
    return Part;
}

// The whole minutes around [From, To): what aggregates answer for.
std::vector<THistoryPing> WithinMinutes(const std::vector<THistoryPing>& All, int64_t From,
                                        int64_t To) {
    return Within(All, (From - T0) / Minute * Minute + T0,
                  (To - T0 + Minute - 1) / Minute * Minute + T0);
}

// Three hours every 2 s, one in eleven lost; after 90 minutes the wall clock
// steps back 20 minutes, so stamps overlap.
std::vector<THistoryPing> ThreeHours() {
    std::vector<THistoryPing> All;
    uint64_t State = 7;
    for (int64_t I = 0; I < 5400; ++I) {
        State = State * 6364136223846793005u + 1442695040888963407u;
        const int64_t Rtt = 300 + static_cast<int64_t>((State >> 33) % 40'000);
        const int64_t At = T0 + I * 2000 - (I >= 2700 ? 20 * Minute : 0);
        All.push_back(Ping(At, I % 11 == 0 ? std::nullopt : std::optional(Rtt)));
    }
    return All;
}

// A column or a summary against the plain figures: median and p95 exact, or
// from aggregates in the bucket of the exact value.
template <typename TGot> void ExpectFigures(const TGot& Got, const TDirect& D, bool Exact) {
    EXPECT_EQ(Got.Exact, Exact);
    EXPECT_EQ(std::tie(Got.Count, Got.Lost, Got.MinUs, Got.MaxUs),
              std::tie(D.Count, D.Lost, D.Min, D.Max));
    for (const auto& [Value, Expected] : {std::pair(Got.MedianUs, D.Median), {Got.P95Us, D.P95}}) {
        EXPECT_EQ(HistoryBucketOf(Value), HistoryBucketOf(Expected));
        EXPECT_TRUE(!Exact || Value == Expected) << Value << " instead of " << Expected;
    }
}

void ExpectSummary(const THistorySummary& S, const TDirect& D, bool Exact) {
    ExpectFigures(S, D, Exact);
    EXPECT_NEAR(S.MeanUs, D.Mean, 1e-6 * D.Mean);
    EXPECT_NEAR(S.StdDevUs, D.StdDev, 1e-6 * D.Mean);
    ASSERT_EQ(S.JitterUs.has_value(), Exact && D.Jitter.has_value());
    if (S.JitterUs) {
        EXPECT_NEAR(*S.JitterUs, *D.Jitter, 1e-6 * *D.Jitter);
    }
}

// Every column against the pings stamped inside it; together they hold every
// ping of the range (of its whole minutes when they come from aggregates).
void ExpectSeries(THistoryStore& Store, const std::vector<THistoryPing>& All, int64_t From,
                  int64_t To, int Columns, bool Exact) {
    const std::vector<THistoryColumn> Series = Store.Series(From, To, Columns);
    ASSERT_FALSE(Series.empty());
    EXPECT_LE(std::ssize(Series), Columns);
    int64_t Counted = 0, Previous = -Wide;
    for (const THistoryColumn& C : Series) {
        SCOPED_TRACE(C.FromMs - T0);
        EXPECT_GE(C.FromMs, Previous);
        Previous = C.ToMs;
        ExpectFigures(C, Direct(Within(All, C.FromMs, C.ToMs)), Exact);
        Counted += C.Count;
    }
    EXPECT_EQ(Counted, std::ssize(Exact ? Within(All, From, To) : WithinMinutes(All, From, To)));
}

int64_t UserVersion(const std::string& Path) {
    sqlite3* Db = nullptr;
    ::sqlite3_open(Path.c_str(), &Db);
    const TSqlConnection Owner(Db);
    int64_t Version = -1;
    EXPECT_EQ(ReadUserVersion(Db, Version), SQLITE_OK);
    return Version;
}

} // namespace

TEST(THistoryStoreTest, MinuteAggregatesMatchTheirPings) {
    const int64_t Top = THistoryStore::MaxRoundTripUs;
    struct TCase {
        const char* Name;
        std::vector<THistoryPing> Pings;
    };
    const TCase Cases[] = {
        {"one answered", {Ping(T0, 1234)}},
        {"all lost", {Ping(T0, {}), Ping(T0 + 2000, {})}},
        {"lost first, then answers", {Ping(T0, {}), Ping(T0 + 1, 5), Ping(T0 + 2, 3)}},
        {"bucket edges and extremes",
         {Ping(T0, 0), Ping(T0 + 1, 99), Ping(T0 + 2, 100), Ping(T0 + 3, 2'600'797),
          Ping(T0 + 4, 2'600'798), Ping(T0 + 5, Top), Ping(T0 + 6, Top)}},
        {"two hosts in one minute",
         {Ping(T0, 700), Ping(T0 + 1, 900, "server6"), Ping(T0 + 2, {}, "server6")}},
        {"a minute boundary, then a step back",
         {Ping(T0 + 59'999, 10), Ping(T0 + Minute, 20), Ping(T0 + 30'000, 30)}},
        {"before the epoch", {Ping(-1, 40), Ping(-Minute, 50), Ping(-Minute - 1, 60)}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TTempDir Dir;
        THistoryStore Store;
        ASSERT_TRUE(Store.Open(Dir.Path()));
        std::map<std::pair<int64_t, std::string>, std::vector<THistoryPing>> Groups;
        for (const THistoryPing& P : C.Pings) {
            ASSERT_TRUE(Store.AddPing(P));
            Groups[{static_cast<int64_t>(std::floor(P.UtcMs / 60'000.0)), P.Host}].push_back(P);
        }
        const std::vector<THistoryMinute> Rows = Store.Minutes(-Wide, Wide);
        ASSERT_EQ(Rows.size(), Groups.size());
        for (const THistoryMinute& Row : Rows) {
            const auto Group = Groups.find({Row.Minute, Row.Host});
            ASSERT_NE(Group, Groups.end()) << Row.Minute << " " << Row.Host;
            const TDirect D = Direct(Group->second);
            THistoryBuckets Buckets{};
            for (const THistoryPing& P : Group->second) {
                Buckets[static_cast<size_t>(HistoryBucketOf(P.RoundTripUs.value_or(0)))] +=
                    P.RoundTripUs ? 1 : 0;
            }
            EXPECT_EQ(Row.Address, Group->second.front().Address);
            EXPECT_EQ(std::tie(Row.Count, Row.Lost, Row.MinUs, Row.MaxUs, Row.SumUs, Row.SumSqUs),
                      std::tie(D.Count, D.Lost, D.Min, D.Max, D.Sum, D.SumSq));
            EXPECT_EQ(Row.Buckets, Buckets);
        }
    }
    const std::pair<int64_t, int> Edges[] = {{0, 0},   {99, 0},         {100, 1},        {158, 1},
                                             {159, 2}, {2'600'797, 22}, {2'600'798, 23}, {Top, 23}};
    for (const auto& [Us, Bucket] : Edges) {
        EXPECT_EQ(HistoryBucketOf(Us), Bucket) << Us;
    }
}

TEST(THistoryStoreTest, SeriesAndSummariesMatchTheirPingsBeforeAndAfterPruning) {
    TTempDir Dir;
    THistoryStore Store;
    ASSERT_TRUE(Store.Open(Dir.Path()));
    const std::vector<THistoryPing> All = ThreeHours();
    for (const THistoryPing& P : All) {
        ASSERT_TRUE(Store.AddPing(P));
    }
    struct TRange {
        int64_t From, To;
        int Columns;
        bool Raw; // columns narrower than a minute: from the pings
    };
    const TRange Ranges[] = {
        {T0 + 10 * Minute, T0 + 40 * Minute, 100, true},
        {T0 + 60 * Minute, T0 + 100 * Minute, 50, true}, // holds the step back
        {T0 + 30'007, T0 + 3 * 60 * Minute, 7, false},
        {T0 - 5 * Minute, T0 + 4 * 60 * Minute, 20, false},
    };
    for (const TRange& R : Ranges) {
        SCOPED_TRACE(R.From - T0);
        ExpectSeries(Store, All, R.From, R.To, R.Columns, R.Raw);
        ExpectSummary(Store.Summary(R.From, R.To), Direct(Within(All, R.From, R.To)), true);
    }

    // A month later every ping of the first two hours has gone, in bounded steps.
    const int64_t Late = T0 + 120 * Minute;
    size_t Left = All.size(), Steps = 0;
    for (bool More = true; More; ++Steps, Left = Store.Pings(-Wide, Wide).size()) {
        More = Store.PruneStep(Late + THistoryStore::FullResolutionMs, 1000);
        EXPECT_LE(Left - Store.Pings(-Wide, Wide).size(), 1000u);
    }
    EXPECT_GT(Steps, 3u);
    EXPECT_EQ(Store.Pings(-Wide, Wide), Store.Pings(Late, Wide));
    EXPECT_EQ(Left, Within(All, Late, Wide).size());
    for (const TRange& R : Ranges) {
        SCOPED_TRACE(R.From - T0);
        ExpectSeries(Store, All, R.From, R.To, R.Columns, false);
        ExpectSummary(Store.Summary(R.From, R.To), Direct(WithinMinutes(All, R.From, R.To)), false);
    }
    ExpectSummary(Store.Summary(Late, Wide), Direct(Within(All, Late, Wide)), true);

    // Aggregates stay past 400 days, and go after them with the periods.
    ASSERT_TRUE(Store.BeginPeriod(THistoryPeriodKind::Run, T0));
    ASSERT_TRUE(Store.EndPeriod(T0 + 3 * 60 * Minute));
    const size_t Minutes = Store.Minutes(-Wide, Wide).size();
    EXPECT_GT(Minutes, 150u);
    for (const int64_t Days : {399, 401}) {
        while (Store.PruneStep(T0 + Days * THistoryStore::MsPerDay)) {
        }
        EXPECT_TRUE(Store.Pings(-Wide, Wide).empty());
        EXPECT_EQ(Store.Minutes(-Wide, Wide).size(), Days < 400 ? Minutes : 0u);
        EXPECT_EQ(Store.Periods(-Wide, Wide).size(), Days < 400 ? 1u : 0u);
    }
    EXPECT_FALSE(Store.Extent().has_value());
    EXPECT_TRUE(Store.Available());
}

TEST(THistoryStoreTest, WhichPingsKeepARowOfTheirOwn) {
    THistoryPing Unreachable = Ping(T0, {});
    Unreachable.Kind = skUnreachable;
    THistoryPing AnsweredWithoutTime = Ping(T0, 100);
    AnsweredWithoutTime.RoundTripUs.reset();
    const struct {
        const char* Name;
        THistoryPing P;
        bool Full, PerMinute;
    } Rows[] = {
        {"answered", Ping(T0, 100), true, false},
        {"lost", Ping(T0, {}), true, true},
        {"unreachable", Unreachable, true, true},
        {"reply without a round trip", AnsweredWithoutTime, true, true},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        EXPECT_EQ(THistoryStore::KeepsRow(R.P, THistoryResolution::Full), R.Full);
        EXPECT_EQ(THistoryStore::KeepsRow(R.P, THistoryResolution::PerMinute), R.PerMinute);
    }
}

TEST(THistoryStoreTest, APerMinuteStoreReadsEveryRangeFromItsAggregates) {
    const std::vector<THistoryPing> All = ThreeHours();
    for (const THistoryResolution Resolution :
         {THistoryResolution::Full, THistoryResolution::PerMinute}) {
        const bool Full = Resolution == THistoryResolution::Full;
        SCOPED_TRACE(Full);
        TTempDir Dir;
        THistoryStore Store;
        ASSERT_TRUE(Store.Open(Dir.Path()));
        Store.SetResolution(Resolution);
        // In batches; one bad ping refuses its whole batch and nothing else.
        EXPECT_FALSE(Store.AddPings(std::vector{All[0], Ping(T0, -1)}));
        for (std::size_t At = 0; At < All.size(); At += 1000) {
            const std::size_t Count = std::min<std::size_t>(1000, All.size() - At);
            ASSERT_TRUE(Store.AddPings(std::span(All).subspan(At, Count)));
        }
        const auto Lost = std::count_if(All.begin(), All.end(),
                                        [](const THistoryPing& P) { return !P.RoundTripUs; });
        EXPECT_EQ(std::ssize(Store.Pings(-Wide, Wide)), Full ? std::ssize(All) : Lost);
        for (const auto& [From, To] : {std::pair(T0 + 10 * Minute, T0 + 40 * Minute),
                                       std::pair(T0 + 60 * Minute, T0 + 100 * Minute)}) {
            SCOPED_TRACE(From - T0);
            ExpectSeries(Store, All, From, To, 100, Full);
            ExpectSummary(Store.Summary(From, To),
                          Direct(Full ? Within(All, From, To) : WithinMinutes(All, From, To)),
                          Full);
        }
    }
}

TEST(THistoryStoreTest, PeriodsOverlappingARange) {
    TTempDir Dir;
    THistoryStore Store;
    ASSERT_TRUE(Store.Open(Dir.Path()));
    EXPECT_TRUE(Store.EndPeriod(T0)) << "nothing open: nothing to do";
    ASSERT_TRUE(Store.BeginPeriod(THistoryPeriodKind::Burst, T0));
    ASSERT_TRUE(Store.EndPeriod(T0 + 10'000));
    ASSERT_TRUE(Store.BeginPeriod(THistoryPeriodKind::Run, T0 + 20'000));
    ASSERT_TRUE(Store.BeginPeriod(THistoryPeriodKind::Rest, T0 + 80'000));
    ASSERT_TRUE(Store.EndPeriod(T0 + 70'000)); // the clock went back: ends where it began
    ASSERT_TRUE(Store.BeginPeriod(THistoryPeriodKind::Run, T0 + 100'000));
    const THistoryPeriod Burst{1, THistoryPeriodKind::Burst, T0, T0 + 10'000};
    const THistoryPeriod Run{2, THistoryPeriodKind::Run, T0 + 20'000, T0 + 80'000};
    const THistoryPeriod Rest{3, THistoryPeriodKind::Rest, T0 + 80'000, T0 + 80'000};
    const THistoryPeriod Open{4, THistoryPeriodKind::Run, T0 + 100'000, std::nullopt};
    struct TCase {
        int64_t From, To;
        std::vector<THistoryPeriod> Expected;
    };
    const TCase Cases[] = {
        {T0 - 1000, T0, {}},
        {T0, T0 + 1, {Burst}},
        {T0 + 10'000, T0 + 20'000, {Burst}},
        {T0 + 50'000, T0 + 60'000, {Run}},
        {T0 + 80'000, T0 + 80'001, {Run, Rest}},
        {T0 + 90'000, T0 + 100'000, {}},
        {T0 + 9'000'000, Wide, {Open}},
        {-Wide, Wide, {Burst, Run, Rest, Open}},
    };
    for (const TCase& C : Cases) {
        EXPECT_EQ(Store.Periods(C.From, C.To), C.Expected) << C.From - T0;
    }
    // Read again from the file: a long period is still found from its middle.
    ASSERT_TRUE(Store.Open(Dir.Path()));
    EXPECT_EQ(Store.Periods(T0 + 50'000, T0 + 60'000), std::vector{Run});
}

TEST(THistoryStoreTest, KillNineLosesNoCommittedPingAndTheNextOpenClosesItsPeriod) {
    TTempDir Dir;
    std::vector<THistoryPing> Sent;
    for (int64_t I = 0; I < 40; ++I) {
        // The last ping is stamped after a step back: the run ends at it all the same.
        const int64_t At = I == 39 ? T0 + 70'000 : T0 + I * 2000 + (I >= 20 ? 20'000 : 0);
        Sent.push_back(Ping(At, I % 5 ? std::optional<int64_t>(1000 + I) : std::nullopt,
                            I % 2 ? "router.lan" : "server6"));
    }
    const auto KilledRun = [&](const std::function<void(THistoryStore&)>& Body) {
        return RunInChild([&](TChildPipe&) {
            THistoryStore Store;
            if (!Store.Open(Dir.Path())) {
                std::_Exit(3);
            }
            Body(Store);
            ::kill(::getpid(), SIGKILL);
        });
    };
    EXPECT_FALSE(KilledRun([&](THistoryStore& Store) {
                     Store.BeginPeriod(THistoryPeriodKind::Run, T0 - 500);
                     for (size_t I = 0; I < Sent.size(); ++I) {
                         if (I == 20) {
                             Store.BeginPeriod(THistoryPeriodKind::Rest, T0 + 40'000);
                             Store.BeginPeriod(THistoryPeriodKind::Run, T0 + 60'000);
                         }
                         Store.AddPing(Sent[I]);
                     }
                 }).Exited);
    // A rest has no pings: it ends where it began.
    EXPECT_FALSE(KilledRun([&](THistoryStore& Store) {
                     Store.BeginPeriod(THistoryPeriodKind::Rest, T0 + 200'000);
                 }).Exited);

    THistoryStore Store;
    ASSERT_TRUE(Store.Open(Dir.Path()));
    std::vector<THistoryPing> Stored = Store.Pings(-Wide, Wide);
    std::sort(Stored.begin(), Stored.end(), [](auto& A, auto& B) { return A.Id < B.Id; });
    ASSERT_EQ(Stored.size(), Sent.size());
    for (size_t I = 0; I < Sent.size(); ++I) {
        Sent[I].Id = Stored[I].Id;
        EXPECT_EQ(Stored[I], Sent[I]) << I;
    }
    using K = THistoryPeriodKind;
    const std::vector<THistoryPeriod> Expected = {{1, K::Run, T0 - 500, T0 + 40'000},
                                                  {2, K::Rest, T0 + 40'000, T0 + 60'000},
                                                  {3, K::Run, T0 + 60'000, T0 + 70'000},
                                                  {4, K::Rest, T0 + 200'000, T0 + 200'000}};
    EXPECT_EQ(Store.Periods(-Wide, Wide), Expected);
    const std::optional<THistoryExtent> Extent = Store.Extent();
    ASSERT_TRUE(Extent.has_value());
    EXPECT_EQ(std::pair(Extent->FirstMs, Extent->LastMs), std::pair(T0 - 500, T0 + 200'000));
}

TEST(THistoryStoreTest, DamagedFilesArePutAsideAndANewHistoryBegins) {
    const auto Text = [](const std::string& Db) {
        WriteFile(Db, std::string(5000, 'x'));
        WriteFile(Db + "-wal", "a journal of the damaged file");
    };
    const auto DamagedPage = [](const std::string& Db) {
        THistoryStore Store;
        ASSERT_TRUE(Store.Open(Db.substr(0, Db.rfind('/'))));
        for (int64_t I = 0; I < 3000; ++I) {
            ASSERT_TRUE(Store.AddPing(Ping(T0 + I * 2000, 500 + I)));
        }
        Store.Close();
        std::string Bytes = ReadFile(Db);
        std::fill_n(Bytes.begin() + 10 * 4096, 4096, '\x5a');
        WriteFile(Db, Bytes);
    };
    const auto Foreign = [](const std::string& Db) {
        sqlite3* Raw = nullptr;
        ::sqlite3_open(Db.c_str(), &Raw);
        const TSqlConnection Owner(Raw);
        ASSERT_EQ(SqlExec(Raw, "CREATE TABLE notes(text); INSERT INTO notes VALUES(1)"), 0);
    };
    const std::string Stamp = "ZIRKO.DB.corrupt-20261208140533";
    const std::tuple<const char*, std::function<void(const std::string&)>, bool> Cases[] = {
        {"not a database", Text, false},
        {"a damaged page", DamagedPage, false},
        {"another program's database", Foreign, false},
        {"the aside name is taken", Text, true}};
    for (const auto& [Name, Make, NameTaken] : Cases) {
        SCOPED_TRACE(Name);
        TTempDir Dir;
        const std::string Db = Dir.Path() + THistoryStore::FileName;
        Make(Db);
        const std::string Before = ReadFile(Db) + "|" + ReadFile(Db + "-wal");
        if (NameTaken) {
            WriteFile(Dir.Path() + Stamp, "taken");
        }
        TSteppingClock Clock{ReferenceInstant()};
        Clock.SetWallMs(T0 + 33'000);
        THistoryStore Store;
        Store.SetClock(&Clock);
        ASSERT_TRUE(Store.Open(Dir.Path()));
        const std::string Aside = Dir.Path() + Stamp + (NameTaken ? "_1" : "");
        EXPECT_EQ(Store.PutAsidePath(), Aside);
        EXPECT_EQ(ReadFile(Aside) + "|" + ReadFile(Aside + "-wal"), Before);
        EXPECT_EQ(ReadFile(Dir.Path() + Stamp), NameTaken ? "taken" : ReadFile(Aside));
        ASSERT_TRUE(Store.AddPing(Ping(T0, 100)));
        ASSERT_TRUE(Store.Open(Dir.Path()));
        EXPECT_EQ(Store.PutAsidePath(), "");
        EXPECT_EQ(Store.Pings(-Wide, Wide).size(), 1u);
    }
}

TEST(THistoryStoreTest, ASecondCopyFindsTheHistoryHeldAtOnceAndAReaderGetsIn) {
    TTempDir Dir;
    THistoryStore First;
    ASSERT_TRUE(First.Open(Dir.Path()));
    ASSERT_TRUE(First.AddPing(Ping(T0, 100)));
    const std::string Before = ReadFile(First.Path());
    const TChildResult Second = RunInChild([&](TChildPipe& Pipe) {
        const auto Start = std::chrono::steady_clock::now();
        THistoryStore Copy;
        Copy.Open(Dir.Path());
        const auto Ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - Start);
        // A reader is let in beside the writer, and writes nothing.
        THistoryStore Reader;
        Reader.OpenForReading(Dir.Path());
        Pipe.Send(std::to_string(static_cast<int>(Copy.Status())) + " " +
                  std::to_string(Ms.count() < 500) + " " +
                  std::to_string(Reader.Pings(-Wide, Wide).size()) + " " +
                  std::to_string(Reader.AddPing(Ping(T0 + 1000, 100))));
    });
    EXPECT_EQ(Second.Messages,
              std::to_string(static_cast<int>(THistoryStatus::Held)) + " 1 1 0\n");
    EXPECT_EQ(ReadFile(First.Path()), Before);
    EXPECT_TRUE(First.AddPing(Ping(T0 + 2000, 100)));
    EXPECT_EQ(First.Pings(-Wide, Wide).size(), 2u);
}

// The targets list shares the file with the Ping page: the page's graph reads its
// own pings and periods only, even of a host both watch, and neither closes the
// other's period.
TEST(THistoryStoreTest, ThePingPagesReadsLeaveTheTargetsListOut) {
    TTempDir Dir;
    THistoryStore Store;
    ASSERT_TRUE(Store.Open(Dir.Path()));
    THistoryPing Listed = Ping(T0 + 1000, 900);
    Listed.Listed = true;
    THistoryPing Other = Ping(T0 - 5 * Minute, std::nullopt, "fd00::9");
    Other.Listed = true;
    ASSERT_TRUE(Store.BeginPeriod(THistoryPeriodKind::Run, T0, true));
    ASSERT_TRUE(Store.BeginPeriod(THistoryPeriodKind::Burst, T0 + 500));
    ASSERT_TRUE(Store.AddPings(std::vector{Ping(T0 + 1000, 300), Listed, Other}));
    ASSERT_TRUE(Store.EndPeriod(T0 + 5000));
    const THistoryPeriod Run{1, THistoryPeriodKind::Run, T0, std::nullopt};
    const THistoryPeriod Burst{2, THistoryPeriodKind::Burst, T0 + 500, T0 + 5000};

    struct TCase {
        THistoryScope Scope;
        size_t Pings;
        int64_t Count, MaxUs; // in the minute at T0
        std::vector<THistoryPeriod> Periods;
        int64_t FirstMs;
    };
    const TCase Cases[] = {
        {THistoryScope::PingPage, 1, 1, 300, {Burst}, T0},
        {THistoryScope::All, 3, 2, 900, {Run, Burst}, T0 - 5 * Minute},
    };
    for (int Reopened = 0; Reopened < 2; ++Reopened) { // as written, then read from the file
        for (const TCase& C : Cases) {
            SCOPED_TRACE(testing::Message() << int(C.Scope) << " reopened " << Reopened);
            EXPECT_EQ(Store.Pings(-Wide, Wide, C.Scope).size(), C.Pings);
            const THistorySummary S = Store.Summary(T0, T0 + Minute, C.Scope);
            EXPECT_EQ(std::tuple(S.Count, S.MaxUs), std::tuple(C.Count, C.MaxUs));
            const auto Series = Store.Series(T0, T0 + Minute, 1, C.Scope);
            ASSERT_EQ(Series.size(), 1u);
            EXPECT_EQ(std::tuple(Series[0].Count, Series[0].MaxUs), std::tuple(C.Count, C.MaxUs));
            EXPECT_EQ(Store.Periods(-Wide, Wide, C.Scope), C.Periods);
            ASSERT_TRUE(Store.Extent(C.Scope));
            EXPECT_EQ(Store.Extent(C.Scope)->FirstMs, C.FirstMs);
        }
        ASSERT_TRUE(Store.OpenForReading(Dir.Path()));
    }
    std::vector<bool> MinutesListed;
    for (const THistoryMinute& m : Store.Minutes(-Wide, Wide)) {
        MinutesListed.push_back(m.Listed);
    }
    EXPECT_EQ(MinutesListed, (std::vector<bool>{true, false, true}));
}

TEST(THistoryStoreTest, MigrationsTakeOlderFilesUpStepByStepAndNewerOnesStayUntouched) {
    TTempDir Dir;
    const std::string Db = Dir.Path() + THistoryStore::FileName;
    WriteFile(Db, ""); // an empty file is a database of version 0
    THistoryStore Store;
    ASSERT_TRUE(Store.Open(Dir.Path()));
    ASSERT_TRUE(Store.AddPing(Ping(T0, 100)));
    Store.Close();
    EXPECT_EQ(UserVersion(Db), HistorySchemaVersion());

    // One more step on top: a failing one leaves the file at the last good step.
    const int64_t Top = HistorySchemaVersion();
    std::vector<THistoryMigration> Failing(HistoryMigrations().begin(), HistoryMigrations().end());
    std::vector<THistoryMigration> Next = Failing;
    Failing.push_back({Top + 1, "CREATE TABLE extra(x); INSERT INTO nowhere VALUES(1)"});
    Next.push_back({Top + 1, "CREATE TABLE extra(x); INSERT INTO extra VALUES(1)"});
    for (const auto* Steps : {&Failing, &Next}) {
        sqlite3* Raw = nullptr;
        ::sqlite3_open(Db.c_str(), &Raw);
        const TSqlConnection Owner(Raw);
        const bool Fails = Steps == &Failing;
        EXPECT_EQ(MigrateHistory(Raw, *Steps) == SQLITE_OK, !Fails);
        EXPECT_EQ(SqlExec(Raw, "SELECT x FROM extra") == SQLITE_OK, !Fails);
        EXPECT_EQ(SqlExec(Raw, "SELECT id FROM ping"), SQLITE_OK);
        EXPECT_EQ(UserVersion(Db), Fails ? Top : Top + 1);
    }

    const std::string Before = ReadFile(Db);
    EXPECT_FALSE(Store.Open(Dir.Path()));
    EXPECT_EQ(Store.Status(), THistoryStatus::NewerSchema);
    EXPECT_FALSE(Store.AddPing(Ping(T0, 100)));
    EXPECT_TRUE(Store.Pings(-Wide, Wide).empty());
    EXPECT_EQ(ReadFile(Db), Before);
    EXPECT_EQ(Store.PutAsidePath(), "");
}

TEST(THistoryStoreTest, AFirstVersionFileGetsItsHoursFromItsMinutes) {
    TTempDir Dir;
    const std::vector<THistoryPing> All = ThreeHours();
    {
        THistoryStore Store;
        ASSERT_TRUE(Store.Open(Dir.Path()));
        for (const THistoryPing& P : All) {
            ASSERT_TRUE(Store.AddPing(P));
        }
    }
    sqlite3* Raw = nullptr;
    ::sqlite3_open((Dir.Path() + THistoryStore::FileName).c_str(), &Raw);
    {
        const TSqlConnection Owner(Raw);
        ASSERT_EQ(SqlExec(Raw, "DROP TABLE hour; DROP TABLE outage; DROP TABLE outage_hop; "
                               "ALTER TABLE period DROP COLUMN listed; PRAGMA user_version = 1"),
                  SQLITE_OK);
    }
    THistoryStore Store;
    ASSERT_TRUE(Store.Open(Dir.Path()));
    // Columns of hours, and a summary of hours with minutes at its edges.
    ExpectSeries(Store, All, T0 - 7 * Minute, T0 + 5 * 60 * Minute, 3, false);
    const int64_t From = T0 + 7 * Minute, To = T0 + 5 * 60 * Minute - 7 * Minute;
    while (Store.PruneStep(To + THistoryStore::FullResolutionMs, 100'000)) {
    }
    ASSERT_TRUE(Store.Pings(-Wide, Wide).empty());
    ExpectSummary(Store.Summary(From, To), Direct(WithinMinutes(All, From, To)), false);
    Store.Close();
    EXPECT_EQ(UserVersion(Dir.Path() + THistoryStore::FileName), HistorySchemaVersion());
}

TEST(THistoryStoreTest, OutagesSurviveARestartAndACrashLeavesAnUnknownEnd) {
    TTempDir Dir;
    TOutage Old{0, "server", T0,   T0 + 2000, T0 + 8000, T0 + 10'000, TOutageEnd::Open,
                4, 8000,     2000, ""};
    TOutage Open{0,  "server", std::nullopt, T0 + Minute, T0 + 2 * Minute, {}, TOutageEnd::Open,
                 31, Minute,   1000,         ""};
    Open.Kind = TOutageKind::Slow; // a slow period is kept, and ended by a crash, alike
    {
        THistoryStore Store;
        ASSERT_TRUE(Store.Open(Dir.Path()));
        ASSERT_TRUE(Store.AddOutage(Old));
        Old.End = TOutageEnd::Recovered;
        ASSERT_TRUE(Store.UpdateOutage(Old));
        ASSERT_TRUE(Store.AddOutage(Open));
        EXPECT_NE(Old.Id, Open.Id);
        const TOutageTrace Trace{
            "La perdita inizia al salto 2",
            {{1, "10.0.0.1", 10, 10, 900, 1500}, {2, "", 10, 0, std::nullopt, std::nullopt}}};
        ASSERT_TRUE(Store.SetOutageTrace(Old.Id, Trace));
        ASSERT_TRUE(Store.SetOutageTrace(Old.Id, Trace)) << "replaced, not added to";
        EXPECT_EQ(Store.OutageTrace(Old.Id), Trace);
        EXPECT_FALSE(Store.OutageTrace(Open.Id));
        Old.Path = Trace.Verdict;
        // Two more of its lost pings are kept before the end, its row not written again.
        ASSERT_TRUE(Store.AddPing(Ping(T0 + 2 * Minute + 2000, {})));
        ASSERT_TRUE(Store.AddPing(Ping(T0 + 2 * Minute + 4000, {})));
        EXPECT_EQ(Store.Outages(-Wide, Wide), (std::vector{Open, Old}));
        // Ends without closing it, as a kill -9 would.
    }
    THistoryStore Store;
    ASSERT_TRUE(Store.Open(Dir.Path()));
    Open.End = TOutageEnd::Unknown;
    Open.EndFromMs += 4000;
    Open.EndToMs = Open.EndFromMs;
    Open.Lost += 2;
    Open.DurationMs += 4000;
    EXPECT_EQ(Store.Outages(-Wide, Wide), (std::vector{Open, Old}));
    EXPECT_EQ(Store.Outages(T0 + 10'001, Wide), std::vector{Open});
    EXPECT_EQ(Store.Outages(-Wide, T0 + 2000), std::vector<TOutage>{});
    EXPECT_EQ(Store.Outages(-Wide, T0 + 2001), std::vector{Old});
    while (Store.PruneStep(T0 + 10'001 + THistoryStore::AggregatesMs)) {
    }
    EXPECT_EQ(Store.Outages(-Wide, Wide), std::vector{Open});
    EXPECT_FALSE(Store.OutageTrace(Old.Id)) << "its hops went with it";
    ASSERT_TRUE(Store.Clear());
    EXPECT_TRUE(Store.Outages(-Wide, Wide).empty());
}

TEST(THistoryStoreTest, ClearEmptiesEverythingAndTheFileStaysSound) {
    TTempDir Dir;
    THistoryStore Store;
    ASSERT_TRUE(Store.Open(Dir.Path()));
    // Refused: neither family, a negative round trip, one longer than any wait.
    THistoryPing Family5 = Ping(T0, 10);
    Family5.Family = 5;
    for (const THistoryPing& P :
         {Family5, Ping(T0, -1), Ping(T0, THistoryStore::MaxRoundTripUs + 1)}) {
        EXPECT_FALSE(Store.AddPing(P));
    }
    EXPECT_FALSE(Store.BeginPeriod(static_cast<THistoryPeriodKind>(7), T0));
    EXPECT_TRUE(Store.Available());
    EXPECT_TRUE(Store.Pings(-Wide, Wide).empty());
    ASSERT_TRUE(Store.BeginPeriod(THistoryPeriodKind::Run, T0));
    for (int64_t I = 0; I < 100; ++I) {
        ASSERT_TRUE(Store.AddPing(Ping(T0 + I * 2000, 100 + I, I % 2 ? "router.lan" : "server6")));
    }
    // The host field's completions: each host once, sorted, whatever was pruned.
    ASSERT_TRUE(Store.PruneStep(T0 + THistoryStore::FullResolutionMs + 100'000, 10));
    EXPECT_EQ(Store.Hosts(), (std::vector<std::string>{"router.lan", "server6"}));
    ASSERT_TRUE(Store.Clear());
    EXPECT_TRUE(Store.Hosts().empty());
    EXPECT_FALSE(Store.Extent().has_value());
    EXPECT_TRUE(Store.Minutes(-Wide, Wide).empty());
    EXPECT_TRUE(Store.Periods(-Wide, Wide).empty());
    EXPECT_EQ(Store.Summary(-Wide, Wide).Count, 0);
    ASSERT_TRUE(Store.EndPeriod(T0 + 500'000)) << "the cleared run is no longer open";
    ASSERT_TRUE(Store.AddPing(Ping(T0 + 1000, 42, "server6")));
    Store.Close();

    EXPECT_TRUE(Store.Hosts().empty()) << "a closed store has none";
    ASSERT_TRUE(Store.Open(Dir.Path()));
    EXPECT_EQ(Store.Hosts(), std::vector<std::string>{"server6"});
    ASSERT_EQ(Store.Pings(-Wide, Wide).size(), 1u);
    EXPECT_EQ(Store.Pings(-Wide, Wide)[0].Address, "2001:db8::1");
    EXPECT_GT(Store.Pings(-Wide, Wide)[0].Id, 100) << "insertion order goes on growing";
    EXPECT_EQ(Store.Minutes(-Wide, Wide).size(), 1u);
    EXPECT_TRUE(Store.Periods(-Wide, Wide).empty());
    const THistorySummary Summary = Store.Summary(-Wide, Wide);
    EXPECT_TRUE(Summary.Exact) << "nothing pruned since the clear";
    EXPECT_EQ(Summary.MedianUs, 42);
}
