// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TSocketRequest.h"

#include <optional>
#include <span>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zirko::test {

// zirko-socket started the way the window starts it (its end of a sequenced-packet pair as
// descriptor 3, an empty environment), with the window's end open to raw bytes so that tests
// can send it what the window never would. The helper is killed and collected at the end.
class THelperChannel {
public:
    // APrefix runs first (e.g. setpriv to change the user); it must exec the helper in turn.
    explicit THelperChannel(const std::string& AHelper, std::vector<std::string> APrefix = {});
    ~THelperChannel();
    THelperChannel(const THelperChannel&) = delete;
    THelperChannel& operator=(const THelperChannel&) = delete;

    struct TAnswer {
        TSocketRequest::TReply Reply;
        int Fd = -1; // owned by the caller
    };
    // Sends the bytes (with ASendFd attached when >= 0) and reads one answer; nothing when the
    // helper closed the channel or did not answer within two seconds.
    std::optional<TAnswer> Ask(std::span<const uint8_t> ABytes, int ASendFd = -1) const;
    std::optional<TAnswer> Ask(const TSocketRequest::TRequest& ARequest) const;

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
