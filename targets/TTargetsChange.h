// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TTarget.h"

#include <vector>

// What a reload changes: targets equal in every setting carry on (and keep their counters),
// the others stop or start. A target whose settings changed is one removed and one added.
struct TTargetsChange {
    std::vector<TTarget> Kept;    // in the order of the file read again
    std::vector<TTarget> Added;   // in the order of the file read again
    std::vector<TTarget> Removed; // in the running order

    bool Unchanged() const { return Added.empty() && Removed.empty(); }
};

TTargetsChange CompareTargets(const std::vector<TTarget>& ARunning,
                              const std::vector<TTarget>& AReread);
