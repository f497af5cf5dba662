// SPDX-License-Identifier: GPL-3.0-or-later
#include "TPingHistory.h"

#include <algorithm>

namespace {

// Distinct addresses whose text is shared; a reply from any other address
// takes the place of the oldest one.
constexpr std::size_t SharedAddresses = 8;
// The two clocks are read one after the other; a larger change of their offset is a step.
constexpr qint64 StepMs = 100;

} // namespace

TPingHistory::TPingHistory(std::size_t Capacity) : FCapacity(std::max<std::size_t>(Capacity, 1)) {}

void TPingHistory::Add(TPingSample Sample, qint64 SteadyMs) {
    const qint64 Offset = Sample.WhenMs - SteadyMs;
    if (FSamples.empty()) {
        FOffsetMs = Offset;
    } else if (Offset - FOffsetMs > StepMs || FOffsetMs - Offset > StepMs) {
        for (TPingSample& Kept : FSamples) {
            Kept.AxisMs += Offset - FOffsetMs;
        }
        FOffsetMs = Offset;
        ++FSteps;
    }
    Sample.AxisMs = SteadyMs + FOffsetMs;
    Sample.FromAddress = Shared(Sample.FromAddress);
    if (FSamples.size() >= FCapacity) {
        FSamples.pop_front();
    }
    FSamples.push_back(std::move(Sample));
    ++FAdded;
}

void TPingHistory::Clear() {
    std::deque<TPingSample>().swap(FSamples);
    FAdded = 0;
    FSteps = 0;
    FAddresses.clear();
}

std::pair<std::size_t, std::size_t> TPingHistory::Range(qint64 FromMs, qint64 ToMs) const {
    const auto First =
        std::partition_point(FSamples.begin(), FSamples.end(),
                             [FromMs](const TPingSample& s) { return s.AxisMs < FromMs; });
    const auto Last = std::partition_point(
        First, FSamples.end(), [ToMs](const TPingSample& s) { return s.AxisMs <= ToMs; });
    return {static_cast<std::size_t>(First - FSamples.begin()),
            static_cast<std::size_t>(Last - FSamples.begin())};
}

QString TPingHistory::Shared(const QString& Address) {
    const auto Found = std::find(FAddresses.begin(), FAddresses.end(), Address);
    if (Found != FAddresses.end()) {
        return *Found;
    }
    if (FAddresses.size() >= SharedAddresses) {
        FAddresses.erase(FAddresses.begin());
    }
    FAddresses.push_back(Address);
    return Address;
}
