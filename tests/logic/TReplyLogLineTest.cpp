// SPDX-License-Identifier: GPL-3.0-or-later
#include "TReplyLogLine.h"

#include <gtest/gtest.h>

namespace {

struct TMessageCase {
    const char* Name;
    int32_t Bytes;
    const char* From;
    uint16_t Sequence;
    uint8_t Ttl;
    uint32_t RoundTripMs;
    const char* Expected;
};

const TMessageCase MessageCases[] = {
    {"answered", 72, "192.0.2.10", 3489, 54, 31,
     "72 bytes from 192.0.2.10: icmp_seq=3489 ttl=54 time=31 ms"},
    {"zero ms reads below one", 72, "127.0.0.1", 12, 64, 0,
     "72 bytes from 127.0.0.1: icmp_seq=12 ttl=64 time<1 ms"},
    {"one ms keeps equals", 72, "127.0.0.1", 13, 64, 1,
     "72 bytes from 127.0.0.1: icmp_seq=13 ttl=64 time=1 ms"},
    {"ten ms", 72, "127.0.0.1", 14, 64, 10,
     "72 bytes from 127.0.0.1: icmp_seq=14 ttl=64 time=10 ms"},
    {"timed out", 0, "0.0.0.0", 7, 0, 1003, "0 bytes from 0.0.0.0: icmp_seq=7 ttl=0 time=1003 ms"},
    {"unsigned extremes", 72, "10.0.0.1", 65535, 255, 4294967295u,
     "72 bytes from 10.0.0.1: icmp_seq=65535 ttl=255 time=4294967295 ms"},
    {"negative bytes stay signed", -1, "10.0.0.1", 0, 1, 5,
     "-1 bytes from 10.0.0.1: icmp_seq=0 ttl=1 time=5 ms"},
    // A percent sign in the address must not be taken for a placeholder.
    {"address with placeholder", 72, "%3%5", 9, 8, 7,
     "72 bytes from %3%5: icmp_seq=9 ttl=8 time=7 ms"},
};

TEST(TReplyLogLine, MessageTable) {
    for (const TMessageCase& c : MessageCases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(TReplyLogLine::Message(c.Bytes, QString::fromUtf8(c.From), c.Sequence, c.Ttl,
                                         c.RoundTripMs)
                      .toStdString(),
                  c.Expected);
    }
}

TEST(TReplyLogLine, LineJoinsDateTimeAndMessageWithDashAndBackslash) {
    const QString Message = TReplyLogLine::Message(72, QStringLiteral("192.0.2.10"), 3489, 54, 31);
    EXPECT_EQ(TReplyLogLine::Line(QStringLiteral("08/12/2026"), QStringLiteral("14:03:27"), Message)
                  .toStdString(),
              "08/12/2026-14:03:27\\72 bytes from 192.0.2.10: icmp_seq=3489 ttl=54 time=31 ms");
}

} // namespace
