// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetProbeBook.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace {

constexpr std::size_t HalfRange = 0x8000;

} // namespace

TNetProbeBook::TNetProbeBook(uint16_t AStart)
    : FNext(static_cast<uint16_t>(AStart | FirstSequence)), FPositions(HalfRange, 0) {}

const TNetInFlight* TNetProbeBook::Entry(uint16_t ASequence) const {
    if (ASequence < FirstSequence) {
        return nullptr;
    }
    const uint16_t Position = FPositions[ASequence - FirstSequence];
    return Position == 0 ? nullptr : &FProbes[Position - 1u];
}

uint16_t TNetProbeBook::NextSequence() {
    // The book never holds more than a small share of the half range, so this ends soon.
    for (;;) {
        const uint16_t Sequence = FNext;
        FNext = static_cast<uint16_t>(FNext == 0xFFFF ? FirstSequence : FNext + 1);
        if (Entry(Sequence) == nullptr) {
            return Sequence;
        }
    }
}

void TNetProbeBook::Add(const TNetInFlight& AProbe) {
    if (AProbe.Sequence < FirstSequence || Entry(AProbe.Sequence) != nullptr) {
        throw std::logic_error("probe book: sequence not handed out by it");
    }
    FProbes.push_back(AProbe);
    FPositions[AProbe.Sequence - FirstSequence] = static_cast<uint16_t>(FProbes.size());
    FDue.push_back({AProbe.DeadlineNs, FAdded++, AProbe.Sequence});
    std::push_heap(FDue.begin(), FDue.end(), std::greater<>());
}

TNetInFlight TNetProbeBook::Remove(std::size_t APosition) {
    TNetInFlight Probe = std::move(FProbes[APosition]);
    FPositions[Probe.Sequence - FirstSequence] = 0;
    if (APosition + 1 != FProbes.size()) {
        FProbes[APosition] = std::move(FProbes.back());
        FPositions[FProbes[APosition].Sequence - FirstSequence] =
            static_cast<uint16_t>(APosition + 1);
    }
    FProbes.pop_back();
    return Probe;
}

std::optional<TNetInFlight> TNetProbeBook::Take(uint16_t ASequence) {
    const TNetInFlight* Found = Entry(ASequence);
    if (Found == nullptr) {
        return std::nullopt;
    }
    TNetInFlight Probe = Remove(static_cast<std::size_t>(Found - FProbes.data()));
    DropStale();
    return Probe;
}

const TNetInFlight* TNetProbeBook::Find(uint16_t ASequence) const {
    return Entry(ASequence);
}

bool TNetProbeBook::Current(const TDue& ADue) const {
    // A sequence taken and handed out again has a deadline of its own; were it the same,
    // expiring the new probe there would be right as well.
    const TNetInFlight* Probe = Entry(ADue.Sequence);
    return Probe != nullptr && Probe->DeadlineNs == ADue.DeadlineNs;
}

void TNetProbeBook::DropStale() {
    while (!FDue.empty() && !Current(FDue.front())) {
        std::pop_heap(FDue.begin(), FDue.end(), std::greater<>());
        FDue.pop_back();
    }
}

std::vector<TNetInFlight> TNetProbeBook::Expire(int64_t ANowNs) {
    std::vector<TNetInFlight> Due;
    while (!FDue.empty() && FDue.front().DeadlineNs <= ANowNs) {
        const TDue Next = FDue.front();
        std::pop_heap(FDue.begin(), FDue.end(), std::greater<>());
        FDue.pop_back();
        if (Current(Next)) {
            const TNetInFlight* Probe = Entry(Next.Sequence);
            Due.push_back(Remove(static_cast<std::size_t>(Probe - FProbes.data())));
        }
    }
    DropStale();
    return Due;
}

std::optional<int64_t> TNetProbeBook::NextDeadline() const {
    // Every change leaves a current deadline on top.
    if (FDue.empty()) {
        return std::nullopt;
    }
    return FDue.front().DeadlineNs;
}
