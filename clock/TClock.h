// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// Where the program gets the local date and time, the user's time separator,
// the wall clock and a clock that is never stepped: the log agent's entries,
// the pages' stamps, the graph's time axis and the round trips alike. The
// default reads the system; tests override what they need to fix.
class TClock {
public:
    virtual ~TClock() = default;

    // Current local broken-down time; empty when the system cannot give it.
    virtual std::optional<std::tm> LocalNow() const;
    // Characters between hour and minutes in the current locale's time format.
    virtual std::string TimeSeparator() const;
    // UTC nanoseconds since the epoch (CLOCK_REALTIME, the clock of the kernel's
    // receive stamps); it can be stepped.
    virtual int64_t WallNs() const;
    // CLOCK_MONOTONIC in nanoseconds: never stepped, so steps of WallNs show against it.
    virtual int64_t SteadyNs() const;

    int64_t WallMs() const { return WallNs() / NsPerMs; }
    int64_t SteadyMs() const { return SteadyNs() / NsPerMs; }
    // The steady clock in milliseconds cut to 32 bits, as the echo request carries it.
    uint32_t TickCount() const { return static_cast<uint32_t>(SteadyMs()); }
    // Span between two TickCount readings, allowing for one wrap.
    static uint32_t TickDiff(uint32_t AEarlier, uint32_t ALater);

    static constexpr int64_t NsPerMs = 1'000'000;

    static const TClock& System();
};

// The separator a time format puts after its hour field (":" when it has none
// or nothing stands between it and the next field). AmPmFormat is what "%r"
// stands for in the same locale.
std::string TimeSeparatorOf(std::string_view TimeFormat, std::string_view AmPmFormat);

// Where the conversion of the '%' at Percent stands, past glibc's flags, width and
// E/O modifier: the one reader of a time format's fields.
size_t TimeConversionAt(std::string_view Format, size_t Percent);

// The time format with its composite fields (%T, %R, %r) spelled out and any zone
// field dropped; "%H:%M:%S" where the locale has none.
std::string ExpandTimeFormat(std::string_view Format, std::string_view AmPmFormat);
// The current locale's long time format (T_FMT), expanded as above: the one place it is
// read, for the time separator and the stamps of the pages alike.
std::string LongTimeFormat();
