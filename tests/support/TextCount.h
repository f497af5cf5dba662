// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>

namespace zirko::test {

// Occurrences of What in Text, overlapping ones included (log files and panes).
inline std::size_t Count(const std::string& Text, const std::string& What) {
    std::size_t N = 0;
    for (auto At = Text.find(What); At != std::string::npos; At = Text.find(What, At + 1))
        ++N;
    return N;
}

} // namespace zirko::test
