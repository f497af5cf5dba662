// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTargetsChange.h"

#include <string>
#include <unordered_map>

TTargetsChange CompareTargets(const std::vector<TTarget>& ARunning,
                              const std::vector<TTarget>& AReread) {
    // Found by host, so ten thousand targets compare in one pass each side.
    std::unordered_multimap<std::string, std::size_t> ByHost;
    ByHost.reserve(ARunning.size());
    for (std::size_t At = 0; At < ARunning.size(); ++At) {
        ByHost.emplace(ARunning[At].Host, At);
    }
    TTargetsChange Change;
    // Each running target matches at most one of the file, so a host listed twice alike
    // (which reading refuses, but a caller may build) still counts once each side.
    std::vector<bool> Matched(ARunning.size(), false);
    for (const TTarget& Each : AReread) {
        bool Found = false;
        for (auto [It, End] = ByHost.equal_range(Each.Host); It != End && !Found; ++It) {
            Found = !Matched[It->second] && ARunning[It->second] == Each;
            if (Found) {
                Matched[It->second] = true;
            }
        }
        (Found ? Change.Kept : Change.Added).push_back(Each);
    }
    for (std::size_t At = 0; At < ARunning.size(); ++At) {
        if (!Matched[At]) {
            Change.Removed.push_back(ARunning[At]);
        }
    }
    return Change;
}
