// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TSendRate.h"

#include "TClock.h"
#include "TNetCriticalSection.h"
#include "TNetTypes.h"

#include <functional>
#include <memory>

class TNetResponsiveWait;
class TNetSocketHelper;
class TNetStack;

// Makes the stack object; an empty one means no stack class is registered.
using TNetStackClass = std::function<std::unique_ptr<TNetStack>()>;

// What every network component of one program shares: the stack object with the count of
// the components that keep it alive, which ICMP sockets may be opened, the helper that sends
// for them and the clock their round trips are read on. The program makes one and hands it
// to its components; a test makes its own with fakes.
class TNetContext {
public:
    explicit TNetContext(TNetStackClass AStackClass = SystemStack(),
                         const TClock& AClock = TClock::System());
    ~TNetContext();
    TNetContext(const TNetContext&) = delete;
    TNetContext& operator=(const TNetContext&) = delete;

    // The operating system's own sockets.
    static TNetStackClass SystemStack();
    void SetStackClass(TNetStackClass AClass) { FStackClass = std::move(AClass); }

    // The live stack object; only while a component keeps it.
    TNetStack& Stack() const { return *FStack; }
    bool HasStack() const { return FStack != nullptr; }
    // A stack object put in place before any component exists (refused by the first one).
    void AdoptStack(std::unique_ptr<TNetStack> AStack);

    // The first component makes the stack, the last one frees it.
    void EnterComponent();
    void LeaveComponent();
    int ComponentCount() const;

    const TClock& Clock() const { return FClock; }

    TNetIcmpSocketPolicy IcmpSocketPolicy() const { return FPolicy; }
    void SetIcmpSocketPolicy(TNetIcmpSocketPolicy APolicy) { FPolicy = APolicy; }

    // The helper raw sockets come from; none means the process opens its own. It must
    // outlive every component of this context.
    TNetSocketHelper* Helper() const { return FHelper; }
    void SetHelper(TNetSocketHelper* AHelper) { FHelper = AHelper; }

    // Probes that the probe engines of this context have waiting at the helper, and
    // the one pace of their sends: the helper bounds and paces the whole program,
    // so two traces at once must share what one alone may use.
    std::size_t& HelperProbes() { return FHelperProbes; }
    TSendRate& HelperRate() { return FHelperRate; }

    // The one responsive-wait component; a second live one is refused.
    void RegisterResponsiveWait(TNetResponsiveWait& AWait);
    void UnregisterResponsiveWait(const TNetResponsiveWait& AWait);
    TNetResponsiveWait* ResponsiveWait() const;

private:
    TNetStackClass FStackClass;
    const TClock& FClock;
    mutable TNetCriticalSection FLock;
    std::unique_ptr<TNetStack> FStack;
    int FComponentCount = 0;
    TNetIcmpSocketPolicy FPolicy = TNetIcmpSocketPolicy::RawThenDatagram;
    TNetSocketHelper* FHelper = nullptr;
    TNetResponsiveWait* FResponsiveWait = nullptr;
    std::size_t FHelperProbes = 0;
    TSendRate FHelperRate;
};
