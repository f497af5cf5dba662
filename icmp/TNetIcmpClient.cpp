#include "TNetIcmpClient.h"

#include "TIcmp6Wire.h"
#include "TNetClock.h"
#include "TNetStack.h"

#include <netinet/in.h>
#include <unistd.h>

TNetIcmpClient::TNetIcmpClient() {
    SetReceiveTimeout(5000);
    SetProtocol(IPPROTO_ICMP);
}

void TNetIcmpClient::BuildEchoRequest(std::string_view APayload) {
    FEchoSize = TIcmpWire::EchoSize;
    TIcmpWire::BuildEchoRequest(FEchoBuffer, static_cast<uint16_t>(::getpid() & 0xFFFF),
                                FSequenceCounter, TNetClock::TickCount(), APayload);
}

bool TNetIcmpClient::DecodeReply(int32_t AN, TReplyStatus& AStatus) {
    if (Socket().IPVersion() == Id_IPv6) {
        return TIcmp6Wire::DecodeReply(FReceiveArea, AN, FSequenceCounter, AStatus);
    }
    return TIcmpWire::DecodeReply(FReceiveArea, AN, FSequenceCounter, AStatus);
}

void TNetIcmpClient::UseAddressFamily(const std::string& AAddress) {
    const TIPVersion Version = TNetStack::AddressIPVersion(AAddress);
    Socket().SetIPVersion(Version);
    if (Version == Id_IPv6) {
        TIcmp6Wire::ToEchoRequest(FEchoBuffer);
    }
}

void TNetIcmpClient::SetTimedOut(TReplyStatus& AStatus) {
    if (Socket().IPVersion() == Id_IPv6) {
        TIcmp6Wire::SetTimedOut(AStatus, FSequenceCounter);
    } else {
        TIcmpWire::SetTimedOut(AStatus, FSequenceCounter);
    }
}

void TNetIcmpClient::WaitForReply(int32_t ATimeout, TReplyStatus& AStatus) {
    FReceiveArea.fill(0);
    const uint32_t Start = TNetClock::TickCount();
    int32_t Remaining = ATimeout;
    for (;;) {
        std::optional<int32_t> N = 0;
        if (GetSocket().WaitReadable(Remaining)) {
            std::array<uint8_t, TIcmpWire::AreaSize> Fresh{};
            N = GetSocket().ReceiveInto(Fresh);
            FReceiveArea = Fresh;
        }
        if (N && DecodeReply(*N, AStatus)) {
            return;
        }
        // Dropped datagrams do not restart the clock: the limit counts from the start.
        SetTimedOut(AStatus);
        Remaining =
            ATimeout - static_cast<int32_t>(TNetClock::TickDiff(Start, TNetClock::TickCount()));
        if (Remaining <= 0) {
            return;
        }
    }
}

void TNetIcmpClient::Ping(std::string_view APayload, uint16_t ANewSequence) {
    if (ANewSequence != 0) {
        FSequenceCounter = ANewSequence;
    }
    BuildEchoRequest(APayload);
    // The round trip deliberately includes the lookup and the socket opening.
    const uint32_t T0 = TNetClock::TickCount();
    const std::string Address = GlobalStack->ResolveAddress(Host());
    UseAddressFamily(Address);
    GetSocket().SendToAddress(
        Address, Port(),
        std::span<const uint8_t>(FEchoBuffer).first(static_cast<std::size_t>(FEchoSize)));
    TReplyStatus Status;
    WaitForReply(ReceiveTimeout(), Status);
    FReplyStatus = Status;
    const uint32_t Elapsed = TNetClock::TickDiff(T0, TNetClock::TickCount());
    Socket().ReleaseSocket();
    FReplyStatus.RoundTripMs = Elapsed;
    if (OnReply) {
        OnReply(*this, FReplyStatus);
    }
    FSequenceCounter = static_cast<uint16_t>(FSequenceCounter + 1);
}
