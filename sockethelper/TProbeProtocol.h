// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The exchange between the window and zirko-socket over their sequenced-packet pair. The
// window asks the helper to send one echo request (a probe) or to stop waiting for one; the
// helper answers with a hello once, a send report per probe, and the datagram that answers a
// waiting probe, after which that probe waits no more. No descriptor ever travels. Fields are
// in host order: both ends run on the same machine. Version 3 added the probe's source.
namespace TProbeProtocol {

constexpr std::array<uint8_t, 4> RequestMagic{'Z', 'S', 'K', '3'};
constexpr std::array<uint8_t, 4> AnswerMagic{'Z', 'S', 'A', '2'};
constexpr std::size_t RequestHeaderSize = 64;
constexpr std::size_t AnswerHeaderSize = 48;
// An echo request carries at least its own header; the window's is 52 bytes.
constexpr std::size_t MinMessage = 8;
constexpr std::size_t MaxMessage = 512;
// Larger than any reply the window's decoder accepts, so nothing it could use is cut.
constexpr std::size_t MaxDatagram = 1024;
constexpr uint32_t MaxWaitMs = 60000;

enum class TRequestKind : uint8_t { Probe = 1, Forget = 2 };

struct TProbe {
    uint32_t Id = 0;
    int32_t Family = 0;   // AF_INET or AF_INET6
    int32_t HopLimit = 0; // the TTL, or IPv6's unicast hop limit
    uint32_t WaitMs = 0;  // how long answers are forwarded
    uint32_t ScopeId = 0; // IPv6 link-local zone
    std::array<uint8_t, 16> Address{};
    // The unicast address to send from (IPv4: the first 4 bytes); the kernel refuses one that
    // is not the machine's. Without one, the kernel chooses.
    std::optional<std::array<uint8_t, 16>> Source;
    std::vector<uint8_t> Message; // the echo request, ICMP header first
};

enum class TVerdict : uint8_t {
    Accepted,
    Malformed, // wrong size, wrong magic, unknown kind
    NotServed, // well-formed, but not an echo request the helper sends
};

struct TParsed {
    TVerdict Verdict = TVerdict::Malformed;
    TRequestKind Kind = TRequestKind::Probe;
    TProbe Probe; // for Forget only Id is set
};

std::vector<uint8_t> EncodeProbe(const TProbe& AProbe);
std::vector<uint8_t> EncodeForget(uint32_t AId);

// Accepts an echo request of the family (type 8 or 128, code 0) of bounded size to a unicast
// address, from a unicast source when it names one, with a hop limit of 1 to 255 and a wait
// of at most a minute.
TParsed Parse(std::span<const uint8_t> ABytes);

// The errno sent back for a refused request.
int RefusalErrno(TVerdict AVerdict);

enum class TAnswerKind : uint8_t { Hello = 1, Sent = 2, Datagram = 3 };

struct TAnswer {
    TAnswerKind Kind = TAnswerKind::Hello;
    uint32_t Id = 0;
    // Hello: 0 or the errno of opening the IPv4 socket; Sent: 0 or the send's errno.
    int32_t Status = 0;
    // Hello: the same for IPv6; Datagram: the family.
    int32_t Family = 0;
    int32_t HopLimit = 0; // Datagram over IPv6: the received hop limit
    // Hello: the identifier the helper writes into every request, so that the window can
    // hold the answers it relays to the same rule as its own.
    uint16_t Identifier = 0;
    // Sent: CLOCK_REALTIME right before the send; Datagram: the kernel's receive stamp.
    std::optional<int64_t> StampNs;
    std::array<uint8_t, 16> Source{}; // Datagram over IPv6: the sender
    std::vector<uint8_t> Bytes;       // Datagram: IPv4 with its header, or the ICMPv6 message
};

std::vector<uint8_t> EncodeAnswer(const TAnswer& AAnswer);
std::optional<TAnswer> DecodeAnswer(std::span<const uint8_t> ABytes);

} // namespace TProbeProtocol
