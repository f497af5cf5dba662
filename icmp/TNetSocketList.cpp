// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetSocketList.h"

#include <algorithm>
#include <mutex>

bool TNetSocketList::Add(TSocketId AId) {
    std::lock_guard Guard(FLock);
    const auto End = FIds.begin() + static_cast<std::ptrdiff_t>(FCount);
    if (FCount == MaxCount || std::find(FIds.begin(), End, AId) != End) {
        return false;
    }
    FIds[FCount++] = AId;
    return true;
}

void TNetSocketList::Remove(TSocketId AId) {
    std::lock_guard Guard(FLock);
    const auto End = FIds.begin() + static_cast<std::ptrdiff_t>(FCount);
    const auto It = std::find(FIds.begin(), End, AId);
    if (It != End) {
        *It = FIds[FCount - 1];
        --FCount;
    }
}

void TNetSocketList::Clear() {
    std::lock_guard Guard(FLock);
    FCount = 0;
}

std::size_t TNetSocketList::Count() {
    std::lock_guard Guard(FLock);
    return FCount;
}

std::vector<TSocketId> TNetSocketList::Snapshot() {
    std::lock_guard Guard(FLock);
    return {FIds.begin(), FIds.begin() + static_cast<std::ptrdiff_t>(FCount)};
}
