// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

// What the command line asks of a start; without options every start begins
// from the window's defaults, as always.
struct TZirkoOptions {
    std::optional<std::string> Host;
    bool Auto = false;
    // The spinners' values; unset leaves each at its default.
    std::optional<int> RunMinutes, EveryMinutes, LimitMs, AlarmAfter;
    bool Minimized = false;
    bool Headless = false;
    // "ADDRESS:PORT" or ":PORT"/"PORT" for 127.0.0.1.
    std::optional<std::string> Metrics;
    std::optional<std::string> MetricsTextfile;

    // The spinners' ranges and defaults, shared by the window and headless mode.
    struct TRange {
        const char* Option;
        int Minimum, Maximum, Default;
    };
    static constexpr TRange RunMinutesRange{"--run-minutes", 1, 60, 1};
    static constexpr TRange EveryMinutesRange{"--every-minutes", 1, 60, 5};
    static constexpr TRange LimitMsRange{"--limit-ms", 10, 10000, 250};
    static constexpr TRange AlarmAfterRange{"--alarm-after", 1, 1000, 10};

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

// Reads argv (after --help and --version were answered). Arguments that are none of Zirko's options
// are left to Qt and otherwise ignored, as they always were; everything after "--" too. A bad value
// of an option is an error with exit code 2.
TParsedCommandLine ParseZirkoOptions(int argc, const char* const* argv);

// "127.0.0.1" and the port of a --metrics value; false when it is no
// ADDRESS:PORT with a port in 1..65535.
bool SplitMetricsAddress(const std::string& Value, std::string& Address, int& Port);

// The --help text.
std::string ZirkoHelpText();
