// SPDX-License-Identifier: GPL-3.0-or-later
// The continuous trace's per-hop figures and its verdict, as tables.
#include "TTraceStatistics.h"
#include "TTraceVerdict.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

namespace {

struct TAnswer {
    const char* From; // nullptr: lost
    double Ms = 0;
    TReplyStatusKind Kind = skTtlExceeded;
};

TEST(TTraceStatistics, AnswerSequencesGiveTheirFigures) {
    struct TRow {
        const char* Name;
        std::vector<TAnswer> Answers;
        int Sent, Received;
        double Loss, Last, Mean, Best, Worst, StdDev, Jitter;
    };
    const char* A = "10.0.0.1";
    const std::vector<TRow> Rows{
        {"nothing answers", {{nullptr}, {nullptr}, {nullptr}}, 3, 0, 100, 0, 0, 0, 0, 0, 0},
        {"one answer", {{A, 12.5}}, 1, 1, 0, 12.5, 12.5, 12.5, 12.5, 0, 0},
        {"two answers", {{A, 10}, {A, 20}}, 2, 2, 0, 20, 15, 10, 20, 5, 10},
        {"jitter follows arrival order, not size",
         {{A, 10}, {A, 30}, {A, 20}},
         3,
         3,
         0,
         20,
         20,
         10,
         30,
         std::sqrt(200.0 / 3),
         15},
        {"losses between answers leave the jitter to the answers",
         {{A, 10}, {nullptr}, {A, 14}, {nullptr}, {nullptr}, {A, 12}},
         6,
         3,
         50,
         12,
         12,
         10,
         14,
         std::sqrt(8.0 / 3),
         3},
        {"a send that failed counts as lost",
         {{A, 5}, {nullptr, 0, skError}},
         2,
         1,
         50,
         5,
         5,
         5,
         5,
         0,
         0},
        {"unreachable reports are answers", {{A, 3, skUnreachable}}, 1, 1, 0, 3, 3, 3, 3, 0, 0},
        {"steady", {{A, 7}, {A, 7}, {A, 7}, {A, 7}}, 4, 4, 0, 7, 7, 7, 7, 0, 0},
        {"one lost in eight",
         {{A, 1}, {A, 2}, {A, 3}, {A, 4}, {nullptr}, {A, 5}, {A, 6}, {A, 7}},
         8,
         7,
         12.5,
         7,
         4,
         1,
         7,
         2,
         1},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        TTraceHop Hop(3);
        for (const auto& Answer : R.Answers) {
            Hop.Add(Answer.From ? Answer.Kind : skTimedOut, QString::fromUtf8(Answer.From),
                    Answer.Ms);
        }
        EXPECT_EQ(Hop.Sent(), R.Sent);
        EXPECT_EQ(Hop.Received(), R.Received);
        EXPECT_DOUBLE_EQ(Hop.LossPercent(), R.Loss);
        const TRttSeries& S = Hop.Rtt();
        EXPECT_DOUBLE_EQ(S.Last(), R.Last);
        EXPECT_DOUBLE_EQ(S.Mean(), R.Mean);
        EXPECT_DOUBLE_EQ(S.Best(), R.Best);
        EXPECT_DOUBLE_EQ(S.Worst(), R.Worst);
        EXPECT_NEAR(S.StdDev(), R.StdDev, 1e-12);
        EXPECT_DOUBLE_EQ(S.Jitter(), R.Jitter);
    }
}

TEST(TTraceStatistics, AddressesAtOneHopEachKeepTheirShareAndFigures) {
    TTraceStatistics Table;
    const QString A = "10.0.0.1", B = "10.0.9.1", Target = "10.0.0.10";
    EXPECT_FALSE(Table.Add(1, skTtlExceeded, A, 1.0));
    EXPECT_FALSE(Table.Add(1, skTtlExceeded, A, 3.0)) << "the same address again";
    EXPECT_TRUE(Table.Add(1, skTtlExceeded, B, 10.0)) << "a second address: the route changed";
    EXPECT_FALSE(Table.Add(1, skTtlExceeded, A, 2.0));
    EXPECT_FALSE(Table.Add(1, skTimedOut, QString(), 0));
    EXPECT_FALSE(Table.Add(2, skTtlExceeded, B, 4.0)) << "the first address of a hop is no change";
    // Probes past the end before the trace knew it: the destination answers at 3 and 4.
    Table.Add(4, skEchoReply, Target, 5.0);
    Table.Add(3, skEchoReply, Target, 5.0);

    const auto Rows = Table.Rows();
    ASSERT_EQ(Rows.size(), 3u) << "nothing past the destination's hop";
    EXPECT_EQ(Table.DestinationHop(), 3);
    const TTraceHop& First = Rows[0];
    EXPECT_EQ(First.Sent(), 5);
    EXPECT_DOUBLE_EQ(First.LossPercent(), 20);
    ASSERT_EQ(First.Addresses().size(), 2u);
    const TTraceAddress& OfA = First.Addresses()[0];
    const TTraceAddress& OfB = First.Addresses()[1];
    EXPECT_EQ(OfA.Address, A);
    EXPECT_DOUBLE_EQ(First.SharePercent(OfA), 75);
    EXPECT_DOUBLE_EQ(First.SharePercent(OfB), 25);
    EXPECT_DOUBLE_EQ(OfA.Rtt.Mean(), 2);
    EXPECT_DOUBLE_EQ(OfA.Rtt.Jitter(), 1.5) << "1 -> 3 -> 2 at A alone";
    EXPECT_DOUBLE_EQ(First.Rtt().Jitter(), 17.0 / 3) << "1 -> 3 -> 10 -> 2 over the hop";
    EXPECT_FALSE(First.Destination());
    EXPECT_TRUE(Rows[2].Destination());
}

TEST(TTraceVerdict, LossFloorFollowsTheBinomialTail) {
    const std::vector<std::pair<int, int>> Rows{{0, 1},  {5, 2},   {10, 2},  {20, 3},   {40, 3},
                                                {50, 4}, {100, 5}, {200, 7}, {1000, 19}};
    for (const auto& [Sent, Floor] : Rows) {
        EXPECT_EQ(TTraceVerdict::LossFloor(Sent), Floor) << Sent;
    }
}

TEST(TTraceVerdict, HopFiguresGiveTheirSentence) {
    using K = TTraceVerdict::TKind;
    struct TRow {
        const char* Name;
        std::vector<THopFigures> Hops;
        K Kind;
        int Hop;
        const char* Sentence;
    };
    auto Hop = [](int AHop, int ASent, int AReceived, bool ADestination = false) {
        return THopFigures{AHop, ASent, AReceived, ADestination, false};
    };
    const std::vector<TRow> Rows{
        {"nothing yet",
         {},
         K::TooFewRounds,
         0,
         "Servono almeno 10 giri per un giudizio (finora 0)."},
        {"nine rounds with loss",
         {Hop(1, 9, 9), Hop(2, 9, 3, true)},
         K::TooFewRounds,
         0,
         "Servono almeno 10 giri per un giudizio (finora 9)."},
        {"clean",
         {Hop(1, 10, 10), Hop(2, 10, 10), Hop(3, 10, 10, true)},
         K::Clear,
         0,
         "Tutto regolare: la destinazione risponde e nessun salto perde risposte oltre il "
         "normale."},
        {"one lost in a hundred is background",
         {Hop(1, 100, 100), Hop(2, 100, 99, true)},
         K::Clear,
         0,
         "Tutto regolare: la destinazione risponde e nessun salto perde risposte oltre il "
         "normale."},
        {"loss from hop 3 on",
         {Hop(1, 100, 100), Hop(2, 100, 100), Hop(3, 100, 70), Hop(4, 100, 69, true)},
         K::LossFromHop,
         3,
         "La perdita inizia al salto 3."},
        {"five in a hundred at the destination alone",
         {Hop(1, 100, 100), Hop(2, 100, 96), Hop(3, 100, 95, true)},
         K::LossFromHop,
         3,
         "La perdita inizia al salto 3."},
        {"a silent router inside the lossy run",
         {Hop(1, 50, 50), Hop(2, 50, 30), Hop(3, 50, 0), Hop(4, 50, 31, true)},
         K::LossFromHop,
         2,
         "La perdita inizia al salto 2."},
        {"a clean hop ends the run",
         {Hop(1, 50, 20), Hop(2, 50, 50), Hop(3, 50, 30, true)},
         K::LossFromHop,
         3,
         "La perdita inizia al salto 3."},
        {"a router limits its replies",
         {Hop(1, 40, 40), Hop(2, 40, 25), Hop(3, 40, 40, true)},
         K::RouterLimits,
         2,
         "Il salto 2 perde risposte ma la destinazione risponde: quel router limita le sue "
         "risposte, non è un guasto."},
        {"three routers, one silent",
         {Hop(1, 20, 14), Hop(2, 20, 0), Hop(3, 20, 20), Hop(4, 20, 10), Hop(5, 20, 20, true)},
         K::RouterLimits,
         1,
         "I salti 1, 2 e 4 perdono risposte ma la destinazione risponde: quei router limitano le "
         "loro risposte, non è un guasto."},
        {"no answer at all",
         {Hop(1, 30, 0), Hop(2, 30, 0)},
         K::NotReached,
         0,
         "La destinazione non risponde e nessun salto risponde."},
        {"routers answer, the destination never",
         {Hop(1, 30, 30), Hop(2, 30, 28), Hop(3, 30, 0), Hop(4, 30, 0)},
         K::NotReached,
         2,
         "La destinazione non risponde; l'ultimo salto che risponde è il 2."},
        {"a router reports it unreachable",
         {Hop(1, 12, 12), THopFigures{2, 12, 12, false, true}},
         K::NotReached,
         2,
         "La destinazione non è raggiungibile: il salto 2 la dichiara irraggiungibile."},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        const TTraceVerdict V = TTraceVerdict::Of(R.Hops);
        EXPECT_EQ(V.Kind, R.Kind);
        EXPECT_EQ(V.Hop, R.Hop);
        EXPECT_EQ(V.Sentence.toStdString(), R.Sentence);
    }
}

} // namespace
