// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetContext.h"

class TNetStack;

// Base of every networking component: the first live one of a context makes its stack, the
// last one destroys it.
class TNetComponent {
public:
    explicit TNetComponent(TNetContext& AContext);
    virtual ~TNetComponent();
    TNetComponent(const TNetComponent&) = delete;
    TNetComponent& operator=(const TNetComponent&) = delete;

    TNetContext& Context() const { return FContext; }
    TNetStack& Stack() const { return FContext.Stack(); }

private:
    TNetContext& FContext;
};
