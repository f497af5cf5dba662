// SPDX-License-Identifier: GPL-3.0-or-later
// The helper's request parser: what it hands out, what it refuses, and how it answers.
#include "TSocketRequest.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <vector>

using namespace TSocketRequest;

namespace {

TEST(SocketRequest, ServesRawIcmpAndIcmpv6Only) {
    struct TRow {
        const char* Name;
        TRequest Request;
        TVerdict Verdict;
    };
    const std::vector<TRow> Rows{
        {"raw ICMP", {AF_INET, SOCK_RAW, IPPROTO_ICMP, 1}, TVerdict::Accepted},
        {"raw ICMPv6", {AF_INET6, SOCK_RAW, IPPROTO_ICMPV6, 2}, TVerdict::Accepted},
        {"TCP", {AF_INET, SOCK_STREAM, IPPROTO_TCP, 3}, TVerdict::NotServed},
        {"UDP", {AF_INET, SOCK_DGRAM, IPPROTO_UDP, 4}, TVerdict::NotServed},
        {"TCP over IPv6", {AF_INET6, SOCK_STREAM, 0, 5}, TVerdict::NotServed},
        {"raw UDP", {AF_INET, SOCK_RAW, IPPROTO_UDP, 6}, TVerdict::NotServed},
        {"raw TCP", {AF_INET, SOCK_RAW, IPPROTO_TCP, 7}, TVerdict::NotServed},
        {"raw IP, any protocol", {AF_INET, SOCK_RAW, IPPROTO_RAW, 8}, TVerdict::NotServed},
        {"raw protocol 0", {AF_INET, SOCK_RAW, 0, 9}, TVerdict::NotServed},
        {"ICMP datagram", {AF_INET, SOCK_DGRAM, IPPROTO_ICMP, 10}, TVerdict::NotServed},
        {"ICMPv6 over IPv4", {AF_INET, SOCK_RAW, IPPROTO_ICMPV6, 11}, TVerdict::NotServed},
        {"ICMP over IPv6", {AF_INET6, SOCK_RAW, IPPROTO_ICMP, 12}, TVerdict::NotServed},
        {"packet socket", {AF_PACKET, SOCK_RAW, 0x0300, 13}, TVerdict::NotServed},
        {"raw ICMP, non-blocking",
         {AF_INET, SOCK_RAW | SOCK_NONBLOCK, IPPROTO_ICMP, 14},
         TVerdict::NotServed},
        {"raw ICMP, close-on-exec",
         {AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP, 15},
         TVerdict::NotServed},
        {"unix socket", {AF_UNIX, SOCK_RAW, IPPROTO_ICMP, 16}, TVerdict::NotServed},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        const auto Bytes = Encode(R.Request);
        const TParsed P = Parse(Bytes);
        EXPECT_EQ(P.Verdict, R.Verdict);
        // The asker's number comes back whatever the verdict, so it can match the answer.
        EXPECT_EQ(P.Request.Id, R.Request.Id);
        EXPECT_EQ(P.Request.Family, R.Request.Family);
        EXPECT_EQ(P.Request.Type, R.Request.Type);
        EXPECT_EQ(P.Request.Protocol, R.Request.Protocol);
    }
    EXPECT_EQ(RefusalErrno(TVerdict::NotServed), EPROTONOSUPPORT);
}

TEST(SocketRequest, MalformedRequestsAreRefused) {
    const auto Good = Encode({AF_INET, SOCK_RAW, IPPROTO_ICMP, 9});
    std::vector<uint8_t> Longer(Good.begin(), Good.end());
    Longer.push_back(0);
    std::vector<uint8_t> BadMagic(Good.begin(), Good.end());
    BadMagic[3] = '2';
    struct TRow {
        const char* Name;
        std::vector<uint8_t> Bytes;
    };
    const std::vector<TRow> Rows{
        {"empty", {}},
        {"one byte short", {Good.begin(), Good.end() - 1}},
        {"magic only", {Good.begin(), Good.begin() + 4}},
        {"one byte long", Longer},
        {"other version", BadMagic},
        {"zeros", std::vector<uint8_t>(RequestSize, 0)},
        {"large", std::vector<uint8_t>(4096, 'Z')},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        const TParsed P = Parse(R.Bytes);
        EXPECT_EQ(P.Verdict, TVerdict::Malformed);
        // Nothing of a malformed request is trusted, not even its number.
        EXPECT_EQ(P.Request.Id, 0u);
    }
    EXPECT_EQ(RefusalErrno(TVerdict::Malformed), EBADMSG);
}

TEST(SocketRequest, ReplyCarriesStatusAndNumber) {
    for (const TReply R : {TReply{0, 1}, TReply{EPERM, 0xFFFFFFFFu}, TReply{-1, 77}}) {
        const auto Bytes = EncodeReply(R);
        const TReply Back = DecodeReply(Bytes);
        EXPECT_EQ(Back.Status, R.Status);
        EXPECT_EQ(Back.Id, R.Id);
    }
}

} // namespace
