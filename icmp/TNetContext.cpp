// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetContext.h"

#include "ENetExceptions.h"
#include "TNetStackLinux.h"

#include <mutex>

TNetContext::TNetContext(TNetStackClass AStackClass, const TClock& AClock)
    : FStackClass(std::move(AStackClass)), FClock(AClock) {}

TNetContext::~TNetContext() = default;

TNetStackClass TNetContext::SystemStack() {
    return [] { return std::make_unique<TNetStackLinux>(); };
}

void TNetContext::AdoptStack(std::unique_ptr<TNetStack> AStack) {
    std::lock_guard Guard(FLock);
    FStack = std::move(AStack);
}

void TNetContext::EnterComponent() {
    std::lock_guard Guard(FLock);
    if (FComponentCount == 0) {
        // The count goes up only once the stack exists: a component whose construction
        // fails is never destroyed, so it must not stay counted.
        if (!FStackClass) {
            throw ENetException("Stack Class is undefined.");
        }
        if (FStack) {
            throw ENetException("Stack already created.");
        }
        FStack = FStackClass();
    }
    ++FComponentCount;
}

void TNetContext::LeaveComponent() {
    std::lock_guard Guard(FLock);
    if (--FComponentCount == 0) {
        FStack.reset();
    }
}

int TNetContext::ComponentCount() const {
    std::lock_guard Guard(FLock);
    return FComponentCount;
}

void TNetContext::RegisterResponsiveWait(TNetResponsiveWait& AWait) {
    std::lock_guard Guard(FLock);
    if (FResponsiveWait != nullptr) {
        throw ENetException("Only one TNetResponsiveWait can exist per application.");
    }
    FResponsiveWait = &AWait;
}

void TNetContext::UnregisterResponsiveWait(const TNetResponsiveWait& AWait) {
    std::lock_guard Guard(FLock);
    if (FResponsiveWait == &AWait) {
        FResponsiveWait = nullptr;
    }
}

TNetResponsiveWait* TNetContext::ResponsiveWait() const {
    std::lock_guard Guard(FLock);
    return FResponsiveWait;
}
