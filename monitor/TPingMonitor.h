#pragma once

#include "TPingPage.h"

#include <QObject>

#include <chrono>

class TNetIcmpClient;
struct TReplyStatus;

// The handlers of the Ping page: the five-ping burst, the reply log and the
// statistics, "Clear log", and the automatic monitoring schedule. The window
// binds its events to them; the shared state lives in PingState.h.
class TPingMonitor : public QObject {
public:
    explicit TPingMonitor(const TPingPage& Page, QObject* parent = nullptr);

    void btn_pingClick();
    void ICMPReply(TNetIcmpClient& ASender, const TReplyStatus& AReplyStatus);
    void btn_autoClick();
    void btn_clear_logClick();
    void T_MinutiTimer();
    void T_OgniTimer();
    void TimerTimer();

    const TPingPage& Page() const { return FPage; }

    // Length of the schedule's minute; tests shorten it to run a schedule in seconds.
    std::chrono::milliseconds MinuteLength() const { return FMinuteLength; }
    void SetMinuteLength(std::chrono::milliseconds Length) { FMinuteLength = Length; }
    // Pause after each ping of a burst.
    std::chrono::milliseconds BurstPause() const { return FBurstPause; }
    void SetBurstPause(std::chrono::milliseconds Pause) { FBurstPause = Pause; }

    static constexpr int PaneLineBound = 10000;
    static constexpr int BurstPings = 5;
    static constexpr int32_t ReceiveTimeoutMs = 1000;

private:
    // Steps 1 and 2 of preparing the target, shared by the burst and the timer.
    void PrepareTarget();
    // Step 3, inside the caller's protected region.
    void SetTargetHost();
    void AppendToPane(const QString& Line);
    void ShowTotalTime();
    void ShowAverageAndLimit();
    void CountLossAndAlarm(int32_t ReplyBytes);
    void ShowCounters();
    void SetTrayImage(int Index);
    void RaiseAlarm();

    TPingPage FPage;
    std::chrono::milliseconds FMinuteLength{60 * 1000};
    std::chrono::milliseconds FBurstPause{500};
    bool FInTimerTimer = false;
};
