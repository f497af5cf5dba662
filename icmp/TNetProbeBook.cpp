// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetProbeBook.h"

#include <algorithm>

TNetProbeBook::TNetProbeBook(uint16_t AStart)
    : FNext(static_cast<uint16_t>(AStart | FirstSequence)) {}

bool TNetProbeBook::InFlight(uint16_t ASequence) const {
    return std::any_of(FProbes.begin(), FProbes.end(),
                       [ASequence](const TNetInFlight& P) { return P.Sequence == ASequence; });
}

uint16_t TNetProbeBook::NextSequence() {
    // The book never holds more than a small share of the half range, so this ends soon.
    for (;;) {
        const uint16_t Sequence = FNext;
        FNext = static_cast<uint16_t>(FNext == 0xFFFF ? FirstSequence : FNext + 1);
        if (!InFlight(Sequence)) {
            return Sequence;
        }
    }
}

void TNetProbeBook::Add(const TNetInFlight& AProbe) {
    FProbes.push_back(AProbe);
}

std::optional<TNetInFlight> TNetProbeBook::Take(uint16_t ASequence) {
    const auto It =
        std::find_if(FProbes.begin(), FProbes.end(),
                     [ASequence](const TNetInFlight& P) { return P.Sequence == ASequence; });
    if (It == FProbes.end()) {
        return std::nullopt;
    }
    const TNetInFlight Probe = *It;
    FProbes.erase(It);
    return Probe;
}

const TNetInFlight* TNetProbeBook::Find(uint16_t ASequence) const {
    const auto It =
        std::find_if(FProbes.begin(), FProbes.end(),
                     [ASequence](const TNetInFlight& P) { return P.Sequence == ASequence; });
    return It == FProbes.end() ? nullptr : &*It;
}

std::vector<TNetInFlight> TNetProbeBook::Expire(int64_t ANowNs) {
    std::vector<TNetInFlight> Due;
    std::copy_if(FProbes.begin(), FProbes.end(), std::back_inserter(Due),
                 [ANowNs](const TNetInFlight& P) { return P.DeadlineNs <= ANowNs; });
    std::erase_if(FProbes, [ANowNs](const TNetInFlight& P) { return P.DeadlineNs <= ANowNs; });
    std::stable_sort(Due.begin(), Due.end(), [](const TNetInFlight& A, const TNetInFlight& B) {
        return A.DeadlineNs < B.DeadlineNs;
    });
    return Due;
}

std::optional<int64_t> TNetProbeBook::NextDeadline() const {
    if (FProbes.empty()) {
        return std::nullopt;
    }
    return std::min_element(FProbes.begin(), FProbes.end(),
                            [](const TNetInFlight& A, const TNetInFlight& B) {
                                return A.DeadlineNs < B.DeadlineNs;
                            })
        ->DeadlineNs;
}
