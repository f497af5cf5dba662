// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetRawBase.h"

class TNetRawClient : public TNetRawBase {
public:
    using TNetRawBase::TNetRawBase;
};
