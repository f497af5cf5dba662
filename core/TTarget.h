// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TWatchRules.h"

#include <chrono>
#include <map>
#include <string>

// One host to watch among many, as a file of targets or the command line gives it:
// a plain value, compared whole when the list is read again.
struct TTarget {
    std::string Host;
    std::string Name; // shown for it; empty: the host
    std::map<std::string, std::string> Labels;
    std::chrono::milliseconds Interval{1000};
    int AlarmAfter = TWatchRules::AlarmAfter.Default; // lost in a row before the alarm
    int LimitMs = TWatchRules::LimitMs.Default;       // the average's limit

    const std::string& Shown() const { return Name.empty() ? Host : Name; }
    bool operator==(const TTarget&) const = default;
};
