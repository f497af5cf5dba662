// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetResponsiveWait.h"

#include "ENetExceptions.h"
#include "TNetComponent.h"

#include <mutex>

namespace {
TNetResponsiveWait* GRegistered = nullptr;
} // namespace

TNetResponsiveWait::TNetResponsiveWait() {
    std::lock_guard Guard(TNetComponent::ComponentLock());
    if (GRegistered != nullptr) {
        throw ENetException("Only one TNetResponsiveWait can exist per application.");
    }
    GRegistered = this;
}

TNetResponsiveWait::~TNetResponsiveWait() {
    std::lock_guard Guard(TNetComponent::ComponentLock());
    if (GRegistered == this) {
        GRegistered = nullptr;
    }
}

TNetResponsiveWait* TNetResponsiveWait::Registered() {
    std::lock_guard Guard(TNetComponent::ComponentLock());
    return GRegistered;
}
