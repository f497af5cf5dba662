// SPDX-License-Identifier: GPL-3.0-or-later
// What the tracker tables expect of the last period they end, checked alike for
// outages and slow periods.
#pragma once

#include "OutageText.h"
#include "TOutage.h"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <string>
#include <tuple>

namespace outage_test {

constexpr int64_t Ms(double S) {
    return static_cast<int64_t>(S * 1000);
}
constexpr double None = -1; // no known start

// The last period ended: its brackets in s, its end, lost pings, duration and
// uncertainty in ms, and its text.
struct TExpected {
    double StartFrom, StartTo, EndFrom, EndTo;
    TOutageEnd End;
    int64_t Lost, DurationMs, UncertaintyMs;
    const char* Text;
};

inline void ExpectEnded(const TOutage& Last, const TExpected& E) {
    EXPECT_EQ(Last.StartFromMs, E.StartFrom == None ? std::nullopt : std::optional(Ms(E.StartFrom)));
    EXPECT_EQ(std::tie(Last.StartToMs, Last.EndFromMs, *Last.EndToMs),
              std::make_tuple(Ms(E.StartTo), Ms(E.EndFrom), Ms(E.EndTo)));
    EXPECT_EQ(std::tie(Last.End, Last.Lost, Last.DurationMs, Last.UncertaintyMs),
              std::tie(E.End, E.Lost, E.DurationMs, E.UncertaintyMs));
    EXPECT_EQ(OutageText::Duration(Last), E.Text);
}

// A case's name as a test name: letters and digits, '_' for the rest.
inline std::string CaseName(const char* Name) {
    std::string Out;
    for (const char C : std::string(Name)) {
        Out += std::isalnum(static_cast<unsigned char>(C)) ? C : '_';
    }
    return Out;
}

} // namespace outage_test
