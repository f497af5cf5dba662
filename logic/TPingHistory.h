// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPingSample.h"

#include <cstddef>
#include <deque>
#include <utility>
#include <vector>

// The pings of the main client in the order they were handled, bounded: once
// full, each new ping pushes the oldest one out.
class TPingHistory {
public:
    // More than two days at one ping every two seconds.
    static constexpr std::size_t DefaultCapacity = 100000;

    explicit TPingHistory(std::size_t Capacity = DefaultCapacity);

    // SteadyMs: a clock that is never stepped, read with Sample.WhenMs. Where the two
    // clocks' offset moved, the wall clock was stepped: the pings kept so far move with it.
    void Add(TPingSample Sample, qint64 SteadyMs);
    void Add(TPingSample Sample) { Add(Sample, Sample.WhenMs); }
    // Empties the history and gives its memory back.
    void Clear();

    std::size_t Size() const { return FSamples.size(); }
    bool Empty() const { return FSamples.empty(); }
    std::size_t Capacity() const { return FCapacity; }
    // Pings added since the last Clear, the dropped ones included: with it,
    // Added() - Size() + i names sample i for good, whatever drops out later.
    std::size_t Added() const { return FAdded; }
    // Steps of the wall clock seen since the last Clear; each moved every AxisMs.
    std::size_t Steps() const { return FSteps; }
    const TPingSample& operator[](std::size_t Index) const { return FSamples[Index]; }
    const TPingSample& Last() const { return FSamples.back(); }

    using const_iterator = std::deque<TPingSample>::const_iterator;
    const_iterator begin() const { return FSamples.begin(); }
    const_iterator end() const { return FSamples.end(); }

    // Indexes [first, last) of the samples whose AxisMs lies in [FromMs, ToMs].
    std::pair<std::size_t, std::size_t> Range(qint64 FromMs, qint64 ToMs) const;

private:
    // Replies mostly come from one or two addresses; sharing their text keeps
    // a full history within a few megabytes.
    QString Shared(const QString& Address);

    std::deque<TPingSample> FSamples;
    std::size_t FCapacity;
    std::size_t FAdded = 0;
    std::size_t FSteps = 0;
    qint64 FOffsetMs = 0; // wall minus steady at the last step
    std::vector<QString> FAddresses;
};
