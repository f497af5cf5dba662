// SPDX-License-Identifier: GPL-3.0-or-later
// The continuous trace's pure parts: which addresses answer at a hop now (route changes),
// and the texts of its table and CSV file.
#include "TRouteWatch.h"
#include "TTraceTable.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

inline void PrintTo(const QString& AText, std::ostream* AOut) {
    *AOut << '"' << AText.toStdString() << '"';
}

namespace {

struct TAnswer {
    int Hop;
    uint32_t Round;
    const char* From;
};

// Rounds 0 to ACount - 1 of hop 1, answered by APick(round).
std::vector<TAnswer> Rounds(uint32_t AFirst, uint32_t ACount,
                            const std::function<const char*(uint32_t)>& APick) {
    std::vector<TAnswer> Out;
    for (uint32_t R = AFirst; R < AFirst + ACount; ++R) {
        Out.push_back({1, R, APick(R)});
    }
    return Out;
}

std::vector<TAnswer> Then(std::vector<TAnswer> A, const std::vector<TAnswer>& B) {
    A.insert(A.end(), B.begin(), B.end());
    return A;
}

TEST(TRouteWatch, AHopsSetChangesWhenAnAddressJoinsOrHasGone) {
    struct TCase {
        const char* Name;
        std::vector<TAnswer> Answers;
        std::vector<std::string> Changes; // "round: before -> after"
    };
    const auto A = [](uint32_t) { return "A"; };
    const auto B = [](uint32_t) { return "B"; };
    const std::vector<TCase> Cases = {
        {"one address all along", Rounds(0, 100, A), {}},
        // A's share was all of the hop: 3 silent rounds are enough.
        {"the route moves from A to B",
         Then(Rounds(0, 100, A), Rounds(100, 100, B)),
         {"100: A -> A, B", "102: A, B -> B"}},
        {"the route comes back",
         Then(Then(Rounds(0, 50, A), Rounds(50, 50, B)), Rounds(100, 5, A)),
         {"50: A -> A, B", "52: A, B -> B", "100: B -> A, B", "102: A, B -> A"}},
        {"balanced one in two",
         Rounds(0, 400, [](uint32_t R) { return R % 2 ? "B" : "A"; }),
         {"1: A -> A, B"}},
        // Silent 8 rounds at a share near 1/9: likely, so it stays.
        {"a minority address's usual silence",
         Rounds(0, 270, [](uint32_t R) { return R % 9 == 8 ? "B" : "A"; }),
         {"8: A -> A, B"}},
        // B had 2 of the last 20 answers: 0.9^88 < 1e-4 < 0.9^87.
        {"a minority address that went",
         Then(Rounds(0, 100, [](uint32_t R) { return R % 10 == 9 ? "B" : "A"; }),
              Rounds(100, 120, A)),
         {"9: A -> A, B", "187: A, B -> A"}},
        {"a late answer of an earlier round evicts nobody",
         {{1, 10, "A"}, {1, 11, "A"}, {1, 5, "B"}, {1, 12, "A"}},
         {"5: A -> A, B"}},
        {"other hops count apart",
         {{1, 0, "A"}, {2, 0, "B"}, {1, 1, "A"}, {2, 1, "C"}, {1, 5, "A"}},
         {"1: B -> B, C"}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TRouteWatch Watch;
        std::vector<std::string> Seen;
        for (const TAnswer& X : C.Answers) {
            if (const auto Change = Watch.Add(X.Hop, X.Round, QString::fromLatin1(X.From))) {
                EXPECT_EQ(Change->Hop, X.Hop);
                Seen.push_back(std::to_string(X.Round) + ": " +
                               Change->Before.join(", ").toStdString() + " -> " +
                               Change->After.join(", ").toStdString());
            }
        }
        EXPECT_EQ(Seen, C.Changes);
    }
}

TTraceHop Hop(int ANumber, const std::vector<std::pair<const char*, double>>& AAnswers) {
    TTraceHop H(ANumber);
    for (const auto& [From, Ms] : AAnswers) {
        H.Add(From ? skTtlExceeded : skTimedOut, From ? QString::fromLatin1(From) : QString(), Ms);
    }
    return H;
}

QString NameOf(const QString& AAddress) {
    return AAddress == QLatin1String("10.0.0.1") ? QStringLiteral("gw.zk.invalid") : QString();
}

TEST(TTraceTable, RowsShowEachHopAndEachOfSeveralAddresses) {
    struct TCase {
        const char* Name;
        TTraceHop In;
        std::vector<QString> Rows; // cells joined with '|'
    };
    const std::vector<TCase> Cases = {
        {"no answer",
         Hop(3, {{nullptr, 0}, {nullptr, 0}}),
         {"3|nessuna risposta|||100,0|2|0||||||"}},
        // 10, 30, 20: deviation over the whole series sqrt(200 / 3), steps 20 and 10; the
        // hop of two addresses: 4, 2, 6, 8 in arrival order, steps 2, 4, 2.
        {"one address, one probe of four lost",
         Hop(1, {{"10.0.0.1", 10}, {nullptr, 0}, {"10.0.0.1", 30}, {"10.0.0.1", 20}}),
         {"1|10.0.0.1|gw.zk.invalid||25,0|4|3|20,0|20,0|10,0|30,0|8,2|15,0"}},
        {"one answer: no jitter yet",
         Hop(2, {{"10.0.0.2", 1.25}}),
         {"2|10.0.0.2|||0,0|1|1|1,3|1,3|1,3|1,3|0,0|"}},
        {"two addresses, three answers to one",
         Hop(4, {{"10.0.0.9", 4}, {"10.0.0.1", 2}, {"10.0.0.9", 6}, {"10.0.0.9", 8}}),
         {"4|2 indirizzi|||0,0|4|4|8,0|5,0|2,0|8,0|2,2|2,7",
          "|10.0.0.9||75,0|||3|8,0|6,0|4,0|8,0|1,6|2,0",
          "|10.0.0.1|gw.zk.invalid|25,0|||1|2,0|2,0|2,0|2,0|0,0|"}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        std::vector<QString> Got;
        for (const TTraceTable::TRow& R : TTraceTable::Rows(C.In, &NameOf)) {
            EXPECT_EQ(R.Cells.size(), TTraceTable::ColumnCount);
            EXPECT_EQ(R.Address, !Got.empty());
            Got.push_back(R.Cells.join(u'|'));
        }
        EXPECT_EQ(Got, C.Rows);
    }
    EXPECT_EQ(TTraceTable::Headers().size(), TTraceTable::ColumnCount);
}

TEST(TTraceTable, CsvHasEveryRowWithPointsAndTheHopOnEach) {
    const std::vector<TTraceHop> Hops = {
        Hop(1, {{"10.0.0.1", 1.5}, {nullptr, 0}}),
        Hop(2, {{"10.0.0.9", 4}, {"10.0.0.1,x", 2}}),
    };
    EXPECT_EQ(TTraceTable::Csv(Hops, &NameOf).toStdString(),
              "hop,address,name,share_percent,loss_percent,sent,received,last_ms,average_ms,"
              "best_ms,worst_ms,stdev_ms,jitter_ms\r\n"
              "1,10.0.0.1,gw.zk.invalid,100.0,50.0,2,1,1.500,1.500,1.500,1.500,0.000,\r\n"
              "2,,,,0.0,2,2,2.000,3.000,2.000,4.000,1.000,2.000\r\n"
              "2,10.0.0.9,,50.0,,,1,4.000,4.000,4.000,4.000,0.000,\r\n"
              "2,\"10.0.0.1,x\",,50.0,,,1,2.000,2.000,2.000,2.000,0.000,\r\n");
}

TEST(TTraceTable, RouteLineSaysTheHopAndBothSets) {
    EXPECT_EQ(TTraceTable::RouteLine(QStringLiteral("08/12/2026-10:00:01"), 2,
                                     {QStringLiteral("10.0.0.6")},
                                     {QStringLiteral("10.0.0.6"), QStringLiteral("fd00::%1")}),
              QStringLiteral("08/12/2026-10:00:01 Percorso cambiato al salto 2: 10.0.0.6 → "
                             "10.0.0.6, fd00::%1"));
}

} // namespace
