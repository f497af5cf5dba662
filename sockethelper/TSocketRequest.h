// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// The exchange between the window and zirko-socket over their socket pair. A request is one
// fixed-size message naming family, type and protocol and carrying a number of the asker's
// choice; the answer repeats that number beside a status (0, or the errno the socket call or
// the refusal gave) and carries the descriptor on success. The number lets the window drop an
// answer that was meant for another holder of its end of the pair.
namespace TSocketRequest {

constexpr std::size_t RequestSize = 20;
constexpr std::size_t ReplySize = 8;
constexpr std::array<uint8_t, 4> Magic{'Z', 'S', 'K', '1'};

struct TRequest {
    int32_t Family = 0;
    int32_t Type = 0;
    int32_t Protocol = 0;
    uint32_t Id = 0;
};

enum class TVerdict : uint8_t {
    Accepted,
    Malformed, // wrong size or wrong magic
    NotServed, // a well-formed request for a socket the helper does not hand out
};

struct TParsed {
    TVerdict Verdict = TVerdict::Malformed;
    TRequest Request;
};

std::array<uint8_t, RequestSize> Encode(const TRequest& ARequest);

// Accepts exactly the two kinds the helper serves: raw ICMP over IPv4 and raw ICMPv6 over
// IPv6, with no flags folded into the type.
TParsed Parse(std::span<const uint8_t> ABytes);

// The errno sent back for a refused request.
int RefusalErrno(TVerdict AVerdict);

struct TReply {
    int32_t Status = 0;
    uint32_t Id = 0;
};

std::array<uint8_t, ReplySize> EncodeReply(const TReply& AReply);
TReply DecodeReply(std::span<const uint8_t, ReplySize> ABytes);

} // namespace TSocketRequest
