// SPDX-License-Identifier: GPL-3.0-or-later
#include "TClock.h"

#include <langinfo.h>

namespace {

constexpr std::string_view DefaultSeparator = ":";

int64_t Nanoseconds(clockid_t AClock) {
    timespec Now{};
    ::clock_gettime(AClock, &Now);
    return int64_t{Now.tv_sec} * 1'000'000'000 + Now.tv_nsec;
}

bool IsHourConversion(char C) {
    return C == 'H' || C == 'I' || C == 'k' || C == 'l';
}

} // namespace

size_t TimeConversionAt(std::string_view Format, size_t Percent) {
    // glibc's flags and field width, then one E or O modifier.
    size_t I = Percent + 1;
    while (I < Format.size() &&
           (std::string_view("_-0^#").find(Format[I]) != std::string_view::npos ||
            (Format[I] >= '0' && Format[I] <= '9'))) {
        ++I;
    }
    if (I < Format.size() && (Format[I] == 'E' || Format[I] == 'O')) {
        ++I;
    }
    return I;
}

std::string ExpandTimeFormat(std::string_view Format, std::string_view AmPmFormat) {
    std::string Out;
    for (size_t I = 0; I < Format.size(); ++I) {
        if (Format[I] != '%' || I + 1 >= Format.size()) {
            Out += Format[I];
            continue;
        }
        const size_t C = TimeConversionAt(Format, I);
        if (C >= Format.size()) {
            Out += Format.substr(I);
            break;
        }
        const char Kind = Format[C];
        if (Kind == 'T') {
            Out += "%H:%M:%S";
        } else if (Kind == 'R') {
            Out += "%H:%M";
        } else if (Kind == 'r') {
            Out += AmPmFormat.find("%r") != std::string_view::npos
                       ? std::string("%I:%M:%S %p")
                       : ExpandTimeFormat(AmPmFormat, {});
        } else if (Kind == 'Z' || Kind == 'z') {
            // No zone in the long time: drop it with the blank that led to it.
            while (!Out.empty() && Out.back() == ' ') {
                Out.pop_back();
            }
        } else {
            Out += Format.substr(I, C - I + 1);
        }
        I = C;
    }
    // A locale without a time format still gets a time with seconds.
    return Out.empty() ? std::string("%H:%M:%S") : Out;
}

std::optional<std::tm> TClock::LocalNow() const {
    timespec Now{};
    if (::clock_gettime(CLOCK_REALTIME, &Now) != 0) {
        return std::nullopt;
    }
    // The zone conversion costs more than the write of an entry; within one
    // second the answer cannot change.
    thread_local time_t CachedSecond = -1;
    thread_local std::tm Cached{};
    if (Now.tv_sec != CachedSecond) {
        if (::localtime_r(&Now.tv_sec, &Cached) == nullptr) {
            CachedSecond = -1;
            return std::nullopt;
        }
        CachedSecond = Now.tv_sec;
    }
    return Cached;
}

std::string TClock::TimeSeparator() const {
    return TimeSeparatorOf(LongTimeFormat(), {});
}

std::string LongTimeFormat() {
    return ExpandTimeFormat(::nl_langinfo(T_FMT), ::nl_langinfo(T_FMT_AMPM));
}

int64_t TClock::WallNs() const {
    return Nanoseconds(CLOCK_REALTIME);
}

int64_t TClock::SteadyNs() const {
    return Nanoseconds(CLOCK_MONOTONIC);
}

uint32_t TClock::TickDiff(uint32_t AEarlier, uint32_t ALater) {
    if (ALater >= AEarlier) {
        return ALater - AEarlier;
    }
    return ALater + (4294967295u - AEarlier);
}

const TClock& TClock::System() {
    static const TClock Clock;
    return Clock;
}

std::string TimeSeparatorOf(std::string_view TimeFormat, std::string_view AmPmFormat) {
    for (size_t I = 0; I < TimeFormat.size(); ++I) {
        if (TimeFormat[I] != '%') {
            continue;
        }
        const size_t J = TimeConversionAt(TimeFormat, I);
        if (J >= TimeFormat.size()) {
            break;
        }
        const char Conversion = TimeFormat[J];
        if (Conversion == 'T' || Conversion == 'R') {
            return std::string(DefaultSeparator);
        }
        if (Conversion == 'r') {
            // "%r" inside "%r" would recurse forever; the C locale's answer is a colon.
            return AmPmFormat.find("%r") == std::string_view::npos ? TimeSeparatorOf(AmPmFormat, {})
                                                                   : std::string(DefaultSeparator);
        }
        if (IsHourConversion(Conversion)) {
            const size_t Start = J + 1;
            const size_t End = TimeFormat.find('%', Start);
            const std::string_view Between = TimeFormat.substr(Start, End - Start);
            if (End == std::string_view::npos || Between.empty()) {
                return std::string(DefaultSeparator);
            }
            return std::string(Between);
        }
        I = J; // skips "%%" and every other conversion
    }
    return std::string(DefaultSeparator);
}
