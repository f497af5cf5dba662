// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: DecodeReply of IPv4 and of ICMPv6 over arbitrary datagrams, directly and
// as the receivers reshape them. Input: mode byte, sequence (2 bytes, LE), then the bytes.
#include "ENetExceptions.h"
#include "TIcmp6Wire.h"
#include "TIcmpWire.h"
#include "TNetIcmp6Socket.h"
#include "TNetPingSocket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

namespace {

void Check(bool ACondition) {
    if (!ACondition) {
        std::abort();
    }
}

// Whatever DecodeReply does, an accepted record must describe the datagram it accepted.
void Decode(const std::array<uint8_t, TIcmpWire::AreaSize>& AArea, int32_t AN,
            const TProbeMatch::TEcho& AEcho, bool AMustAccept) {
    const uint16_t ASeq = AEcho.Sequence;
    TReplyStatus Status;
    try {
        const bool Accepted = TIcmpWire::DecodeReply(AArea, AN, AEcho, Status);
        Check(!AMustAccept || Accepted);
        if (Accepted && AN > 0) {
            Check(Status.Sequence == ASeq);
            Check(Status.ReplyBytes == AN && AN <= static_cast<int32_t>(TIcmpWire::AreaSize));
            Check(Status.Status == skEchoReply || Status.Status == skUnreachable ||
                  Status.Status == skTtlExceeded);
            Check(Status.FromAddress.size() >= 7 && Status.FromAddress.size() <= 15);
        }
        if (!Accepted) {
            Check(Status.Status == skError);
        }
    } catch (const ENetIcmpException&) {
        Check(!AMustAccept);
    }
}

// The same for ICMPv6; the source text must also read back as the header's source bytes.
void Decode6(const std::array<uint8_t, TIcmpWire::AreaSize>& AArea, int32_t AN,
             const TProbeMatch::TEcho& AEcho, bool AMustAccept) {
    const uint16_t ASeq = AEcho.Sequence;
    TReplyStatus Status;
    try {
        const bool Accepted = TIcmp6Wire::DecodeReply(AArea, AN, AEcho, Status);
        Check(!AMustAccept || Accepted);
        if (Accepted && AN > 0) {
            Check(Status.Sequence == ASeq);
            Check(Status.ReplyBytes == AN && AN <= static_cast<int32_t>(TIcmpWire::AreaSize));
            Check(Status.Status == skEchoReply || Status.Status == skUnreachable ||
                  Status.Status == skTtlExceeded);
            Check(Status.ReplyTtl == AArea[7]);
            std::array<uint8_t, 16> Back{};
            Check(Status.FromAddress.size() <= 45 &&
                  inet_pton(AF_INET6, Status.FromAddress.c_str(), Back.data()) == 1);
            Check(std::equal(Back.begin(), Back.end(), AArea.begin() + 8));
        }
        if (!Accepted) {
            Check(Status.Status == skError);
        }
    } catch (const ENetIcmpException&) {
        Check(!AMustAccept);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    if (ASize < 3) {
        return 0;
    }
    const uint8_t Mode = AData[0] % 6;
    const uint16_t Seq = static_cast<uint16_t>(AData[1] | (AData[2] << 8));
    const std::span<const uint8_t> Bytes(AData + 3, ASize - 3);
    std::array<uint8_t, TIcmpWire::AreaSize> Area{};
    // The identifier the datagram carries, so that acceptance turns on the rest of the rule.
    const uint16_t Id = Bytes.size() >= 6 ? static_cast<uint16_t>(Bytes[4] | (Bytes[5] << 8)) : 0;
    const TProbeMatch::TEcho Nowhere{{}, Id, Seq};

    if (Mode == 0) {
        std::memcpy(Area.data(), Bytes.data(), std::min(Bytes.size(), Area.size()));
        Decode(Area, static_cast<int32_t>(Bytes.size()), Nowhere, false);
    } else if (Mode == 1) {
        const int32_t N =
            TNetPingSocket::SynthesizeReply(Area, {10, 0, 0, 1}, 64, Bytes, Bytes.size());
        const bool Ours = Bytes.size() >= 8 && Bytes[0] == 0 &&
                          (Bytes[6] | (Bytes[7] << 8)) == Seq &&
                          N <= static_cast<int32_t>(TIcmpWire::AreaSize);
        Decode(Area, N, {{10, 0, 0, 1}, Id, Seq}, Ours);
    } else if (Mode == 3) {
        std::memcpy(Area.data(), Bytes.data(), std::min(Bytes.size(), Area.size()));
        Decode6(Area, static_cast<int32_t>(Bytes.size()), Nowhere, false);
    } else if (Mode == 4) {
        TNetIcmp6Socket::TAddress Source{};
        std::copy_n(Bytes.begin(), std::min<std::size_t>(Bytes.size(), 16), Source.begin());
        const int32_t N = TNetIcmp6Socket::SynthesizeReply(Area, Source, 63, Bytes, Bytes.size());
        const bool Ours = Bytes.size() >= 8 && Bytes[0] == TIcmp6Wire::EchoReply &&
                          (Bytes[6] | (Bytes[7] << 8)) == Seq &&
                          N <= static_cast<int32_t>(TIcmpWire::AreaSize);
        TProbeMatch::TEcho From{{}, Id, Seq};
        std::copy(Source.begin(), Source.end(), From.Destination.begin());
        Decode6(Area, N, From, Ours);
    } else if (Mode == 5) {
        const uint8_t Type =
            Bytes.empty() || Bytes[0] & 1 ? TIcmp6Wire::TimeExceeded : TIcmp6Wire::Unreachable;
        const TNetIcmp6Socket::TAddress To{0xfd, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3};
        const int32_t N = TNetIcmp6Socket::SynthesizeError(
            Area, {0xfd, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}, To, 64, Type, 0, Bytes);
        const bool Ours = Bytes.size() >= 8 && Bytes[0] == TIcmp6Wire::EchoRequest &&
                          (Bytes[6] | (Bytes[7] << 8)) == Seq &&
                          N <= static_cast<int32_t>(TIcmpWire::AreaSize);
        TProbeMatch::TEcho Sent{{}, Id, Seq};
        std::copy(To.begin(), To.end(), Sent.Destination.begin());
        Decode6(Area, N, Sent, Ours);
    } else {
        const uint8_t Type = Bytes.empty() ? 11 : (Bytes[0] & 1 ? 11 : 3);
        const int32_t N =
            TNetPingSocket::SynthesizeError(Area, {10, 0, 0, 2}, {10, 0, 0, 3}, 63, Type, 0, Bytes);
        const bool Ours = Bytes.size() >= 8 && Bytes[0] == 8 &&
                          (Bytes[6] | (Bytes[7] << 8)) == Seq &&
                          N <= static_cast<int32_t>(TIcmpWire::AreaSize);
        Decode(Area, N, {{10, 0, 0, 3}, Id, Seq}, Ours);
    }
    return 0;
}
