// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTerminationWatch.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

TTerminationWatch::TTerminationWatch(std::function<void(int)> OnTerminate, QObject* Parent)
    : QObject(Parent), FOnTerminate(std::move(OnTerminate)) {
    if (FWriteEnd >= 0 || pipe2(FPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return; // another watch is active, or no pipe: signals keep their default
    }
    FWriteEnd = FPipe[1];
    FNotifier = new QSocketNotifier(FPipe[0], QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, [this] { Drain(); });
    struct sigaction action {};
    action.sa_handler = &TTerminationWatch::Handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : Signals) {
        sigaction(number, &action, nullptr);
    }
}

TTerminationWatch::~TTerminationWatch() {
    if (FNotifier == nullptr) {
        return;
    }
    for (const int number : Signals) {
        std::signal(number, SIG_DFL);
    }
    FWriteEnd = -1;
    close(FPipe[0]);
    close(FPipe[1]);
}

void TTerminationWatch::Handler(int Signal) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(Signal);
    // Async-signal-safe: a full pipe only loses a repeat of a pending request.
    [[maybe_unused]] const ssize_t written = write(FWriteEnd, &byte, 1);
    errno = saved;
}

void TTerminationWatch::Drain() {
    unsigned char byte = 0;
    int last = 0;
    while (read(FPipe[0], &byte, 1) == 1) {
        last = byte;
    }
    if (last != 0 && FOnTerminate) {
        FOnTerminate(last);
    }
}
