// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetProbeEngine.h"

#include "ENetExceptions.h"
#include "TIcmp6Wire.h"
#include "TNetFamily.h"
#include "TNetProbeWire.h"
#include "TNetSocketHelper.h"
#include "TNetStack.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

// Datagrams read per Process, so that a flood of foreign ICMP cannot hold the event loop.
// An event loop that reads every 10 ms reads at most 100 times this many answers a second:
// at 64, 10,000 targets at 1 s lost a third of their answers, read too late.
constexpr int ReadLimit = 256;
// A send on the datagram socket returns, once, the pending error an earlier report left.
constexpr int DatagramSendTries = 3;
constexpr int32_t HostNotFound = 11001;

TNetProbeResult Ended(const std::string& AAddress, uint32_t ARound, int ATtl,
                      TReplyStatusKind AKind) {
    TNetProbeResult Result;
    Result.Address = AAddress;
    Result.Round = ARound;
    Result.Ttl = ATtl;
    Result.Kind = AKind;
    return Result;
}

} // namespace

TNetProbeEngine::TNetProbeEngine(TNetContext& AContext)
    : TNetComponent(AContext),
      // Its own identifier, so that a raw reader tells it from the synchronous ping; the
      // sequences start at a point of their own for the same reason.
      FIdentifier(TProbeMatch::RandomIdentifier()),
      FSequence(static_cast<uint16_t>(AContext.Clock().SteadyNs() / 1000)) {}

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
    TLane& Lane = LaneOf(Family);
    OpenLane(Lane);
    FOpened = &Lane;
    FAddress = AAddress;
}

void TNetProbeEngine::OpenLane(TLane& ALane) {
    ALane.Socket.SetFamily(*ALane.Family);
    ALane.Socket.OpenHandle(SOCK_RAW, IPPROTO_ICMP);
    if (ALane.Socket.Relayed()) {
        ALane.Socket.ReleaseSocket();
        FHelper = Context().Helper();
        ALane.Transport = TNetProbeTransport::Helper;
    } else {
        Stack().EnableReceiveStamps(ALane.Socket.Handle());
        ALane.Transport = ALane.Socket.Kind() == TNetSocketKind::Datagram
                              ? TNetProbeTransport::Datagram
                              : TNetProbeTransport::Raw;
    }
    if (!ALane.Source.empty() && ALane.Transport != TNetProbeTransport::Helper) {
        BindSource(ALane); // the helper sends from the source each probe names
    }
}

void TNetProbeEngine::BindSource(TLane& ALane) {
    sockaddr_storage Bound{};
    const bool Four = ALane.Family->Version == Id_IPv4;
    auto& In4 = reinterpret_cast<sockaddr_in&>(Bound);
    auto& In6 = reinterpret_cast<sockaddr_in6&>(Bound);
    Bound.ss_family = static_cast<sa_family_t>(ALane.Family->AddressFamily);
    const int Parsed = Four ? ::inet_pton(AF_INET, ALane.Source.c_str(), &In4.sin_addr)
                            : ::inet_pton(AF_INET6, ALane.Source.c_str(), &In6.sin6_addr);
    const socklen_t Size = Four ? sizeof(In4) : sizeof(In6);
    if (Parsed != 1 ||
        ::bind(ALane.Socket.Handle(), reinterpret_cast<sockaddr*>(&Bound), Size) != 0) {
        // Never left open unbound: its probes would leave from another address.
        const int32_t Error = Parsed != 1 ? ErrnoCode(EAFNOSUPPORT) : ErrnoCode(errno);
        CloseLane(ALane);
        Stack().ThrowSocketError(Error);
    }
}

void TNetProbeEngine::CloseLane(TLane& ALane) {
    for (const TNetInFlight& P : ALane.Book.Probes()) {
        Forget(P);
    }
    ALane.Book = TNetProbeBook();
    ALane.Socket.ReleaseSocket();
    ALane.Transport = TNetProbeTransport::None;
    ALane.AnswerIdentifier.reset();
    ALane.HopLimit.reset();
}

void TNetProbeEngine::Close() {
    for (TLane& Lane : FLanes) {
        CloseLane(Lane);
    }
    FLanes.clear();
    FQueue.clear();
    FHelper = nullptr;
    FOpened = nullptr;
    FAddress.clear();
}

TNetProbeEngine::TLane& TNetProbeEngine::LaneOf(const TNetFamily& AFamily,
                                                const std::string& ASource) {
    for (TLane& Lane : FLanes) {
        if (Lane.Family == &AFamily && Lane.Source == ASource) {
            return Lane;
        }
    }
    return FLanes.emplace_back(Context(), AFamily, ASource);
}

uint16_t TNetProbeEngine::NextSequence(const TLane& ALane) {
    for (;;) {
        const uint16_t Sequence = FSequence;
        FSequence = static_cast<uint16_t>(FSequence == 0xFFFF ? TNetProbeBook::FirstSequence
                                                              : FSequence + 1);
        if (Sequence >= TNetProbeBook::FirstSequence && ALane.Book.Find(Sequence) == nullptr) {
            return Sequence;
        }
    }
}

std::size_t TNetProbeEngine::BuildEcho(TArea& AEcho, const TLane& ALane, uint16_t ASequence,
                                       int APayload) {
    TIcmpWire::BuildEchoRequest(AEcho, FIdentifier, ASequence, Context().Clock().TickCount(), {});
    std::size_t Length = TIcmpWire::EchoSize;
    if (APayload > 0) {
        // The same request, cut or filled out to the payload asked for.
        Length = 8 + static_cast<std::size_t>(std::clamp(APayload, MinPayload, MaxPayload));
        std::fill(AEcho.begin() + TIcmpWire::EchoSize,
                  AEcho.begin() + std::max<std::ptrdiff_t>(TIcmpWire::EchoSize, Length),
                  uint8_t{'E'});
        AEcho[2] = AEcho[3] = 0;
        const uint16_t Sum = TIcmpWire::Checksum(std::span<const uint8_t>(AEcho).first(Length));
        AEcho[2] = static_cast<uint8_t>(Sum & 0xFF);
        AEcho[3] = static_cast<uint8_t>(Sum >> 8);
    }
    ALane.Family->ToEchoRequest(AEcho);
    return Length;
}

TNetProbeTransport TNetProbeEngine::Transport() const {
    if (FOpened != nullptr) {
        return FOpened->Transport;
    }
    for (const TLane& Lane : FLanes) {
        if (Lane.Transport != TNetProbeTransport::None) {
            return Lane.Transport;
        }
    }
    return TNetProbeTransport::None;
}

void TNetProbeEngine::Queue(const std::string& AAddress, int ATtl, uint32_t ARound,
                            int32_t ATimeoutMs, int APayload, const std::string& ASource) {
    FQueue.push_back({AAddress, ATtl, ARound, ATimeoutMs, APayload, ASource});
}

void TNetProbeEngine::Queue(int ATtl, uint32_t ARound, int32_t ATimeoutMs) {
    Queue(FAddress, ATtl, ARound, ATimeoutMs);
}

std::vector<int> TNetProbeEngine::Descriptors() const {
    std::vector<int> Watched;
    for (const TLane& Lane : FLanes) {
        const bool Own = Lane.Transport == TNetProbeTransport::Raw ||
                         Lane.Transport == TNetProbeTransport::Datagram;
        if (Own) {
            Watched.push_back(Lane.Socket.Handle());
        } else if (Lane.Transport == TNetProbeTransport::Helper && FHelper != nullptr &&
                   std::find(Watched.begin(), Watched.end(), FHelper->Descriptor()) ==
                       Watched.end()) {
            Watched.push_back(FHelper->Descriptor());
        }
    }
    return Watched;
}

int TNetProbeEngine::Descriptor() const {
    const std::vector<int> Watched = Descriptors();
    return Watched.empty() ? -1 : Watched.front();
}

std::size_t TNetProbeEngine::InFlight() const {
    std::size_t Count = 0;
    for (const TLane& Lane : FLanes) {
        Count += Lane.Book.Count();
    }
    return Count;
}

std::optional<int64_t> TNetProbeEngine::NextDueNs() const {
    std::optional<int64_t> Due;
    for (const TLane& Lane : FLanes) {
        const auto Deadline = Lane.Book.NextDeadline();
        if (Deadline && (!Due || *Deadline < *Due)) {
            Due = Deadline;
        }
    }
    // Probes to a family not opened yet, or one opened by the process, leave at once; the
    // helper's go at its pace.
    const bool Relayed = FHelper != nullptr;
    // A full helper lets the queue go on only once a probe ends, by answer or deadline.
    if (!FQueue.empty() && !(Relayed && Context().HelperProbes() >= HelperInFlightLimit)) {
        const int64_t SendAt = Context().Clock().SteadyNs() + (Relayed ? TSendRate::IntervalNs : 0);
        Due = Due ? std::min(*Due, SendAt) : SendAt;
    }
    return Due;
}

std::vector<TNetProbeResult> TNetProbeEngine::Process() {
    std::vector<TNetProbeResult> Out;
    SendDue(Out);
    if (FHelper != nullptr) {
        FHelper->Collect();
        ApplyReports(Out);
    }
    for (TLane& Lane : FLanes) {
        if (Lane.Transport == TNetProbeTransport::Helper) {
            ReadRelayed(Lane, Out);
        } else if (Lane.Transport != TNetProbeTransport::None) {
            ReadOwn(Lane, Out);
        }
        ExpireDue(Lane, Out);
    }
    SendDue(Out); // room the answers made at the helper
    return Out;
}

bool TNetProbeEngine::MaySend() {
    if (FHelper == nullptr) {
        return true;
    }
    // The helper refuses sends faster than its pace; keeping to it here spares the wait.
    return Context().HelperProbes() < HelperInFlightLimit &&
           Context().HelperRate().Take(Context().Clock().SteadyNs());
}

void TNetProbeEngine::SendDue(std::vector<TNetProbeResult>& AOut) {
    while (!FQueue.empty() && MaySend()) {
        const TQueued Probe = std::move(FQueue.front());
        FQueue.pop_front();
        SendOne(Probe, AOut);
    }
}

void TNetProbeEngine::SendOne(const TQueued& AProbe, std::vector<TNetProbeResult>& AOut) {
    const auto Fail = [&](int32_t AError) {
        TNetProbeResult Failed = Ended(AProbe.Address, AProbe.Round, AProbe.Ttl, skError);
        Failed.ErrorCode = AError;
        AOut.push_back(std::move(Failed));
    };
    const TNetFamily& Family = TNetFamily::OfAddress(AProbe.Address);
    TNetInFlight Entry;
    uint32_t Scope = 0;
    if (!Family.Destination(AProbe.Address, Entry.Destination, Scope)) {
        Fail(HostNotFound);
        return;
    }
    TLane& Lane = LaneOf(Family, AProbe.Source);
    if (Lane.Transport == TNetProbeTransport::None) {
        try {
            OpenLane(Lane);
        } catch (const ENetSocketError& E) {
            Fail(E.ErrorCode());
            return;
        }
    }
    const TClock& Clock = Context().Clock();
    Entry.Sequence = NextSequence(Lane);
    Entry.Size = static_cast<uint16_t>(std::max(AProbe.Payload, 0));
    Entry.Ttl = AProbe.Ttl;
    Entry.Round = AProbe.Round;
    Entry.TimeoutNs = int64_t{AProbe.TimeoutMs} * TClock::NsPerMs;
    Entry.Address = AProbe.Address;
    TArea Echo{};
    const auto Bytes =
        std::span<const uint8_t>(Echo).first(BuildEcho(Echo, Lane, Entry.Sequence, AProbe.Payload));
    const int32_t Error = Lane.Transport == TNetProbeTransport::Helper
                              ? SendRelayed(Lane, AProbe, Bytes, Entry)
                              : SendOwn(Lane, AProbe, Bytes, Entry);
    if (Error != 0) {
        Fail(Error);
        return;
    }
    Entry.DeadlineNs = Clock.SteadyNs() + Entry.TimeoutNs;
    const bool Relayed = Entry.HelperId != 0;
    Lane.Book.Add(std::move(Entry));
    if (Relayed) {
        ++Context().HelperProbes();
    }
}

int32_t TNetProbeEngine::SendOwn(TLane& ALane, const TQueued& AProbe,
                                 std::span<const uint8_t> ABytes, TNetInFlight& AEntry) {
    const int Tries = ALane.Transport == TNetProbeTransport::Datagram ? DatagramSendTries : 1;
    int32_t Error = 0;
    for (int Try = 0; Try < Tries; ++Try) {
        try {
            // Many destinations mostly share one hop limit: a system call saved per probe.
            if (ALane.HopLimit != AProbe.Ttl) {
                ALane.HopLimit.reset();
                ALane.Socket.SetHopLimit(AProbe.Ttl);
                ALane.HopLimit = AProbe.Ttl;
            }
            AEntry.Trip = TNetRoundTrip::Begin(Context().Clock());
            ALane.Socket.SendToAddress(AProbe.Address, 0, ABytes);
            return 0;
        } catch (const ENetSocketError& E) {
            Error = E.ErrorCode();
        } catch (const ENetException&) {
            Error = -1;
        }
    }
    return Error;
}

int32_t TNetProbeEngine::SendRelayed(TLane& ALane, const TQueued& AProbe,
                                     std::span<const uint8_t> ABytes, TNetInFlight& AEntry) {
    TProbeProtocol::TProbe Probe;
    Probe.Family = ALane.Family->AddressFamily;
    Probe.HopLimit = AProbe.Ttl;
    Probe.WaitMs = static_cast<uint32_t>(
        std::clamp<int32_t>(AProbe.TimeoutMs, 1, static_cast<int32_t>(TProbeProtocol::MaxWaitMs)));
    ALane.Family->Destination(AProbe.Address, Probe.Address, Probe.ScopeId);
    if (!ALane.Source.empty()) {
        uint32_t Scope = 0;
        Probe.Source.emplace();
        if (!ALane.Family->Destination(ALane.Source, *Probe.Source, Scope)) {
            return ErrnoCode(EAFNOSUPPORT);
        }
    }
    Probe.Message.assign(ABytes.begin(), ABytes.end());
    AEntry.Trip = TNetRoundTrip::Begin(Context().Clock());
    // Posted: a step's probes leave without a wait for each report; the reports come
    // before any answer on the channel, and mend the stamp or end the probe.
    const auto Id = FHelper->Post(std::move(Probe));
    if (!Id) {
        return ErrnoCode(ECONNRESET); // the helper is gone
    }
    AEntry.HelperId = *Id;
    std::size_t Index = 0;
    while (&FLanes[Index] != &ALane) {
        ++Index;
    }
    FUnreported[*Id] = {Index, AEntry.Sequence};
    return 0;
}

void TNetProbeEngine::ApplyReports(std::vector<TNetProbeResult>& AOut) {
    for (auto Each = FUnreported.begin(); Each != FUnreported.end();) {
        const auto Report = FHelper->TakeReport(Each->first);
        if (!Report) {
            ++Each;
            continue;
        }
        TLane& Lane = FLanes[Each->second.first];
        TNetProbeBook& Book = Lane.Book;
        const uint16_t Sequence = Each->second.second;
        Each = FUnreported.erase(Each);
        TNetInFlight* Entry = Book.Find(Sequence);
        if (Entry == nullptr || Entry->HelperId != Report->Id) {
            continue; // it ended meanwhile
        }
        if (Report->Error == 0) {
            if (Report->StampNs) {
                Entry->Trip = Entry->Trip.SentAt(*Report->StampNs);
            }
            continue;
        }
        const TNetInFlight Probe = *Book.Take(Sequence);
        --Context().HelperProbes();
        if (Report->Error == EAGAIN) {
            // Faster than the helper's pace after all: it goes again first.
            FQueue.push_front({Probe.Address, Probe.Ttl, Probe.Round,
                               static_cast<int32_t>(Probe.TimeoutNs / TClock::NsPerMs), Probe.Size,
                               Lane.Source});
            continue;
        }
        TNetProbeResult Failed = Ended(Probe.Address, Probe.Round, Probe.Ttl, skError);
        Failed.ErrorCode = ErrnoCode(Report->Error);
        AOut.push_back(std::move(Failed));
    }
}

int32_t TNetProbeEngine::ErrnoCode(int AErrno) const {
    errno = AErrno;
    return Stack().LastSocketError();
}

void TNetProbeEngine::ReadOwn(TLane& ALane, std::vector<TNetProbeResult>& AOut) {
    for (int I = 0; I < ReadLimit && Stack().WaitReadable(ALane.Socket.Handle(), 0) > 0; ++I) {
        TArea Area{};
        std::optional<int32_t> N;
        try {
            N = ALane.Socket.ReceiveInto(Area);
        } catch (const ENetSocketError&) {
            // A report on the error queue also leaves a pending error, which a plain read
            // returns once in a datagram's place; the report is read on the next turn.
            if (ALane.Transport != TNetProbeTransport::Datagram) {
                throw;
            }
            continue;
        }
        if (N) {
            Accept(ALane, Area, *N, ALane.Socket.ReceiveStamp(), AOut);
        }
    }
}

void TNetProbeEngine::ReadRelayed(TLane& ALane, std::vector<TNetProbeResult>& AOut) {
    std::vector<uint32_t> Ids;
    for (const TNetInFlight& P : ALane.Book.Probes()) {
        Ids.push_back(P.HelperId);
    }
    const TNetFamily& Family = *ALane.Family;
    for (const uint32_t Id : Ids) {
        while (const auto Answer = FHelper->Take(Id)) {
            TArea Area{};
            int32_t N = 0;
            if (!Family.RawKeepsHeader) {
                N = Family.SynthesizeReply(Area, Answer->Source.data(),
                                           static_cast<uint8_t>(Answer->HopLimit), Answer->Bytes,
                                           Answer->Bytes.size());
            } else {
                std::copy_n(Answer->Bytes.begin(), std::min(Answer->Bytes.size(), Area.size()),
                            Area.begin());
                N = static_cast<int32_t>(Answer->Bytes.size());
            }
            Accept(ALane, Area, N, Answer->StampNs, AOut);
        }
    }
}

uint16_t TNetProbeEngine::AnswerIdentifier(TLane& ALane) {
    if (!ALane.AnswerIdentifier) {
        ALane.AnswerIdentifier = ALane.Transport == TNetProbeTransport::Helper
                                     ? FHelper->Identifier()
                                     : ALane.Socket.AnswerIdentifier(FIdentifier);
    }
    return *ALane.AnswerIdentifier;
}

void TNetProbeEngine::Accept(TLane& ALane, const TArea& AArea, int32_t AN,
                             std::optional<int64_t> AStampNs, std::vector<TNetProbeResult>& AOut) {
    const TNetFamily& Family = *ALane.Family;
    const auto Sequence = TNetProbeWire::Sequence(Family, AArea, AN);
    const TNetInFlight* Entry = Sequence ? ALane.Book.Find(*Sequence) : nullptr;
    if (Entry == nullptr) {
        return;
    }
    const TProbeMatch::TEcho Echo{Entry->Destination, AnswerIdentifier(ALane), Entry->Sequence};
    const auto Answer = TNetProbeWire::Decode(Family, AArea, AN, Echo);
    const auto Probe = Answer ? ALane.Book.Take(*Sequence) : std::nullopt;
    if (!Probe) {
        return;
    }
    Forget(*Probe, true);
    const TClock& Clock = Context().Clock();
    const int64_t End = Clock.SteadyNs();
    const int64_t Span = Probe->Trip.Ns(AStampNs, End, Clock.WallNs());
    TNetProbeResult Result = Ended(Probe->Address, Probe->Round, Probe->Ttl, skTimedOut);
    if (Span <= Probe->TimeoutNs) {
        Result.Kind = Answer->Kind;
        Result.From = Answer->From;
        Result.ReplyTtl = Answer->ReplyTtl;
        Result.RoundTripNs = Span;
        const auto Header =
            Family.Version == Id_IPv6 ? TIcmp6Wire::HeaderSize : std::size_t{AArea[0] & 15U} * 4;
        Result.Bytes = AN - static_cast<int32_t>(Header);
    }
    AOut.push_back(std::move(Result));
}

void TNetProbeEngine::ExpireDue(TLane& ALane, std::vector<TNetProbeResult>& AOut) {
    for (const TNetInFlight& P : ALane.Book.Expire(Context().Clock().SteadyNs())) {
        Forget(P);
        AOut.push_back(Ended(P.Address, P.Round, P.Ttl, skTimedOut));
    }
}

void TNetProbeEngine::Forget(const TNetInFlight& AProbe, bool AAnswered) {
    if (AProbe.HelperId != 0) {
        --Context().HelperProbes();
        FUnreported.erase(AProbe.HelperId);
        if (FHelper != nullptr) {
            AAnswered ? FHelper->Answered(AProbe.HelperId) : FHelper->Forget(AProbe.HelperId);
        }
    }
}
