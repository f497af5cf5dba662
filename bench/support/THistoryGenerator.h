// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "THistoryStore.h"

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

// What a generated history looks like. The defaults are the automatic
// monitoring as the benchmarks measure it: a ping every 2 s, runs of 10 minutes
// every 15, 3 % lost, the others answered in 0.8 ms to tens of ms (log-normal
// around 9 ms).
struct THistoryShape {
    static constexpr int64_t MinuteMs = 60'000;
    // 2026-01-01 00:00 UTC: a fixed start, so every run writes the same history.
    static constexpr int64_t FixedStartMs = 1'767'225'600'000;
    using TSpan = std::pair<int64_t, int64_t>; // [from, to) in UTC ms

    int64_t StartMs = FixedStartMs;
    int64_t IntervalMs = 2000;
    // A run of RunMs begins every CycleMs (a rest fills the remainder); with
    // CycleMs 0 one run goes on throughout.
    int64_t CycleMs = 15 * MinuteMs;
    int64_t RunMs = 10 * MinuteMs;
    double LostShare = 0.03;
    double MedianRoundTripUs = 9000.0;
    std::string Host = "gateway.example.net";
    std::string Address = "192.0.2.1";
    // Nobody monitored: no period, no ping (the program was not running).
    std::vector<TSpan> Gaps;
    // Every ping lost, and the outage on record as the Ping page keeps it.
    std::vector<TSpan> Outages;
};

// Writes a shaped history through THistoryStore's public API only: one AddPing
// (one transaction) per ping, the schedule's periods, the outages. The same
// shape always gives the same file.
class THistoryGenerator {
public:
    struct TRunOptions {
        // When given, the AddPing times of the last Timed pings of the run, in µs.
        std::vector<double>* AddUs = nullptr;
        int64_t Timed = 0;
        // Steps retention against the generated time every 1000 pings, until
        // the store says nothing more is left, as the running program would.
        bool Prune = false;
    };

    THistoryGenerator(THistoryStore& Store, THistoryShape Shape);

    // Pings from the next stamp up to EndMs; false when the store failed.
    bool Run(int64_t EndMs, const TRunOptions& Options);
    bool Run(int64_t EndMs) { return Run(EndMs, TRunOptions{}); }
    // Ends the open period, as a program that quits does.
    bool Finish();

    int64_t NextMs() const { return FNextMs; }
    int64_t Written() const { return FWritten; }

private:
    bool Period();
    bool Outage();
    bool EndOutage(TOutageEnd End);
    static bool Within(const std::vector<THistoryShape::TSpan>& Spans, int64_t AtMs);
    THistoryPing Next(bool Lost);

    THistoryStore& FStore;
    THistoryShape FShape;
    std::mt19937_64 FRng{20260101};
    std::uniform_real_distribution<double> FLost{0.0, 1.0};
    std::lognormal_distribution<double> FRtt;
    int64_t FNextMs;
    int64_t FWritten = 0;
    bool FPeriodOpen = false;
    bool FInOutage = false;
    TOutage FOutage;
    std::optional<int64_t> FLastAnsweredMs;
};
