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
    bool Open() const { return FOpen; }
    // A copy of the points goes on with the segment its original left open.
    void Continue(bool Open) { FOpen = Open; }

private:
    TPlotPoints& FOut;
    bool FOpen = false;
};

// The extremes of one time slice and its first loss.
struct TSlice {
    std::optional<TPingSample> Fastest;
    std::optional<TPingSample> Slowest;
    std::optional<qint64> FirstLossMs;

    void Add(const TPingSample& s) {
        if (s.Lost()) {
            if (!FirstLossMs) {
                FirstLossMs = s.AxisMs;
            }
            return;
        }
        if (!Fastest || s.RoundTripMs < Fastest->RoundTripMs) {
            Fastest = s;
        }
        if (!Slowest || s.RoundTripMs > Slowest->RoundTripMs) {
            Slowest = s;
        }
    }

    void Flush(TSegmentWriter& Writer) {
        std::vector<const TPingSample*> Answers;
        if (Fastest) {
            Answers.push_back(&*Fastest);
        }
        if (Slowest &&
            !(Slowest->AxisMs == Fastest->AxisMs && Slowest->Sequence == Fastest->Sequence)) {
            Answers.push_back(&*Slowest);
        }
        std::sort(Answers.begin(), Answers.end(),
                  [](const TPingSample* a, const TPingSample* b) { return a->AxisMs < b->AxisMs; });
        bool LossWritten = !FirstLossMs;
        for (const TPingSample* a : Answers) {
            if (!LossWritten && a->AxisMs > *FirstLossMs) {
                Writer.Loss(*FirstLossMs);
                LossWritten = true;
            }
            Writer.Answer(a->AxisMs, a->RoundTripMs);
        }
        if (!LossWritten) {
            Writer.Loss(*FirstLossMs);
        }
        *this = TSlice{};
    }
};

} // namespace

struct TPlotThinner::TState {
    qint64 FromMs;
    double ColumnsPerMs;
    int Columns;
    bool Thin;
    TPlotPoints Out;
    TSegmentWriter Writer{Out};
    TSlice Slice;
    int Current = -1;
};

TPlotThinner::TPlotThinner(qint64 FromMs, qint64 ToMs, int Columns, bool Thin)
    : FState(std::make_unique<TState>()) {
    FState->FromMs = FromMs;
    FState->Columns = std::max(Columns, 1);
    FState->ColumnsPerMs =
        FState->Columns / static_cast<double>(std::max<qint64>(ToMs - FromMs, 1));
    FState->Thin = Thin && ToMs > FromMs;
}

TPlotThinner::~TPlotThinner() = default;

void TPlotThinner::Add(const TPingSample& s) {
    TState& t = *FState;
    if (!t.Thin) {
        s.Lost() ? t.Writer.Loss(s.AxisMs) : t.Writer.Answer(s.AxisMs, s.RoundTripMs);
        return;
    }
    const int Column =
        std::clamp(static_cast<int>((s.AxisMs - t.FromMs) * t.ColumnsPerMs), 0, t.Columns - 1);
    if (Column != t.Current && t.Current >= 0) {
        t.Slice.Flush(t.Writer);
    }
    t.Current = Column;
    t.Slice.Add(s);
}

TPlotPoints TPlotThinner::Points() const {
    const TState& t = *FState;
    if (t.Current < 0) {
        return t.Out;
    }
    // The open slice goes into the copy only: later samples may still join it.
    TPlotPoints Copy = t.Out;
    TSegmentWriter Writer(Copy);
    Writer.Continue(!t.Out.Segments.empty() && t.Writer.Open());
    TSlice Open = t.Slice;
    Open.Flush(Writer);
    return Copy;
}

namespace TPlotBuilder {

bool Thinned(std::size_t Count, int Columns) {
    return Count > 2 * static_cast<std::size_t>(std::max(Columns, 1));
}

TPlotPoints Build(const TPingHistory& History, std::size_t First, std::size_t Last, qint64 FromMs,
                  qint64 ToMs, int Columns) {
    TPlotThinner Thinner(FromMs, ToMs, Columns, Thinned(Last - First, Columns));
    for (auto it = History.begin() + First; it != History.begin() + Last; ++it) {
        Thinner.Add(*it);
    }
    return Thinner.Points();
}

} // namespace TPlotBuilder
