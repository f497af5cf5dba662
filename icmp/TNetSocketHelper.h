// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

// The window's side of zirko-socket, the helper that alone holds the raw-socket right: starts
// it with a socket pair and asks it for raw ICMP sockets. One helper per process.
class TNetSocketHelper {
public:
    struct TAnswer {
        int Id = -1;   // the descriptor, or -1
        int Error = 0; // errno of the refusal or of the helper's socket call
    };

    // The program's start-up choice. A process whose effective set already holds CAP_NET_RAW
    // and runs as root opens raw sockets itself: moving one right out of a root process gains
    // nothing. Any other process starts the helper when one is found, and then gives up every
    // capability a leftover file capability on the window's binary may have granted. Call it
    // from the main thread before any other thread starts: the helper ends with that thread.
    static void StartForProgram();

    // Starts the helper at APath; false (errno set) when it could not be started.
    static bool Start(const std::string& APath);
    // Closes the pair, which ends the helper, and collects it.
    static void Stop();
    static bool Running();
    static pid_t Pid();

    // A socket from the helper, or nothing when no helper serves (never started, or gone).
    static std::optional<TAnswer> Open(int AFamily, int AType, int AProtocol);

    // The helper beside AExecutable (a build tree), else in the install's libexec folder;
    // empty when neither is an executable file.
    static std::string Locate(const std::string& AExecutable);
};
