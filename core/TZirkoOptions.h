// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TWatchRules.h"

#include <optional>
#include <string>
#include <vector>

// What the command line asks of a start; without options every start begins
// from the window's defaults, as always.
struct TZirkoOptions {
    // The last --host given, which the window shows; Hosts holds every one in order.
    std::optional<std::string> Host;
    std::vector<std::string> Hosts;
    // A file of targets to watch.
    std::optional<std::string> Config;
    bool Auto = false;
    // The spinners' values; unset leaves each at its default.
    std::optional<int> RunMinutes, EveryMinutes, LimitMs, AlarmAfter;
    bool Minimized = false;
    bool Headless = false;
    // "ADDRESS:PORT" or ":PORT"/"PORT" for 127.0.0.1.
    std::optional<std::string> Metrics;
    std::optional<std::string> MetricsTextfile;
    // --report: a PDF of Host's history over [From, To) ("YYYY-MM-DD[THH:MM]",
    // local time; by default the last 24 hours) written to Out, and nothing else.
    bool Report = false;
    std::optional<std::string> From, To, Out;

    // The spinners' ranges and defaults, shared by the window and headless mode.
    using TRange = TWatchRules::TRange;
    static constexpr TRange RunMinutesRange = TWatchRules::RunMinutes;
    static constexpr TRange EveryMinutesRange = TWatchRules::EveryMinutes;
    static constexpr TRange LimitMsRange = TWatchRules::LimitMs;
    static constexpr TRange AlarmAfterRange = TWatchRules::AlarmAfter;

    int RunMinutesOr() const { return RunMinutes.value_or(RunMinutesRange.Default); }
    int EveryMinutesOr() const { return EveryMinutes.value_or(EveryMinutesRange.Default); }
    int LimitMsOr() const { return LimitMs.value_or(LimitMsRange.Default); }
    int AlarmAfterOr() const { return AlarmAfter.value_or(AlarmAfterRange.Default); }
};

// The outcome of reading the command line: options to start with, or exit
// code 2 with a one-line error for stderr.
struct TParsedCommandLine {
    std::optional<TZirkoOptions> Options;
    int ExitCode = 0;
    std::string Error;
};

// Reads argv (after --help and --version were answered); everything after "--" is ignored. A bad
// value of an option is an error with exit code 2, and so is an unknown "--option": a mistyped one
// must not start a watch of the wrong thing. The window leaves Qt's own options ("-platform",
// "--style=...") and other arguments to Qt; Headless (or --headless) refuses any argument it does
// not know.
TParsedCommandLine ParseZirkoOptions(int argc, const char* const* argv, bool Headless = false);

// "127.0.0.1" and the port of a --metrics value; false when it is no
// ADDRESS:PORT with a port in 1..65535.
bool SplitMetricsAddress(const std::string& Value, std::string& Address, int& Port);

// The --help text.
std::string ZirkoHelpText();
