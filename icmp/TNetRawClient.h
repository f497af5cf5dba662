#pragma once

#include "TNetRawBase.h"

class TNetRawClient : public TNetRawBase {};
