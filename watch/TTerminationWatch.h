// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <csignal>
#include <functional>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (the session ending, a service manager
// stopping the program) into a call on the GUI thread, so the program can
// close its window and write the log's shut-down block instead of dying.
// One watch per process; the signal handler only writes to a pipe.
class TTerminationWatch : public QObject {
public:
    explicit TTerminationWatch(std::function<void(int Signal)> OnTerminate,
                               QObject* Parent = nullptr);
    ~TTerminationWatch() override;
    TTerminationWatch(const TTerminationWatch&) = delete;
    TTerminationWatch& operator=(const TTerminationWatch&) = delete;

    static constexpr int Signals[] = {SIGTERM, SIGINT, SIGHUP};

private:
    static void Handler(int Signal);
    void Drain();

    std::function<void(int)> FOnTerminate;
    int FPipe[2] = {-1, -1};
    QSocketNotifier* FNotifier = nullptr;
    static inline int FWriteEnd = -1;
};
