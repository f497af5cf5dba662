// SPDX-License-Identifier: GPL-3.0-or-later
// The trace kept with an outage: a row per answering address, one for a silent hop.
#include "TOutageEvidence.h"

#include <gtest/gtest.h>

namespace {

TEST(OutageEvidence, HopsBecomeTheRowsTheHistoryKeeps) {
    std::vector<TTraceHop> Hops{TTraceHop(1), TTraceHop(2), TTraceHop(3)};
    for (const double Ms : {1.0, 2.0, 3.0}) {
        Hops[0].Add(skTtlExceeded, QStringLiteral("10.0.0.1"), Ms);
        Hops[1].Add(skTimedOut, QString(), 0);
        Hops[2].Add(skEchoReply, Ms < 3 ? QStringLiteral("10.0.2.2") : QStringLiteral("10.0.3.2"),
                    Ms * 10);
    }
    const TOutageTrace Trace = TOutageEvidence::TraceOf(Hops, QStringLiteral("Sentenza."));
    const std::vector<TOutageHop> Expected{
        {1, "10.0.0.1", 3, 3, 2000, 3000},
        {2, "", 3, 0, std::nullopt, std::nullopt},
        {3, "10.0.2.2", 3, 2, 15000, 20000},
        {3, "10.0.3.2", 3, 1, 30000, 30000},
    };
    EXPECT_EQ(Trace.Verdict, "Sentenza.");
    EXPECT_EQ(Trace.Hops, Expected);
}

} // namespace
