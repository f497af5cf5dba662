// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "OutageNotification.h"
#include "TOutage.h"

#include <QDBusConnection>
#include <QObject>

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

class QDBusPendingCallWatcher;
class TClock;

// Shows each outage as one desktop notification (the notification service on the
// session bus): raised with the alarm, updated in place while the outage lasts,
// replaced by its end. Every call is asynchronous, and a missing bus or service
// only means that nothing is shown: no retries, no messages, nothing else changes.
class TDesktopNotifier : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds DefaultUpdateGap{60 * 1000};
    // Lets an end-to-end test see an update without waiting a minute.
    static constexpr const char* UpdateGapVariable = "ZIRKO_TEST_NOTIFY_GAP_MS";

    // Bus is where the service is asked (the session bus in the program); the
    // update gap runs on Clock's steady readings.
    TDesktopNotifier(const QDBusConnection& Bus, const TClock& Clock, QObject* parent = nullptr);
    // No bus until Attach: the program connects once its window is drawn, as connecting
    // may have to start a bus first. What comes before shows nothing.
    explicit TDesktopNotifier(const TClock& Clock, QObject* parent = nullptr);
    // Takes Bus where the notifier has none yet; a notifier on a bus stays on it.
    void Attach(const QDBusConnection& Bus);

    // The shortest span between two notifications of one outage.
    void SetUpdateGap(std::chrono::milliseconds Gap) { FGap = Gap; }
    std::chrono::milliseconds UpdateGap() const { return FGap; }
    // The gap UpdateGapVariable asks for, in ms; none where unset or not a positive number.
    static std::optional<std::chrono::milliseconds> UpdateGapFromEnvironment();

    void OutageBegan(const TOutage& Outage);
    void OutageLasts(const TOutage& Outage);
    void OutageEnded(const TOutage& Outage);

    // The service's id of the current outage's notification; 0 while it has none.
    uint32_t NotificationId() const { return FId; }

signals:
    // The user chose "Mostra" on one of Zirko's notifications.
    void ShowRequested();

private slots:
    void ActionInvoked(uint Id, const QString& ActionKey);
    void NotificationClosed(uint Id, uint Reason);

private:
    void Send(const TOutageNotification& Content);
    void Replied(QDBusPendingCallWatcher& Call, uint64_t Outage);
    void Remember(uint32_t Id);

    QDBusConnection FBus;
    const TClock& FClock;
    std::chrono::milliseconds FGap = DefaultUpdateGap;
    // One count per outage, so a late reply cannot land on the next one.
    uint64_t FOutage = 0;
    bool FShown = false;    // the current outage has (or awaits) a notification
    bool FClosed = false;   // and the user has closed it: no updates pop it up again
    bool FAwaiting = false; // its last call has not been answered yet
    uint32_t FId = 0;
    int64_t FSentMs = 0; // steady
    // What to send as soon as the id to replace is known.
    std::optional<TOutageNotification> FQueued;
    // Ids whose "Mostra" is ours, newest last; the service forgets closed ones.
    std::deque<uint32_t> FOwn;
};
