// SPDX-License-Identifier: GPL-3.0-or-later
// The history's speed and size on a file of a month's pings: one ping every 2 s for 31 days
// written through THistoryStore by the benchmarks' one generator, then the cost of storing
// one more ping, of opening the file and showing the "30 giorni" view, of a zoom step, and
// the file's size. With --year it goes on to 366 days with retention stepped as the program
// does and reports that size too. Prints markdown rows; bench/run_all reads them.
//
// With --many TARGETS MINUTES it writes TARGETS pings a second (one in a hundred lost) for
// MINUTES, one batch a second, once per resolution, and reports the batches' time, the pings a
// second that stays within, and the closed file's size as a day's cost per target.
#include "BenchStats.h"
#include "THistoryGenerator.h"
#include "THistoryStore.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using zirko::bench::Max;
using zirko::bench::Median;

namespace {

using TSteady = std::chrono::steady_clock;

constexpr int64_t MinuteMs = THistoryShape::MinuteMs;
constexpr int64_t DayMs = THistoryStore::MsPerDay;
constexpr int64_t StartMs = THistoryShape::FixedStartMs;
constexpr int MonthDays = 31;
constexpr int YearDays = 366;
constexpr int TimedPings = 10'000;
constexpr int OpenRuns = 5;
constexpr int Columns = 1000;

double MsSince(TSteady::time_point Start) {
    return std::chrono::duration<double, std::milli>(TSteady::now() - Start).count();
}

// The size of the closed file: closing checkpoints the journal into it and removes it,
// which the -wal figure confirms.
void PrintSize(const std::string& Folder, const char* What) {
    namespace fs = std::filesystem;
    const fs::path Db = fs::path(Folder) / THistoryStore::FileName;
    const fs::path Wal = fs::path(Folder) / (std::string(THistoryStore::FileName) + "-wal");
    std::error_code Error;
    const auto DbBytes = fs::file_size(Db, Error);
    const auto WalBytes = fs::exists(Wal) ? fs::file_size(Wal, Error) : 0;
    std::printf("| file after %s, closed (MiB) | %.1f | -wal %.1f |\n", What,
                static_cast<double>(DbBytes) / (1 << 20),
                static_cast<double>(WalBytes) / (1 << 20));
}

// Open + the "30 giorni" view (series, periods, summary), each run on a fresh store,
// as a start of the program with that view shown would do it.
bool OpenAndView(const std::string& Folder, int64_t NowMs) {
    std::vector<double> Total, OpenMs;
    const int64_t FromMs = NowMs - 30 * DayMs;
    for (int Run = 0; Run < OpenRuns; ++Run) {
        THistoryStore Store;
        const auto Start = TSteady::now();
        if (!Store.Open(Folder)) {
            return false;
        }
        OpenMs.push_back(MsSince(Start));
        const auto Series = Store.Series(FromMs, NowMs, Columns);
        const auto Periods = Store.Periods(FromMs, NowMs);
        const THistorySummary Summary = Store.Summary(FromMs, NowMs);
        Total.push_back(MsSince(Start));
        if (Series.empty() || Periods.empty() || Summary.Count == 0 || !Store.Available()) {
            return false;
        }
    }
    std::printf("| open + \"30 giorni\" view, %d fresh stores (ms) | %.1f | %.1f |\n", OpenRuns,
                Median(Total), Max(Total));
    std::printf("| of which Open (ms) | %.1f | %.1f |\n", Median(OpenMs), Max(OpenMs));
    return true;
}

// Series + periods for spans shrinking by 0.8 from 30 days to 10 minutes around one
// point, as a zoom into the graph reads them.
bool Zoom(const std::string& Folder, int64_t NowMs) {
    THistoryStore Store;
    if (!Store.Open(Folder)) {
        return false;
    }
    const int64_t Centre = NowMs - 15 * DayMs - DayMs / 2 + 7 * MinuteMs;
    std::vector<double> Steps, Spans;
    for (double Span = 30.0 * DayMs;; Span *= 0.8) {
        const auto Half = static_cast<int64_t>(std::max(Span, 10.0 * MinuteMs) / 2);
        const auto Start = TSteady::now();
        const auto Series = Store.Series(Centre - Half, Centre + Half, Columns);
        const auto Periods = Store.Periods(Centre - Half, Centre + Half);
        Steps.push_back(MsSince(Start));
        Spans.push_back(2.0 * Half / MinuteMs);
        if (Series.empty() || Periods.empty()) {
            return false;
        }
        if (Span <= 10.0 * MinuteMs) {
            break;
        }
    }
    std::printf("| zoom step, Series + Periods, %zu spans 30 d -> 10 min (ms) | %.2f | %.2f |\n",
                Steps.size(), Median(Steps), Max(Steps));
    const auto Slowest = std::max_element(Steps.begin(), Steps.end()) - Steps.begin();
    std::printf("| of which the slowest, span %.0f min (ms) | %.2f | |\n", Spans[Slowest],
                Steps[Slowest]);
    return true;
}

// Open alone on the year's file, as the program does right after its window is
// shown: it checks the whole file first, so its time grows with the file.
bool TimeOpen(const std::string& Folder) {
    std::vector<double> OpenMs;
    for (int Run = 0; Run < OpenRuns; ++Run) {
        THistoryStore Store;
        const auto Start = TSteady::now();
        if (!Store.Open(Folder)) {
            return false;
        }
        OpenMs.push_back(MsSince(Start));
    }
    std::printf("| Open of the 366-day file, %d fresh stores (ms) | %.1f | %.1f |\n", OpenRuns,
                Median(OpenMs), Max(OpenMs));
    return true;
}

} // namespace

namespace {

// 31 days, then the reads on the closed file; with Year, on to 366 days with retention.
bool Measure(const std::string& Folder, bool Year) {
    THistoryStore Store;
    if (!Store.Open(Folder)) {
        return false;
    }
    THistoryGenerator Generator(Store, THistoryShape{});
    std::vector<double> AddUs;
    auto Start = TSteady::now();
    if (!Generator.Run(StartMs + MonthDays * DayMs, {.AddUs = &AddUs, .Timed = TimedPings})) {
        return false;
    }
    std::printf("generated %lld pings over %d days in %.1f s\n\n",
                static_cast<long long>(Generator.Written()), MonthDays, MsSince(Start) / 1e3);
    std::printf("| measure | median | max |\n|---|---|---|\n");
    std::printf("| AddPing, last %d of %lld (us) | %.1f | %.1f |\n", TimedPings,
                static_cast<long long>(Generator.Written()), Median(AddUs), Max(AddUs));
    Store.Close();
    PrintSize(Folder, "31 days");
    const int64_t NowMs = Generator.NextMs();
    if (!OpenAndView(Folder, NowMs) || !Zoom(Folder, NowMs)) {
        return false;
    }
    if (!Year) {
        std::printf("| file after 366 days | not run (pass --year) | |\n");
        return true;
    }
    if (!Store.Open(Folder)) {
        return false;
    }
    Start = TSteady::now();
    if (!Generator.Run(StartMs + YearDays * DayMs, {.Prune = true})) {
        return false;
    }
    const double YearS = MsSince(Start) / 1e3;
    Store.Close();
    PrintSize(Folder, "366 days");
    if (!TimeOpen(Folder)) {
        return false;
    }
    std::printf("\ndays 32-366 (%lld pings in all, retention every 1000) took %.1f s\n",
                static_cast<long long>(Generator.Written()), YearS);
    return true;
}

} // namespace

namespace {

// One batch a second of ATargets pings at Resolution for AMinutes, in AFolder.
bool ManyTargets(const std::string& AFolder, THistoryResolution AResolution, int ATargets,
                 int AMinutes) {
    THistoryStore Store;
    if (!Store.Open(AFolder)) {
        return false;
    }
    Store.SetResolution(AResolution);
    std::vector<THistoryPing> Batch(static_cast<std::size_t>(ATargets));
    for (int I = 0; I < ATargets; ++I) {
        THistoryPing& P = Batch[static_cast<std::size_t>(I)];
        P.Host = "target-" + std::to_string(I) + ".example";
        P.Address = "10.213." + std::to_string(1 + I / 250) + "." + std::to_string(1 + I % 250);
        P.Ttl = 64;
        P.Bytes = 64;
    }
    std::vector<double> BatchMs;
    uint64_t State = 11;
    const auto Start = TSteady::now();
    for (int64_t Second = 0; Second < int64_t{AMinutes} * 60; ++Second) {
        for (int I = 0; I < ATargets; ++I) {
            State = State * 6364136223846793005u + 1442695040888963407u;
            THistoryPing& P = Batch[static_cast<std::size_t>(I)];
            P.UtcMs = StartMs + Second * 1000 + I * 1000 / ATargets;
            const bool Lost = (State >> 33) % 100 == 0;
            P.Kind = Lost ? skTimedOut : skEchoReply;
            P.RoundTripUs = Lost ? std::nullopt : std::optional<int64_t>(40 + (State >> 40) % 400);
        }
        const auto BatchStart = TSteady::now();
        if (!Store.AddPings(Batch)) {
            return false;
        }
        BatchMs.push_back(MsSince(BatchStart));
    }
    const double TotalS = MsSince(Start) / 1e3;
    Store.Close();
    std::error_code Error;
    const auto Bytes = std::filesystem::file_size(
        std::filesystem::path(AFolder) / THistoryStore::FileName, Error);
    const double PerTargetDayMiB = static_cast<double>(Bytes) / ATargets * (1440.0 / AMinutes) /
                                   (1 << 20);
    std::printf("| %s | %.1f | %.1f | %.0f | %.1f | %.2f |\n",
                AResolution == THistoryResolution::Full ? "Full" : "PerMinute", Median(BatchMs),
                Max(BatchMs), static_cast<double>(BatchMs.size()) * ATargets / TotalS,
                static_cast<double>(Bytes) / (1 << 20), PerTargetDayMiB);
    return true;
}

bool MeasureMany(const std::string& AFolder, int ATargets, int AMinutes) {
    std::printf("%d targets, one ping a second each (1 %% lost), %d minutes, one batch a second\n\n"
                "| resolution | batch, median (ms) | batch, max (ms) | pings a second it keeps "
                "up with | file, closed (MiB) | a day per target (MiB) |\n"
                "|---|---|---|---|---|---|\n",
                ATargets, AMinutes);
    for (const THistoryResolution R : {THistoryResolution::Full, THistoryResolution::PerMinute}) {
        const std::string Folder = AFolder + (R == THistoryResolution::Full ? "/full" : "/minute");
        std::filesystem::create_directory(Folder);
        if (!ManyTargets(Folder, R, ATargets, AMinutes)) {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int Argc, char** Argv) {
    const bool Year = Argc > 1 && std::strcmp(Argv[1], "--year") == 0;
    const char* Tmp = std::getenv("TMPDIR");
    std::string Folder = std::string(Tmp && *Tmp ? Tmp : "/tmp") + "/zirko-history-bench-XXXXXX";
    if (::mkdtemp(Folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    std::printf("folder %s\n", Folder.c_str());
    const bool Many = Argc > 3 && std::strcmp(Argv[1], "--many") == 0;
    if (Many && (std::atoi(Argv[2]) < 1 || std::atoi(Argv[3]) < 1)) {
        std::fprintf(stderr, "history_bench [--year | --many TARGETS MINUTES]\n");
        return 2;
    }
    const bool Done = Many ? MeasureMany(Folder, std::atoi(Argv[2]), std::atoi(Argv[3]))
                           : Measure(Folder, Year);
    std::error_code Error;
    std::filesystem::remove_all(Folder, Error);
    if (!Done) {
        std::fprintf(stderr, "the history failed during the benchmark\n");
        return 1;
    }
    return 0;
}
