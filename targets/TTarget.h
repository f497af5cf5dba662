// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <string>

// Which address family a host name resolves to: "ip" either (IPv4 first), "ip4", "ip6".
enum class TTargetNetwork : uint8_t { Any, Ip4, Ip6 };
// How it is probed: "icmp" echo or "udp"; Zirko probes with ICMP only.
enum class TTargetProtocol : uint8_t { Icmp, Udp };

// One watched host with the settings of the group it was listed in.
struct TTarget {
    // The exporters' defaults, so a file of theirs means the same here.
    static constexpr int64_t DefaultIntervalMs = 1000;
    // A group without "size" keeps the engine's own request (a 44-byte payload), as before
    // the key was applied. The exporters' floor of 24; the ceiling is what one request to
    // the socket helper carries (512 bytes of ICMP).
    static constexpr int DefaultSize = 0;
    static constexpr int MinSize = 24, MaxSize = 504;
    // The Ping page's spinners: the same ranges and defaults.
    static constexpr int DefaultAlarmAfterLost = 10;
    static constexpr int MinAlarmAfterLost = 1, MaxAlarmAfterLost = 1000;
    static constexpr int DefaultLatencyLimitMs = 250;
    static constexpr int MinLatencyLimitMs = 10, MaxLatencyLimitMs = 10000;
    // The labels a group may not set: the metrics' own.
    static bool IsReservedLabel(const std::string& AName);

    std::string Host;
    // The group's labels, "name" and "group" among them; every metric of the host carries them.
    std::map<std::string, std::string> Labels;
    int64_t IntervalMs = DefaultIntervalMs;
    TTargetNetwork Network = TTargetNetwork::Any;
    TTargetProtocol Protocol = TTargetProtocol::Icmp;
    int Size = DefaultSize; // echo payload in bytes; 0 when not given
    std::string Source;     // address to send from; "" lets the kernel choose
    int AlarmAfterLost = DefaultAlarmAfterLost;
    int LatencyLimitMs = DefaultLatencyLimitMs;
    // Zirko's own "stopped": kept in the list, not watched until started again.
    bool Stopped = false;

    // The label "name", or "" when the group gives none.
    std::string Name() const { return LabelOr("name"); }
    // The label "group", or "".
    std::string Group() const { return LabelOr("group"); }
    // Everything but the host is equal: both belong in one group of the file.
    bool SameGroupAs(const TTarget& AOther) const;

    bool operator==(const TTarget&) const = default;

private:
    std::string LabelOr(const char* AKey) const;
};
