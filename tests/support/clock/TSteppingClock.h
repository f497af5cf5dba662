// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TClock.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <utility>

// A calendar date and time as the clock gives it, week and year day filled in.
inline std::tm CalendarTime(int Year, int Month, int Day, int Hour, int Minute, int Second) {
    std::tm When{};
    When.tm_year = Year - 1900;
    When.tm_mon = Month - 1;
    When.tm_mday = Day;
    When.tm_hour = Hour;
    When.tm_min = Minute;
    When.tm_sec = Second;
    const time_t Seconds = ::timegm(&When);
    ::gmtime_r(&Seconds, &When);
    return When;
}

// Starts at First and moves Step seconds per reading (none: a fixed instant),
// so stamps and log entries show which readings made them and in which order.
// One clock serves the log agent, the pages and the network code. Its wall and
// steady readings move only when a test says so: Advance moves both, StepWall
// the wall clock alone, as setting the system clock does.
class TSteppingClock : public TClock {
public:
    explicit TSteppingClock(const std::tm& First, std::string Separator = ":", int Step = 1)
        : FFirst(First), FSeparator(std::move(Separator)), FStep(Step) {}

    std::optional<std::tm> LocalNow() const override {
        std::tm Now = FFirst;
        Now.tm_sec += FStep * FReadings++;
        // Normalised as if in UTC, so the instant needs no time zone.
        const time_t Seconds = ::timegm(&Now);
        ::gmtime_r(&Seconds, &Now);
        return Now;
    }
    std::string TimeSeparator() const override { return FSeparator; }
    int64_t WallNs() const override { return FWallNs; }
    int64_t SteadyNs() const override { return FSteadyNs; }
    int Readings() const { return FReadings; }

    void SetWallMs(int64_t AMs) { FWallNs = AMs * NsPerMs; }
    void Advance(int64_t AMs) {
        FWallNs += AMs * NsPerMs;
        FSteadyNs += AMs * NsPerMs;
    }
    void StepWall(int64_t AMs) { StepWallNs(AMs * NsPerMs); }
    void StepWallNs(int64_t ANs) { FWallNs += ANs; }
    void SetSteadyMs(int64_t AMs) { FSteadyNs = AMs * NsPerMs; }

private:
    std::tm FFirst;
    std::string FSeparator;
    int FStep;
    mutable int FReadings = 0;
    int64_t FWallNs = 0;
    int64_t FSteadyNs = 5000 * NsPerMs;
};
