#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// Where the agent gets the local date and time and the user's time separator.
// The default reads the system; tests override what they need to fix.
class TAgenteClock {
public:
    virtual ~TAgenteClock() = default;

    // Current local broken-down time; empty when the system cannot give it.
    virtual std::optional<std::tm> LocalNow() const;
    // Characters between hour and minutes in the current locale's time format.
    virtual std::string TimeSeparator() const;

    static const TAgenteClock& System();
};

// The separator a time format puts after its hour field (":" when it has none).
// AmPmFormat is what "%r" stands for in the same locale.
std::string TimeSeparatorOf(std::string_view TimeFormat, std::string_view AmPmFormat);
