// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <vector>

// What the verdict reads of one hop.
struct THopFigures {
    int Hop = 0;
    int Sent = 0;
    int Received = 0;
    bool Destination = false; // the destination answered here
    bool Unreachable = false; // a router reported the destination unreachable here
};

// The one-sentence reading of a continuous trace's table. A hop loses "really" when more of
// its probes went unanswered than a background loss of 1 % gives with a chance of 1 % or
// less (a binomial tail, so the bar is 2 of 10, 3 of 40, 5 of 100, 19 of 1000); no verdict
// on loss is given before 10 rounds.
class TTraceVerdict {
public:
    enum class TKind {
        TooFewRounds,
        NotReached,   // Hop: the last hop that answered, or the one that reported unreachable
        LossFromHop,  // Hop: where the loss that goes on to the destination begins
        RouterLimits, // Hop: the first intermediate hop that loses while the destination does not
        Clear,
    };

    static constexpr int MinRounds = 10;
    static constexpr double BackgroundLoss = 0.01;
    static constexpr double Chance = 0.01;

    TKind Kind = TKind::TooFewRounds;
    int Hop = 0;
    // In the code's language, as the history keeps it (VerdictText::Reword words it).
    QString Sentence;

    // Rows in hop order, up to the destination's when it answered.
    static TTraceVerdict Of(const std::vector<THopFigures>& ARows);
    // The fewest lost probes out of ASent that count as loss.
    static int LossFloor(int ASent);

private:
    static TTraceVerdict NotReached(const std::vector<THopFigures>& ARows);
    static TTraceVerdict Reached(const std::vector<THopFigures>& ARows, std::size_t ADestination);
};
