// SPDX-License-Identifier: GPL-3.0-or-later
#include "TLookupThread.h"

#include <QMetaObject>

#include <deque>
#include <mutex>
#include <thread>
#include <utility>

struct TLookupThread::TShared {
    std::mutex Lock;
    QObject* Owner = nullptr; // null once the owner is going
    std::deque<std::pair<TJob, TDone>> Jobs;
    bool Working = false;
};

TLookupThread::TLookupThread(QObject* AParent)
    : QObject(AParent), FShared(std::make_shared<TShared>()) {
    FShared->Owner = this;
}

TLookupThread::~TLookupThread() {
    // Under the lock, so that no result is being posted to this object while it goes.
    std::lock_guard Guard(FShared->Lock);
    FShared->Owner = nullptr;
    FShared->Jobs.clear();
}

void TLookupThread::Run(TJob AJob, TDone ADone) {
    std::lock_guard Guard(FShared->Lock);
    FShared->Jobs.emplace_back(std::move(AJob), std::move(ADone));
    if (!FShared->Working) {
        FShared->Working = true;
        std::thread([Shared = FShared] { Work(Shared); }).detach();
    }
}

void TLookupThread::Work(const std::shared_ptr<TShared>& AShared) {
    for (;;) {
        std::unique_lock Guard(AShared->Lock);
        if (AShared->Jobs.empty() || AShared->Owner == nullptr) {
            AShared->Working = false;
            return;
        }
        auto [Job, Done] = std::move(AShared->Jobs.front());
        AShared->Jobs.pop_front();
        Guard.unlock();
        const TResult Result = Job();
        Guard.lock();
        if (AShared->Owner != nullptr) {
            QMetaObject::invokeMethod(
                AShared->Owner, [Done = std::move(Done), Result] { Done(Result); },
                Qt::QueuedConnection);
        }
    }
}
