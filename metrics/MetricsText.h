// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The pieces of an exposition line, shared by both text formats.
namespace zirko::metrics {

// A sample value or bucket bound as the common client libraries print it:
// shortest round trip, exponent form below 1e-4 and from 1e6 on ("5e-05",
// "0.0001", "26.2144", "1e+06"), "+Inf", "-Inf", "NaN". Equal strings matter
// for "le": series of another exporter with the same bounds sum together.
void AppendNumber(std::string& Out, double Value);
void AppendNumber(std::string& Out, uint64_t Value);

// A label value between its quotes: backslash, double quote and line feed
// escaped; bytes that are not UTF-8 become U+FFFD, because one invalid byte
// makes the scraper reject the whole exposition.
void AppendLabelValue(std::string& Out, std::string_view Value);

} // namespace zirko::metrics
