// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// Runs lookups that may wait on the network (a host name, the name of an address) one after
// the other on a thread of their own, and hands each result to the thread this object lives
// on. The thread is detached: a lookup stuck on an unreachable resolver costs neither the
// window nor the program's end a wait; a result that comes after this object is gone is
// dropped.
class TLookupThread : public QObject {
    Q_OBJECT

public:
    // What a lookup found, or why it found nothing.
    struct TResult {
        bool Found = false;
        QString Text;
    };
    using TJob = std::function<TResult()>;
    using TDone = std::function<void(const TResult&)>;

    explicit TLookupThread(QObject* AParent = nullptr);
    ~TLookupThread() override;

    // AJob runs on the lookup thread, ADone afterwards on this object's thread.
    void Run(TJob AJob, TDone ADone);

private:
    struct TShared;
    static void Work(const std::shared_ptr<TShared>& AShared);

    std::shared_ptr<TShared> FShared;
};
