// SPDX-License-Identifier: GPL-3.0-or-later
#include "TSocketRequest.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

namespace TSocketRequest {

namespace {

// Both ends run on the same machine: fields travel in host order.
template <typename T> void Put(uint8_t* ATo, T AValue) {
    std::memcpy(ATo, &AValue, sizeof(AValue));
}

template <typename T> T Get(const uint8_t* AFrom) {
    T Value{};
    std::memcpy(&Value, AFrom, sizeof(Value));
    return Value;
}

bool Served(const TRequest& R) {
    if (R.Type != SOCK_RAW) {
        return false;
    }
    return (R.Family == AF_INET && R.Protocol == IPPROTO_ICMP) ||
           (R.Family == AF_INET6 && R.Protocol == IPPROTO_ICMPV6);
}

} // namespace

std::array<uint8_t, RequestSize> Encode(const TRequest& ARequest) {
    std::array<uint8_t, RequestSize> Bytes{};
    std::copy(Magic.begin(), Magic.end(), Bytes.begin());
    Put(Bytes.data() + 4, ARequest.Family);
    Put(Bytes.data() + 8, ARequest.Type);
    Put(Bytes.data() + 12, ARequest.Protocol);
    Put(Bytes.data() + 16, ARequest.Id);
    return Bytes;
}

TParsed Parse(std::span<const uint8_t> ABytes) {
    TParsed Result;
    if (ABytes.size() != RequestSize || !std::equal(Magic.begin(), Magic.end(), ABytes.begin())) {
        return Result;
    }
    Result.Request = {Get<int32_t>(ABytes.data() + 4), Get<int32_t>(ABytes.data() + 8),
                      Get<int32_t>(ABytes.data() + 12), Get<uint32_t>(ABytes.data() + 16)};
    Result.Verdict = Served(Result.Request) ? TVerdict::Accepted : TVerdict::NotServed;
    return Result;
}

int RefusalErrno(TVerdict AVerdict) {
    return AVerdict == TVerdict::NotServed ? EPROTONOSUPPORT : EBADMSG;
}

std::array<uint8_t, ReplySize> EncodeReply(const TReply& AReply) {
    std::array<uint8_t, ReplySize> Bytes{};
    Put(Bytes.data(), AReply.Status);
    Put(Bytes.data() + 4, AReply.Id);
    return Bytes;
}

TReply DecodeReply(std::span<const uint8_t, ReplySize> ABytes) {
    return {Get<int32_t>(ABytes.data()), Get<uint32_t>(ABytes.data() + 4)};
}

} // namespace TSocketRequest
