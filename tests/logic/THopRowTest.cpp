// SPDX-License-Identifier: GPL-3.0-or-later
#include "THopRow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TReplyStatus Reply(TReplyStatusKind Kind, std::string From, uint32_t Ms, uint8_t Ttl) {
    TReplyStatus reply{};
    reply.Status = Kind;
    reply.FromAddress = std::move(From);
    reply.RoundTripMs = Ms;
    reply.ReplyTtl = Ttl;
    return reply;
}

struct TRowCase {
    const char* Name;
    TReplyStatus Reply;
    const char* IP;
    const char* Note;
    TTraceNext Next;
    int StampReads;
};

TEST(THopRow, NoteAndNextStepFollowTheReplyKind) {
    const std::vector<TRowCase> cases = {
        {"reached", Reply(skEchoReply, "10.9.2.2", 23, 63), "10.9.2.2",
         "Reached (08/12/2026-14:05:41) in : 23 ms", TTraceNext::Reached, 1},
        {"reached in 0 ms", Reply(skEchoReply, "127.0.0.1", 0, 64), "127.0.0.1",
         "Reached (08/12/2026-14:05:41) in : 0 ms", TTraceNext::Reached, 1},
        // The router's TTL as received, not the hop number.
        {"ttl exceeded", Reply(skTtlExceeded, "10.9.1.1", 4, 64), "10.9.1.1",
         "(08/12/2026-14:05:41)TTL=64", TTraceNext::Continue, 1},
        {"ttl exceeded, ttl 255", Reply(skTtlExceeded, "10.9.1.1", 4, 255), "10.9.1.1",
         "(08/12/2026-14:05:41)TTL=255", TTraceNext::Continue, 1},
        {"timed out shows no address", Reply(skTimedOut, "0.0.0.0", 5003, 0), "?.?.?.?",
         "Timed out.", TTraceNext::Continue, 0},
        {"unreachable stops", Reply(skUnreachable, "10.9.1.1", 2, 64), "10.9.1.1",
         "Destination network unreachable", TTraceNext::Stop, 0},
        {"error goes on", Reply(skError, "10.9.1.1", 2, 64), "10.9.1.1", "Unknown error.",
         TTraceNext::Continue, 0},
        {"kind outside the enumeration", Reply(static_cast<TReplyStatusKind>(9), "1.2.3.4", 1, 1),
         "1.2.3.4", "Unknown error.", TTraceNext::Continue, 0},
        {"large round trip", Reply(skEchoReply, "10.9.2.2", 4294967295u, 1), "10.9.2.2",
         "Reached (08/12/2026-14:05:41) in : 4294967295 ms", TTraceNext::Reached, 1},
    };
    for (const TRowCase& c : cases) {
        SCOPED_TRACE(c.Name);
        int reads = 0;
        const THopRow row = THopRow::ForReply(c.Reply, [&reads] {
            ++reads;
            return QStringLiteral("08/12/2026-14:05:41");
        });
        EXPECT_EQ(row.IP.toStdString(), c.IP);
        EXPECT_EQ(row.Note.toStdString(), c.Note);
        EXPECT_EQ(row.Next, c.Next);
        EXPECT_EQ(reads, c.StampReads);
    }
}

TEST(THopRow, HopNumberOfReadsOnlyDecimalCaptions) {
    struct TCase {
        const char* Caption;
        std::optional<int32_t> Hop;
    };
    const std::vector<TCase> cases = {
        {"1", 1},
        {"31", 31},
        {"255", 255},
        {"007", 7},
        {"", std::nullopt},
        {"x", std::nullopt},
        {"1a", std::nullopt},
        {"0x1F", std::nullopt},
        {"-1", -1},
        {"2147483648", std::nullopt},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Caption);
        EXPECT_EQ(THopRow::HopNumberOf(QString::fromUtf8(c.Caption)), c.Hop);
    }
}

TEST(THopRow, MaxHopsIsTheTextOrTheMinimum) {
    struct TCase {
        const char* Text;
        int32_t Minimum;
        int32_t Expected;
    };
    // The text is not brought into range; only a non-number falls back.
    const std::vector<TCase> cases = {
        {"30", 1, 30}, {"1", 1, 1},   {"255", 1, 255}, {"0", 1, 0},
        {"", 1, 1},    {"abc", 1, 1}, {"", 5, 5},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(THopRow::MaxHopsOf(QString::fromUtf8(c.Text), c.Minimum), c.Expected);
    }
}

TEST(THopRow, HopNumbersStopAtTheLimit) {
    // Count the hops a run probes when no hop ends it.
    for (const int32_t maxHops : {1, 2, 30, 255, 0}) {
        SCOPED_TRACE(maxHops);
        int32_t probed = 1;
        while (THopRow::HasNextHop(probed, maxHops) && probed < 1000) {
            ++probed;
        }
        EXPECT_EQ(probed, maxHops < 1 ? 1 : maxHops);
    }
}

} // namespace
