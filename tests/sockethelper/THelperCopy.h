// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zirko::test {

// Copies of built programs in a fresh folder that an ordinary user can reach; the helper copy
// optionally carries cap_net_raw+ep. Removed with the object. Needs root for the capability.
class THelperCopy {
public:
    THelperCopy(const std::string& AHelper, bool ACapable,
                const std::vector<std::string>& AAlso = {});
    ~THelperCopy();
    THelperCopy(const THelperCopy&) = delete;
    THelperCopy& operator=(const THelperCopy&) = delete;

    std::filesystem::path Folder;
    std::string Path; // the helper's copy; empty when the folder could not be made
};

} // namespace zirko::test
