// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>

// The socket code's lock: Enter/Leave by name, lock/unlock for std::lock_guard.
class TNetCriticalSection {
public:
    void Enter() { FMutex.lock(); }
    void Leave() { FMutex.unlock(); }
    void lock() { Enter(); }
    void unlock() { Leave(); }

private:
    std::mutex FMutex;
};
