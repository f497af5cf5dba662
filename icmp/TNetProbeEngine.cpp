// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetProbeEngine.h"

#include "ENetExceptions.h"
#include "TNetFamily.h"
#include "TNetProbeWire.h"
#include "TNetSocketHelper.h"
#include "TNetStack.h"

#include <algorithm>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

// Datagrams read per Process, so that a flood of foreign ICMP cannot hold the event loop.
constexpr int ReadLimit = 64;
// A send on the datagram socket returns, once, the pending error an earlier report left.
constexpr int DatagramSendTries = 3;
constexpr int32_t HostNotFound = 11001;

TNetProbeResult Ended(uint32_t ARound, int ATtl, TReplyStatusKind AKind) {
    TNetProbeResult Result;
    Result.Round = ARound;
    Result.Ttl = ATtl;
    Result.Kind = AKind;
    return Result;
}

} // namespace

TNetProbeEngine::TNetProbeEngine(TNetContext& AContext)
    : TNetComponent(AContext), FSocket(AContext),
      // Its own identifier, so that a raw reader tells it from the synchronous ping; the
      // sequences start at a point of their own for the same reason.
      FIdentifier(TProbeMatch::RandomIdentifier()),
      FBook(static_cast<uint16_t>(AContext.Clock().SteadyNs() / 1000)) {}

TNetProbeEngine::~TNetProbeEngine() {
    Close();
}

void TNetProbeEngine::Open(const std::string& AAddress) {
    Close();
    const TNetFamily& Family = TNetFamily::OfAddress(AAddress);
    std::array<uint8_t, 16> Bytes{};
    uint32_t Scope = 0;
    if (!Family.Destination(AAddress, Bytes, Scope)) {
        Stack().ThrowSocketError(HostNotFound);
    }
    FSocket.SetFamily(Family);
    FSocket.OpenHandle(SOCK_RAW, IPPROTO_ICMP);
    if (FSocket.Relayed()) {
        FSocket.ReleaseSocket();
        FHelper = Context().Helper();
        FTransport = TNetProbeTransport::Helper;
    } else {
        Stack().EnableReceiveStamps(FSocket.Handle());
        FTransport = FSocket.Kind() == TNetSocketKind::Datagram ? TNetProbeTransport::Datagram
                                                                : TNetProbeTransport::Raw;
    }
    FFamily = &Family;
    FAddress = AAddress;
    FDestination = Bytes;
}

void TNetProbeEngine::Close() {
    for (const TNetInFlight& P : FBook.Probes()) {
        Forget(P);
    }
    FBook = TNetProbeBook(FBook.NextSequence());
    FQueue.clear();
    FSocket.ReleaseSocket();
    FHelper = nullptr;
    FTransport = TNetProbeTransport::None;
    FAnswerIdentifier.reset();
}

void TNetProbeEngine::Queue(int ATtl, uint32_t ARound, int32_t ATimeoutMs) {
    FQueue.push_back({ATtl, ARound, ATimeoutMs});
}

int TNetProbeEngine::Descriptor() const {
    switch (FTransport) {
    case TNetProbeTransport::Helper:
        return FHelper->Descriptor();
    case TNetProbeTransport::Raw:
    case TNetProbeTransport::Datagram:
        return FSocket.Handle();
    case TNetProbeTransport::None:
        break;
    }
    return -1;
}

std::optional<int64_t> TNetProbeEngine::NextDueNs() const {
    std::optional<int64_t> Due = FBook.NextDeadline();
    const bool Relayed = FTransport == TNetProbeTransport::Helper;
    // A full helper lets the queue go on only once a probe ends, by answer or deadline.
    if (!FQueue.empty() && !(Relayed && Context().HelperProbes() >= HelperInFlightLimit)) {
        const int64_t SendAt = Context().Clock().SteadyNs() + (Relayed ? TSendRate::IntervalNs : 0);
        Due = Due ? std::min(*Due, SendAt) : SendAt;
    }
    return Due;
}

std::vector<TNetProbeResult> TNetProbeEngine::Process() {
    std::vector<TNetProbeResult> Out;
    if (FTransport == TNetProbeTransport::None) {
        return Out;
    }
    SendDue(Out);
    if (FTransport == TNetProbeTransport::Helper) {
        ReadRelayed(Out);
    } else {
        ReadOwn(Out);
    }
    ExpireDue(Out);
    SendDue(Out); // room the answers made at the helper
    return Out;
}

bool TNetProbeEngine::MaySend() {
    if (FTransport != TNetProbeTransport::Helper) {
        return true;
    }
    // The helper refuses sends faster than its pace; keeping to it here spares the wait.
    return Context().HelperProbes() < HelperInFlightLimit &&
           Context().HelperRate().Take(Context().Clock().SteadyNs());
}

void TNetProbeEngine::SendDue(std::vector<TNetProbeResult>& AOut) {
    while (!FQueue.empty() && MaySend()) {
        const TQueued Probe = FQueue.front();
        FQueue.pop_front();
        SendOne(Probe, AOut);
    }
}

void TNetProbeEngine::SendOne(const TQueued& AProbe, std::vector<TNetProbeResult>& AOut) {
    const TClock& Clock = Context().Clock();
    TNetInFlight Entry;
    Entry.Sequence = FBook.NextSequence();
    Entry.Ttl = AProbe.Ttl;
    Entry.Round = AProbe.Round;
    Entry.TimeoutNs = int64_t{AProbe.TimeoutMs} * TClock::NsPerMs;
    Entry.Destination = FDestination;
    TArea Echo{};
    TIcmpWire::BuildEchoRequest(Echo, FIdentifier, Entry.Sequence, Clock.TickCount(), {});
    FFamily->ToEchoRequest(Echo);
    const auto Bytes = std::span<const uint8_t>(Echo).first(TIcmpWire::EchoSize);
    const int32_t Error = FTransport == TNetProbeTransport::Helper
                              ? SendRelayed(AProbe, Bytes, Entry)
                              : SendOwn(AProbe.Ttl, Bytes, Entry);
    if (Error != 0) {
        TNetProbeResult Failed = Ended(AProbe.Round, AProbe.Ttl, skError);
        Failed.ErrorCode = Error;
        AOut.push_back(Failed);
        return;
    }
    Entry.DeadlineNs = Clock.SteadyNs() + Entry.TimeoutNs;
    FBook.Add(Entry);
    if (Entry.HelperId != 0) {
        ++Context().HelperProbes();
    }
}

int32_t TNetProbeEngine::SendOwn(int ATtl, std::span<const uint8_t> ABytes, TNetInFlight& AProbe) {
    const int Tries = FTransport == TNetProbeTransport::Datagram ? DatagramSendTries : 1;
    int32_t Error = 0;
    for (int Try = 0; Try < Tries; ++Try) {
        try {
            FSocket.SetHopLimit(ATtl);
            AProbe.Trip = TNetRoundTrip::Begin(Context().Clock());
            FSocket.SendToAddress(FAddress, 0, ABytes);
            return 0;
        } catch (const ENetSocketError& E) {
            Error = E.ErrorCode();
        } catch (const ENetException&) {
            Error = -1;
        }
    }
    return Error;
}

int32_t TNetProbeEngine::SendRelayed(const TQueued& AProbe, std::span<const uint8_t> ABytes,
                                     TNetInFlight& AEntry) {
    TProbeProtocol::TProbe Probe;
    Probe.Family = FFamily->AddressFamily;
    Probe.HopLimit = AProbe.Ttl;
    Probe.WaitMs = static_cast<uint32_t>(
        std::clamp<int32_t>(AProbe.TimeoutMs, 1, static_cast<int32_t>(TProbeProtocol::MaxWaitMs)));
    FFamily->Destination(FAddress, Probe.Address, Probe.ScopeId);
    Probe.Message.assign(ABytes.begin(), ABytes.end());
    AEntry.Trip = TNetRoundTrip::Begin(Context().Clock());
    const auto Sent = FHelper->Send(std::move(Probe));
    if (!Sent) {
        return ErrnoCode(ECONNRESET); // the helper is gone
    }
    if (Sent->Error != 0) {
        return ErrnoCode(Sent->Error);
    }
    AEntry.HelperId = Sent->Id;
    if (Sent->StampNs) {
        AEntry.Trip = AEntry.Trip.SentAt(*Sent->StampNs);
    }
    return 0;
}

int32_t TNetProbeEngine::ErrnoCode(int AErrno) const {
    errno = AErrno;
    return Stack().LastSocketError();
}

void TNetProbeEngine::ReadOwn(std::vector<TNetProbeResult>& AOut) {
    for (int I = 0; I < ReadLimit && Stack().WaitReadable(FSocket.Handle(), 0) > 0; ++I) {
        TArea Area{};
        std::optional<int32_t> N;
        try {
            N = FSocket.ReceiveInto(Area);
        } catch (const ENetSocketError&) {
            // A report on the error queue also leaves a pending error, which a plain read
            // returns once in a datagram's place; the report is read on the next turn.
            if (FTransport != TNetProbeTransport::Datagram) {
                throw;
            }
            continue;
        }
        if (N) {
            Accept(Area, *N, FSocket.ReceiveStamp(), AOut);
        }
    }
}

void TNetProbeEngine::ReadRelayed(std::vector<TNetProbeResult>& AOut) {
    FHelper->Collect();
    std::vector<uint32_t> Ids;
    for (const TNetInFlight& P : FBook.Probes()) {
        Ids.push_back(P.HelperId);
    }
    for (const uint32_t Id : Ids) {
        while (const auto Answer = FHelper->Take(Id)) {
            TArea Area{};
            int32_t N = 0;
            if (!FFamily->RawKeepsHeader) {
                N = FFamily->SynthesizeReply(Area, Answer->Source.data(),
                                             static_cast<uint8_t>(Answer->HopLimit), Answer->Bytes,
                                             Answer->Bytes.size());
            } else {
                std::copy_n(Answer->Bytes.begin(), std::min(Answer->Bytes.size(), Area.size()),
                            Area.begin());
                N = static_cast<int32_t>(Answer->Bytes.size());
            }
            Accept(Area, N, Answer->StampNs, AOut);
        }
    }
}

uint16_t TNetProbeEngine::AnswerIdentifier() {
    if (!FAnswerIdentifier) {
        FAnswerIdentifier = FTransport == TNetProbeTransport::Helper
                                ? FHelper->Identifier()
                                : FSocket.AnswerIdentifier(FIdentifier);
    }
    return *FAnswerIdentifier;
}

void TNetProbeEngine::Accept(const TArea& AArea, int32_t AN, std::optional<int64_t> AStampNs,
                             std::vector<TNetProbeResult>& AOut) {
    const auto Sequence = TNetProbeWire::Sequence(*FFamily, AArea, AN);
    const TNetInFlight* Entry = Sequence ? FBook.Find(*Sequence) : nullptr;
    if (Entry == nullptr) {
        return;
    }
    const TProbeMatch::TEcho Echo{Entry->Destination, AnswerIdentifier(), Entry->Sequence};
    const auto Answer = TNetProbeWire::Decode(*FFamily, AArea, AN, Echo);
    const auto Probe = Answer ? FBook.Take(*Sequence) : std::nullopt;
    if (!Probe) {
        return;
    }
    Forget(*Probe);
    const TClock& Clock = Context().Clock();
    const int64_t End = Clock.SteadyNs();
    const int64_t Span = Probe->Trip.Ns(AStampNs, End, Clock.WallNs());
    TNetProbeResult Result = Ended(Probe->Round, Probe->Ttl, skTimedOut);
    if (Span <= Probe->TimeoutNs) {
        Result.Kind = Answer->Kind;
        Result.From = Answer->From;
        Result.ReplyTtl = Answer->ReplyTtl;
        Result.RoundTripNs = Span;
    }
    AOut.push_back(Result);
}

void TNetProbeEngine::ExpireDue(std::vector<TNetProbeResult>& AOut) {
    for (const TNetInFlight& P : FBook.Expire(Context().Clock().SteadyNs())) {
        Forget(P);
        AOut.push_back(Ended(P.Round, P.Ttl, skTimedOut));
    }
}

void TNetProbeEngine::Forget(const TNetInFlight& AProbe) {
    if (AProbe.HelperId != 0) {
        --Context().HelperProbes();
        if (FHelper != nullptr) {
            FHelper->Forget(AProbe.HelperId);
        }
    }
}
