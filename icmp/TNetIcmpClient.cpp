// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetIcmpClient.h"

#include "TNetRoundTrip.h"
#include "TNetStack.h"

#include <netinet/in.h>

TNetIcmpClient::TNetIcmpClient(TNetContext& AContext)
    : TNetRawClient(AContext), FIdentifier(TProbeMatch::RandomIdentifier()) {
    SetReceiveTimeout(5000);
    SetProtocol(IPPROTO_ICMP);
}

void TNetIcmpClient::BuildEchoRequest(std::string_view APayload) {
    FEchoSize = TIcmpWire::EchoSize;
    TIcmpWire::BuildEchoRequest(FEchoBuffer, FIdentifier, FSequenceCounter,
                                Context().Clock().TickCount(), APayload);
}

bool TNetIcmpClient::DecodeReply(int32_t AN, TReplyStatus& AStatus) {
    return Socket().Family().DecodeReply(FReceiveArea, AN, FEcho, AStatus);
}

void TNetIcmpClient::UseAddressFamily(const std::string& AAddress) {
    const TNetFamily& Family = TNetFamily::OfAddress(AAddress);
    Socket().SetFamily(Family);
    Family.ToEchoRequest(FEchoBuffer);
}

void TNetIcmpClient::SetTimedOut(TReplyStatus& AStatus) {
    Socket().Family().SetTimedOut(AStatus, FSequenceCounter);
}

void TNetIcmpClient::WaitForReply(int32_t ATimeout, TReplyStatus& AStatus) {
    FReceiveArea.fill(0);
    FReplyStamp.reset();
    const TClock& Clock = Context().Clock();
    const int64_t Start = Clock.SteadyNs();
    int32_t Remaining = ATimeout;
    for (;;) {
        std::optional<int32_t> N = 0;
        if (GetSocket().WaitReadable(Remaining)) {
            std::array<uint8_t, TIcmpWire::AreaSize> Fresh{};
            N = GetSocket().ReceiveInto(Fresh);
            FReceiveArea = Fresh;
        }
        if (N && DecodeReply(*N, AStatus)) {
            if (*N > 0) {
                FReplyStamp = GetSocket().ReceiveStamp();
            }
            return;
        }
        // Dropped datagrams do not restart the clock: the limit counts from the start. The
        // span is taken in nanoseconds, so a timed-out wait never falls short of the limit
        // by the truncation of two millisecond readings.
        SetTimedOut(AStatus);
        const int64_t Left = int64_t{ATimeout} - (Clock.SteadyNs() - Start) / TClock::NsPerMs;
        if (Left <= 0) {
            return;
        }
        Remaining = static_cast<int32_t>(Left);
    }
}

void TNetIcmpClient::Ping(std::string_view APayload, uint16_t ANewSequence) {
    if (ANewSequence != 0) {
        FSequenceCounter = ANewSequence;
    }
    BuildEchoRequest(APayload);
    const std::string Address = Stack().ResolveAddress(Host());
    FAddress = Address;
    UseAddressFamily(Address);
    TNetSocketHandle& Handle = GetSocket();
    // The network's round trip only: the lookup and the socket opening stay outside it, and
    // its end is the reply's arrival, not the moment this process got to read it.
    const TClock& Clock = Context().Clock();
    TNetRoundTrip RoundTrip = TNetRoundTrip::Begin(Clock);
    Handle.SetAnswerWait(ReceiveTimeout());
    Handle.SendToAddress(
        Address, Port(),
        std::span<const uint8_t>(FEchoBuffer).first(static_cast<std::size_t>(FEchoSize)));
    if (const auto Sent = Handle.SendStamp()) {
        RoundTrip = RoundTrip.SentAt(*Sent);
    }
    FEcho = {{}, Handle.AnswerIdentifier(FIdentifier), FSequenceCounter};
    uint32_t Scope = 0;
    Handle.Family().Destination(Address, FEcho.Destination, Scope);
    TReplyStatus Status;
    WaitForReply(ReceiveTimeout(), Status);
    const int64_t EndNs = Clock.SteadyNs();
    const int64_t StampEndNs = Clock.WallNs();
    const uint32_t Elapsed = RoundTrip.Ms(FReplyStamp, EndNs, StampEndNs);
    FReplyStatus = Status;
    Socket().ReleaseSocket();
    FReplyStatus.RoundTripMs = Elapsed;
    FReplyStatus.RoundTripUs = RoundTrip.Ns(FReplyStamp, EndNs, StampEndNs) / 1000;
    if (OnReply) {
        OnReply(*this, FReplyStatus);
    }
    FSequenceCounter = static_cast<uint16_t>(FSequenceCounter + 1);
}
