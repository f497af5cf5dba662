// SPDX-License-Identifier: GPL-3.0-or-later
#include "TClock.h"

#include <langinfo.h>

namespace {

constexpr std::string_view DefaultSeparator = ":";

bool IsHourConversion(char C) {
    return C == 'H' || C == 'I' || C == 'k' || C == 'l';
}

// glibc flags, field widths and E/O modifiers that may stand between '%' and the conversion.
bool IsModifier(char C) {
    return C == '-' || C == '_' || C == '^' || C == '#' || C == 'E' || C == 'O' ||
           (C >= '0' && C <= '9');
}

} // namespace

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
    return TimeSeparatorOf(::nl_langinfo(T_FMT), ::nl_langinfo(T_FMT_AMPM));
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
        size_t J = I + 1;
        while (J < TimeFormat.size() && IsModifier(TimeFormat[J])) {
            ++J;
        }
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
