// libFuzzer target: DecodeReply over arbitrary datagrams, directly and as the datagram
// socket path reshapes them. Input: mode byte, sequence (2 bytes, LE), then the bytes.
#include "ENetExceptions.h"
#include "TIcmpWire.h"
#include "TNetPingSocket.h"

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
void Decode(const std::array<uint8_t, TIcmpWire::AreaSize>& AArea, int32_t AN, uint16_t ASeq,
            bool AMustAccept) {
    TReplyStatus Status;
    try {
        const bool Accepted = TIcmpWire::DecodeReply(AArea, AN, ASeq, Status);
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    if (ASize < 3) {
        return 0;
    }
    const uint8_t Mode = AData[0] % 3;
    const uint16_t Seq = static_cast<uint16_t>(AData[1] | (AData[2] << 8));
    const std::span<const uint8_t> Bytes(AData + 3, ASize - 3);
    std::array<uint8_t, TIcmpWire::AreaSize> Area{};

    if (Mode == 0) {
        std::memcpy(Area.data(), Bytes.data(), std::min(Bytes.size(), Area.size()));
        Decode(Area, static_cast<int32_t>(Bytes.size()), Seq, false);
    } else if (Mode == 1) {
        const int32_t N =
            TNetPingSocket::SynthesizeReply(Area, {10, 0, 0, 1}, 64, Bytes, Bytes.size());
        const bool Ours = Bytes.size() >= 8 && (Bytes[0] == 0 || Bytes[0] == 8) &&
                          (Bytes[6] | (Bytes[7] << 8)) == Seq &&
                          N <= static_cast<int32_t>(TIcmpWire::AreaSize);
        Decode(Area, N, Seq, Ours);
    } else {
        const uint8_t Type = Bytes.empty() ? 11 : (Bytes[0] & 1 ? 11 : 3);
        const int32_t N = TNetPingSocket::SynthesizeError(Area, {10, 0, 0, 2}, 63, Type, 0, Bytes);
        const bool Ours = Bytes.size() >= 8 && (Bytes[6] | (Bytes[7] << 8)) == Seq &&
                          N <= static_cast<int32_t>(TIcmpWire::AreaSize);
        Decode(Area, N, Seq, Ours);
    }
    return 0;
}
