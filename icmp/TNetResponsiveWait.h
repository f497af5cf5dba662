// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

class TNetContext;

class TNetBaseComponent {
public:
    TNetBaseComponent() = default;
    virtual ~TNetBaseComponent() = default;
    TNetBaseComponent(const TNetBaseComponent&) = delete;
    TNetBaseComponent& operator=(const TNetBaseComponent&) = delete;
};

class TNetResponsiveWaitBase : public TNetBaseComponent {
public:
    // Whether a wait may give way to the application. No socket wait consults it: every
    // wait blocks uninterrupted, which is also what this base answers.
    virtual bool UseResponsiveWait() const { return false; }
};

// The program's one responsive-wait component, registered with its network context; a
// second live one is refused.
class TNetResponsiveWait : public TNetResponsiveWaitBase {
public:
    explicit TNetResponsiveWait(TNetContext& AContext);
    ~TNetResponsiveWait() override;

    bool Active() const { return FActive; }
    void SetActive(bool AValue) { FActive = AValue; }
    bool ApplicationHasPriority() const { return FApplicationHasPriority; }
    void SetApplicationHasPriority(bool AValue) { FApplicationHasPriority = AValue; }
    int32_t IdleTimeOut() const { return FIdleTimeOut; }
    void SetIdleTimeOut(int32_t AValue) { FIdleTimeOut = AValue; }
    bool OnlyWhenIdle() const { return FOnlyWhenIdle; }
    void SetOnlyWhenIdle(bool AValue) { FOnlyWhenIdle = AValue; }

private:
    TNetContext& FContext;
    bool FActive = true;
    bool FApplicationHasPriority = true;
    int32_t FIdleTimeOut = 250;
    bool FOnlyWhenIdle = true;
};
