// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetCriticalSection.h"

// Base of every networking component: the first live one makes GlobalStack, the last one
// destroys it.
class TNetComponent {
public:
    TNetComponent();
    virtual ~TNetComponent();
    TNetComponent(const TNetComponent&) = delete;
    TNetComponent& operator=(const TNetComponent&) = delete;

    static int ComponentCount();
    static TNetCriticalSection& ComponentLock();
};
