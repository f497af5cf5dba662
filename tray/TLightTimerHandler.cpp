// SPDX-License-Identifier: GPL-3.0-or-later
#include "TLightTimerHandler.h"

TLightTimerHandler& TLightTimerHandler::Acquire() {
    if (!FInstance)
        FInstance.reset(new TLightTimerHandler());
    ++FRefCount;
    return *FInstance;
}

void TLightTimerHandler::Release() {
    if (FRefCount == 0)
        return;
    if (--FRefCount == 0)
        FInstance.reset();
}
