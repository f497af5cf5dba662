// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TTarget.h"

#include <string>
#include <vector>

// The page's list on disk. A file that cannot be read is never replaced unasked: the
// list starts empty, Problem says why in one line, and Save refuses until told to replace.
class TTargetsStore {
public:
    explicit TTargetsStore(std::string APath) : FPath(std::move(APath)) {}

    // $XDG_CONFIG_HOME/zirko/targets.yml, or ~/.config/zirko/targets.yml.
    static std::string DefaultPath();

    const std::string& Path() const { return FPath; }
    // The file's targets; none when it is missing or cannot be used (then Problem is set).
    std::vector<TTarget> Load();
    const std::string& Problem() const { return FProblem; }
    bool Unreadable() const { return FUnreadable; }

    enum class TSaved { Written, NeedsConsent, Failed };
    // Writes ATargets at once (the folder made when missing); an unreadable file only
    // when AReplaceUnreadable. Failed leaves the reason in Problem.
    TSaved Save(const std::vector<TTarget>& ATargets, bool AReplaceUnreadable = false);

    // Why ATarget cannot join AOthers (the file refuses two of one host with the same
    // labels), or "".
    static std::string Clash(const TTarget& ATarget, const std::vector<TTarget>& AOthers);

private:
    std::string FPath;
    std::string FProblem;
    bool FUnreadable = false;
};
