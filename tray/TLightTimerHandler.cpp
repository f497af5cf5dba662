// SPDX-License-Identifier: GPL-3.0-or-later
#include "TLightTimerHandler.h"

void TLightTimerHandler::Release() {
    if (FRefCount > 0)
        --FRefCount;
}
