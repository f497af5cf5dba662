// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TTarget.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

// A file that cannot be used, as one line for the user: "FILE:LINE: reason", or
// "FILE: reason" when no line is to blame.
class ETargetsFile : public std::runtime_error {
public:
    ETargetsFile(const std::string& AFile, int ALine, const std::string& AReason);
    const std::string& File() const { return FFile; }
    int Line() const { return FLine; } // from 1; 0 when none
    const std::string& Reason() const { return FReason; }

private:
    std::string FFile;
    int FLine;
    std::string FReason;
};

// The targets file: the smoke-ping exporters' YAML ("targets:", a list of groups with
// "hosts", "interval", "network", "protocol", "size", "source" and "labels") plus Zirko's
// own keys per group, "alarm_after_lost" (lost pings in a row that raise the alarm),
// "latency_limit_ms" and "stopped" (listed but not watched). A key neither defines is refused, like a value out of range.
namespace zirko::targets {

// The targets of AText, in the order listed; AFile only names the errors.
std::vector<TTarget> Parse(const std::string& AText, const std::string& AFile);
// One target as a dialog edits it, each value as typed.
struct TTargetFields {
    std::string Host, Name, Group, Interval, AlarmAfterLost, LatencyLimitMs;
    bool Stopped = false;
};
// The target the fields describe, or why they describe none, by the file's own rules.
std::variant<TTarget, std::string> FromFields(const TTargetFields& AFields);

// The file at APath.
std::vector<TTarget> Read(const std::string& APath);

// The file's text: each run of targets with equal settings is one group, keys at their
// default are left out.
std::string Text(const std::vector<TTarget>& ATargets);
// Replaces APath at once: a reader sees the old file or the new one, never a torn one, and
// the new one survives a power cut once this returns.
void Write(const std::string& APath, const std::vector<TTarget>& ATargets);

// A duration as the exporters write it ("1s", "1m30s", "1.5s", "250ms"), in milliseconds;
// none unless it is a whole number of them from 1 ms to 24 h.
std::optional<int64_t> ParseIntervalMs(const std::string& AText);
std::string IntervalText(int64_t AMs);

} // namespace zirko::targets
