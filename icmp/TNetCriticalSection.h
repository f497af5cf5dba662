#pragma once

#include <mutex>

// A lock with the Enter/Leave pair of the design; also usable with std::lock_guard.
class TNetCriticalSection {
public:
    void Enter() { FMutex.lock(); }
    void Leave() { FMutex.unlock(); }
    void lock() { Enter(); }
    void unlock() { Leave(); }

private:
    std::mutex FMutex;
};
