// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TProbeProtocol.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// The window's side of zirko-socket, the helper that alone holds raw ICMP sockets: starts it
// with a socket pair, asks it to send echo requests and collects the answers to them. The
// window never holds a raw socket of the helper's; each probe has a number of its own, so
// several may be in flight at once.
class TNetSocketHelper {
public:
    TNetSocketHelper() = default;
    ~TNetSocketHelper();
    TNetSocketHelper(const TNetSocketHelper&) = delete;
    TNetSocketHelper& operator=(const TNetSocketHelper&) = delete;

    // The program's start-up. A root process whose effective set holds CAP_NET_RAW opens its
    // own sockets and changes nothing. Any other process first gives up every capability a
    // file capability on its binary may have granted, then starts the helper where one is
    // found. False when a capability could not be given up: the program must not go on. Call
    // it from the main thread before any other thread starts: the helper ends with that thread.
    bool StartForProgram();

    // Starts the helper at APath and waits for its hello; false (errno set) when it could not
    // be started or did not answer.
    bool Start(const std::string& APath);
    // Closes the pair, which ends the helper, and collects it.
    void Stop();
    bool Running() const;
    pid_t Pid() const;
    // 0 when the helper sends for AFamily, else the errno its raw socket gave (EPERM without
    // the right); nothing when no helper serves.
    std::optional<int> FamilyStatus(int AFamily) const;
    // The identifier the helper writes into every request it sends, from its hello.
    uint16_t Identifier() const;

    struct TSent {
        uint32_t Id = 0;
        int Error = 0;                  // 0, or the errno of the refusal or of the send
        std::optional<int64_t> StampNs; // CLOCK_REALTIME right before the send
    };
    // Sends one probe (its Id is set here). Waits for the helper's pace rather than failing
    // on it. Nothing when the helper no longer answers: it is stopped then.
    std::optional<TSent> Send(TProbeProtocol::TProbe AProbe);
    // Sends one probe without waiting for its report, so that many leave at one wake-up of
    // each side; its Id, or nothing when the helper is gone. The report comes with a later
    // Collect (or any read of the channel) for TakeReport; the caller keeps to the pace.
    std::optional<uint32_t> Post(TProbeProtocol::TProbe AProbe);
    // The report of posted probe AId, once it came.
    std::optional<TSent> TakeReport(uint32_t AId);
    // An answer to AId was taken: the helper forgot the probe when it forwarded it.
    void Answered(uint32_t AId);
    // Whether a datagram for probe AId is there, waiting up to AMilliseconds for one
    // (0 polls once, -2 waits without limit).
    bool WaitFor(uint32_t AId, int32_t AMilliseconds);
    // The oldest datagram for probe AId, if one came.
    std::optional<TProbeProtocol::TAnswer> Take(uint32_t AId);
    // The helper stops waiting for answers to AId; any that came are dropped.
    void Forget(uint32_t AId);
    // The channel, for an event loop to watch; -1 when no helper runs.
    int Descriptor() const;
    // Queues what the channel holds now, without waiting, for Take to hand out.
    void Collect();

    // The helper beside AExecutable, where neither that folder nor the file can be written by
    // another user, else in the install's libexec folder; empty when neither will do.
    static std::string Locate(const std::string& AExecutable);

private:
    enum class TRead : uint8_t { Got, TimedOut, Broken };
    // One answer from the channel, waiting up to AMs (-1 without limit): a datagram for a live
    // probe goes into the queue, a hello or send report into AReport.
    TRead ReadOne(int AMs, std::optional<TProbeProtocol::TAnswer>* AReport);
    bool Live(uint32_t AId) const;
    void StopLocked();

    mutable std::mutex FLock;
    int FChannel = -1;
    pid_t FPid = -1;
    uint32_t FNextId = 1;
    int FStatus4 = 0;
    int FStatus6 = 0;
    uint16_t FIdentifier = 0;
    std::unordered_set<uint32_t> FLive;
    std::unordered_set<uint32_t> FPosted; // their reports still to come
    std::unordered_map<uint32_t, TSent> FReports;
    std::deque<TProbeProtocol::TAnswer> FQueue;
};
