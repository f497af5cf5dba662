// SPDX-License-Identifier: GPL-3.0-or-later
#include "TPlotPoints.h"

#include <algorithm>
#include <optional>

std::size_t TPlotPoints::PointCount() const {
    std::size_t Count = 0;
    for (const auto& Segment : Segments) {
        Count += Segment.size();
    }
    return Count;
}

namespace {

class TSegmentWriter {
public:
    explicit TSegmentWriter(TPlotPoints& Out) : FOut(Out) {}

    void Answer(qint64 WhenMs, double Ms) {
        if (!FOpen) {
            FOut.Segments.emplace_back();
            FOpen = true;
        }
        FOut.Segments.back().emplace_back(static_cast<qreal>(WhenMs), Ms);
    }
    void Loss(qint64 WhenMs) {
        FOpen = false;
        FOut.LossTimes.push_back(static_cast<qreal>(WhenMs));
    }

private:
    TPlotPoints& FOut;
    bool FOpen = false;
};

// The extremes of one time slice and its first loss.
struct TSlice {
    const TPingSample* Fastest = nullptr;
    const TPingSample* Slowest = nullptr;
    std::optional<qint64> FirstLossMs;

    void Add(const TPingSample& s) {
        if (s.Lost()) {
            if (!FirstLossMs) {
                FirstLossMs = s.WhenMs;
            }
            return;
        }
        if (!Fastest || s.RoundTripMs < Fastest->RoundTripMs) {
            Fastest = &s;
        }
        if (!Slowest || s.RoundTripMs > Slowest->RoundTripMs) {
            Slowest = &s;
        }
    }

    void Flush(TSegmentWriter& Writer) {
        std::vector<const TPingSample*> Answers;
        if (Fastest) {
            Answers.push_back(Fastest);
        }
        if (Slowest && Slowest != Fastest) {
            Answers.push_back(Slowest);
        }
        std::sort(Answers.begin(), Answers.end(),
                  [](const TPingSample* a, const TPingSample* b) { return a->WhenMs < b->WhenMs; });
        bool LossWritten = !FirstLossMs;
        for (const TPingSample* a : Answers) {
            if (!LossWritten && a->WhenMs > *FirstLossMs) {
                Writer.Loss(*FirstLossMs);
                LossWritten = true;
            }
            Writer.Answer(a->WhenMs, a->RoundTripMs);
        }
        if (!LossWritten) {
            Writer.Loss(*FirstLossMs);
        }
        *this = TSlice{};
    }
};

} // namespace

namespace TPlotBuilder {

TPlotPoints Build(const TPingHistory& History, std::size_t First, std::size_t Last, qint64 FromMs,
                  qint64 ToMs, int Columns) {
    TPlotPoints Out;
    TSegmentWriter Writer(Out);
    Columns = std::max(Columns, 1);
    if (Last - First <= 2 * static_cast<std::size_t>(Columns) || ToMs <= FromMs) {
        for (auto it = History.begin() + First; it != History.begin() + Last; ++it) {
            it->Lost() ? Writer.Loss(it->WhenMs) : Writer.Answer(it->WhenMs, it->RoundTripMs);
        }
        return Out;
    }
    // Iterators and a multiplication: this loop runs over a day of pings at every ping.
    const double ColumnsPerMs = Columns / static_cast<double>(ToMs - FromMs);
    TSlice Slice;
    int Current = -1;
    for (auto it = History.begin() + First; it != History.begin() + Last; ++it) {
        const TPingSample& s = *it;
        const int Column =
            std::clamp(static_cast<int>((s.WhenMs - FromMs) * ColumnsPerMs), 0, Columns - 1);
        if (Column != Current && Current >= 0) {
            Slice.Flush(Writer);
        }
        Current = Column;
        Slice.Add(s);
    }
    if (Current >= 0) {
        Slice.Flush(Writer);
    }
    return Out;
}

} // namespace TPlotBuilder
