// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <string_view>

// What a scrape of /metrics is answered with: the content type of the format a
// request's Accept header negotiated, and the text in that format.
struct TMetricsAnswer {
    std::string ContentType;
    std::string Text;
};

// The endpoint's one view of the registry: the answer to a request's Accept header.
// A function, so the endpoint's module needs none of the registry's code.
using TMetricsSource = std::function<TMetricsAnswer(std::string_view Accept)>;
