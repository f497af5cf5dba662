// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TProbeProtocol.h"

#include <optional>
#include <span>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zirko::test {

// zirko-socket started the way the window starts it (its end of a sequenced-packet pair as
// descriptor 3, an empty environment), with the window's end open to raw bytes so that tests
// can send it what the window never would. The helper is killed and collected at the end.
// Its hello is the first answer Next() returns.
class THelperChannel {
public:
    // APrefix runs first (e.g. setpriv to change the user); it must exec the helper in turn.
    explicit THelperChannel(const std::string& AHelper, std::vector<std::string> APrefix = {});
    ~THelperChannel();
    THelperChannel(const THelperChannel&) = delete;
    THelperChannel& operator=(const THelperChannel&) = delete;

    struct TAnswer {
        TProbeProtocol::TAnswer Answer;
        int Fd = -1; // a descriptor that came along (the helper sends none); owned by the caller
    };
    // Sends the bytes (with ASendFd attached when >= 0); false when the channel is closed.
    bool Send(std::span<const uint8_t> ABytes, int ASendFd = -1) const;
    // The next answer within AMs; nothing when the helper closed the channel or said nothing.
    std::optional<TAnswer> Next(int AMs = 2000) const;
    // Sends and reads answers until the send report of AId (datagrams before it are dropped).
    std::optional<TAnswer> Ask(std::span<const uint8_t> ABytes, uint32_t AId,
                               int ASendFd = -1) const;

    // Closes the window's end and waits up to AMs for the helper to end; its exit status, or
    // nothing when it is still running.
    std::optional<int> CloseAndWait(int AMs);

    int Fd() const { return FFd; }
    pid_t Pid() const { return FPid; }

private:
    int FFd = -1;
    pid_t FPid = -1;
};

// The fields of /proc/PID/status named AKey ("CapEff", "State", ...); empty when the process
// is gone.
std::string ProcStatusField(pid_t APid, const std::string& AKey);

} // namespace zirko::test
