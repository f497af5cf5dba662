// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetContext.h"
#include "TNetStackBSDBase.h"
#include "TSteppingClock.h"

#include <array>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <string>
#include <vector>

// A scripted stack under a hand-driven clock: datagrams arrive at chosen times, calls can be
// made to fail with chosen codes, and what the client does is recorded.
class TFakeStack : public TNetStackBSDBase {
public:
    struct TArrival {
        uint32_t At; // clock reading when the datagram becomes readable
        std::vector<uint8_t> Bytes;
        std::optional<int64_t> StampNs{}; // the kernel's receive stamp, if it gave one
        int64_t StepNs = 0; // the wall clock is set by this much once the stamp has been read
    };

    // The test's script, which it still reaches after a component made the stack.
    struct TScript {
        // Steady milliseconds from 1000; the wall clock, which stamps arrivals, runs along
        // from 1,765,000,000 s until a StepNs sets it.
        TSteppingClock Clock = StartClock();
        std::deque<TArrival> Arrivals;
        std::map<std::string, std::string> Hosts;
        int32_t FailSocket = 0; // error code for socket(), 0 = succeed
        int32_t FailSend = 0;
        int32_t FailPoll = 0;
        ssize_t SendShortBy = 0;
        int NextId = 100;
        int Opened = 0;
        int Closed = 0;
        std::vector<int> Shutdowns;
        std::vector<std::vector<uint8_t>> Sent;
        std::vector<std::string> SentTo;
        std::vector<int> SentPorts;
        std::vector<int32_t> TtlsSet; // IPv4 TTLs and IPv6 unicast hop limits
        std::vector<int> TtlLevels;   // IPPROTO_IP or IPPROTO_IPV6, one per TtlsSet entry
        std::vector<int> Families;    // of the sockets opened
        std::vector<int> PollTimeouts;
        int Lookups = 0;

        uint32_t Now() const { return static_cast<uint32_t>(Clock.SteadyMs()); }
        // Where the kernel would stamp an arrival at steady time AMs.
        int64_t StampAt(uint32_t AMs) const {
            return Clock.WallNs() - Clock.SteadyNs() + static_cast<int64_t>(AMs) * TClock::NsPerMs;
        }
        static TSteppingClock StartClock() {
            TSteppingClock Start(CalendarTime(2025, 12, 6, 5, 33, 20));
            Start.SetSteadyMs(1000);
            Start.SetWallMs(1765000000LL * 1000 + 1000);
            return Start;
        }
    };

    explicit TFakeStack(TScript& AScript) : FScript(AScript) {}
    TScript& Script() const { return FScript; }

    std::string LookupHostName(const std::string& AName) override {
        ++Script().Lookups;
        const auto It = Script().Hosts.find(AName);
        if (It == Script().Hosts.end()) {
            ThrowSocketError(11001);
        }
        return It->second;
    }
    int32_t LastSocketError() const override { return FLastError; }
    int32_t ReceiveStamped(TSocketId AId, std::span<uint8_t> AArea,
                           std::optional<int64_t>& AStampNs) override {
        auto& S = Script();
        const std::optional<int64_t> Stamp =
            S.Arrivals.empty() ? std::nullopt : S.Arrivals.front().StampNs;
        S.Clock.StepWallNs(S.Arrivals.empty() ? 0 : S.Arrivals.front().StepNs);
        const int32_t N = ReceiveDatagram(AId, AArea);
        AStampNs = Stamp;
        return N;
    }

protected:
    int WSCloseSocket(TSocketId) override {
        ++Script().Closed;
        return 0;
    }
    ssize_t WSRecv(TSocketId, void* ABuffer, size_t ALength, int) override {
        auto& S = Script();
        const auto Bytes = S.Arrivals.front().Bytes;
        S.Arrivals.pop_front();
        std::memcpy(ABuffer, Bytes.data(), std::min(ALength, Bytes.size()));
        return static_cast<ssize_t>(Bytes.size());
    }
    int WSShutdown(TSocketId AId, int) override {
        Script().Shutdowns.push_back(AId);
        return 0;
    }
    ssize_t WSSendTo(TSocketId, const void* ABuffer, size_t ALength, int,
                     const sockaddr_in& ATo) override {
        auto& S = Script();
        if (S.FailSend != 0) {
            return Fail(S.FailSend);
        }
        const auto* P = static_cast<const uint8_t*>(ABuffer);
        S.Sent.emplace_back(P, P + ALength);
        const auto* A = reinterpret_cast<const uint8_t*>(&ATo.sin_addr);
        S.SentTo.push_back(AddressToText({A[0], A[1], A[2], A[3]}));
        S.SentPorts.push_back(ntohs(ATo.sin_port));
        return static_cast<ssize_t>(ALength) - S.SendShortBy;
    }
    ssize_t WSSendTo6(TSocketId, const void* ABuffer, size_t ALength, int,
                      const sockaddr_in6& ATo) override {
        auto& S = Script();
        if (S.FailSend != 0) {
            return Fail(S.FailSend);
        }
        const auto* P = static_cast<const uint8_t*>(ABuffer);
        S.Sent.emplace_back(P, P + ALength);
        std::array<uint8_t, 16> A{};
        std::memcpy(A.data(), &ATo.sin6_addr, A.size());
        S.SentTo.push_back(Address6ToText(A));
        S.SentPorts.push_back(ntohs(ATo.sin6_port));
        return static_cast<ssize_t>(ALength) - S.SendShortBy;
    }
    TSocketId WSSocket(int AFamily, int, int) override {
        auto& S = Script();
        if (S.FailSocket != 0) {
            return Fail(S.FailSocket);
        }
        S.Families.push_back(AFamily);
        ++S.Opened;
        return S.NextId++;
    }
    int WSSetSockOpt(TSocketId, int ALevel, int AOption, const void* AValue, unsigned) override {
        if ((ALevel == IPPROTO_IP && AOption == IP_TTL) ||
            (ALevel == IPPROTO_IPV6 && AOption == IPV6_UNICAST_HOPS)) {
            int32_t V = 0;
            std::memcpy(&V, AValue, sizeof(V));
            Script().TtlsSet.push_back(V);
            Script().TtlLevels.push_back(ALevel);
        }
        return 0;
    }
    // Readable when the next datagram has arrived by the end of the wait; the clock moves
    // to that moment, or by the whole timeout when nothing comes.
    int WSPoll(TSocketId, int ATimeoutMs) override {
        auto& S = Script();
        S.PollTimeouts.push_back(ATimeoutMs);
        if (S.FailPoll != 0) {
            return Fail(S.FailPoll);
        }
        const uint32_t Now = S.Now();
        if (!S.Arrivals.empty() && (ATimeoutMs < 0 || S.Arrivals.front().At <= Now + ATimeoutMs)) {
            S.Clock.Advance(std::max(Now, S.Arrivals.front().At) - Now);
            return 1;
        }
        S.Clock.Advance(std::max(ATimeoutMs, 0));
        return 0;
    }

private:
    int Fail(int32_t ACode) {
        FLastError = ACode;
        return -1;
    }
    TScript& FScript;
    int32_t FLastError = 0;
};

// A network context over a scripted stack, whose clock is the script's: what a test of the
// network code and of the pages above it builds in place of the program's own.
struct TFakeNet {
    TFakeStack::TScript Script;
    TNetContext Net{[this] { return std::make_unique<TFakeStack>(Script); }, Script.Clock};

    // A fresh script under the same context, as if the test began again.
    void Reset() { Script = TFakeStack::TScript{}; }
};
