// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetComponent.h"

TNetComponent::TNetComponent(TNetContext& AContext) : FContext(AContext) {
    FContext.EnterComponent();
}

TNetComponent::~TNetComponent() {
    FContext.LeaveComponent();
}
