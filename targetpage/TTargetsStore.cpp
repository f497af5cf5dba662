// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTargetsStore.h"

#include "TTargetsFile.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

std::string TTargetsStore::DefaultPath() {
    const char* Config = std::getenv("XDG_CONFIG_HOME");
    if (Config != nullptr && Config[0] == '/') {
        return std::string(Config) + "/zirko/targets.yml";
    }
    const char* Home = std::getenv("HOME");
    return std::string(Home != nullptr ? Home : "") + "/.config/zirko/targets.yml";
}

std::vector<TTarget> TTargetsStore::Load() {
    FProblem.clear();
    FUnreadable = false;
    struct stat Info {};
    if (::lstat(FPath.c_str(), &Info) != 0 && errno == ENOENT) {
        return {}; // the first start: nothing listed yet
    }
    try {
        return zirko::targets::Read(FPath);
    } catch (const ETargetsFile& Error) {
        FProblem = Error.what();
        FUnreadable = true;
        return {};
    }
}

TTargetsStore::TSaved TTargetsStore::Save(const std::vector<TTarget>& ATargets,
                                          bool AReplaceUnreadable) {
    if (FUnreadable && !AReplaceUnreadable) {
        return TSaved::NeedsConsent;
    }
    try {
        std::error_code Ignored;
        std::filesystem::create_directories(std::filesystem::path(FPath).parent_path(), Ignored);
        zirko::targets::Write(FPath, ATargets);
    } catch (const ETargetsFile& Error) {
        FProblem = Error.what();
        return TSaved::Failed;
    }
    FProblem.clear();
    FUnreadable = false;
    return TSaved::Written;
}

std::string TTargetsStore::Clash(const TTarget& ATarget, const std::vector<TTarget>& AOthers) {
    for (const TTarget& Other : AOthers) {
        if (Other.Host == ATarget.Host && Other.Labels == ATarget.Labels) {
            return "host \"" + ATarget.Host + "\" is already listed with the same labels";
        }
    }
    return {};
}
