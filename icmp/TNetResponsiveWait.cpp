// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetResponsiveWait.h"

#include "TNetContext.h"

TNetResponsiveWait::TNetResponsiveWait(TNetContext& AContext) : FContext(AContext) {
    FContext.RegisterResponsiveWait(*this);
}

TNetResponsiveWait::~TNetResponsiveWait() {
    FContext.UnregisterResponsiveWait(*this);
}
