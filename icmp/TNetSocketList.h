// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetCriticalSection.h"
#include "TNetTypes.h"

#include <array>
#include <cstddef>
#include <vector>

// A guarded set of at most 64 socket identifiers; waits copy it out under the lock.
class TNetSocketList {
public:
    static constexpr std::size_t MaxCount = 64;

    // Returns false when the set is full or already holds the identifier.
    bool Add(TSocketId AId);
    void Remove(TSocketId AId);
    void Clear();
    std::size_t Count();
    std::vector<TSocketId> Snapshot();

private:
    TNetCriticalSection FLock;
    std::array<TSocketId, MaxCount> FIds{};
    std::size_t FCount = 0;
};
