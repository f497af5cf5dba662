// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetComponent.h"

#include "ENetExceptions.h"
#include "TNetStack.h"

#include <mutex>

namespace {
int GComponentCount = 0;
} // namespace

TNetCriticalSection& TNetComponent::ComponentLock() {
    static TNetCriticalSection Lock;
    return Lock;
}

int TNetComponent::ComponentCount() {
    std::lock_guard Guard(ComponentLock());
    return GComponentCount;
}

TNetComponent::TNetComponent() {
    std::lock_guard Guard(ComponentLock());
    if (GComponentCount == 0) {
        // The count goes up only once the stack exists: a component whose construction
        // fails is never destroyed, so it must not stay counted.
        if (!StackClass()) {
            throw ENetException("Stack Class is undefined.");
        }
        if (GlobalStack) {
            throw ENetException("Stack already created.");
        }
        GlobalStack = StackClass()();
    }
    ++GComponentCount;
}

TNetComponent::~TNetComponent() {
    std::lock_guard Guard(ComponentLock());
    if (--GComponentCount == 0) {
        GlobalStack.reset();
    }
}
