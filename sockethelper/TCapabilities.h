// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The calling thread's capability sets, read and written with the kernel's own calls so that
// neither the helper nor the window needs a library for them. Bits are 1 << CAP_*.
struct TCapabilities {
    uint64_t Effective = 0;
    uint64_t Permitted = 0;
    uint64_t Inheritable = 0;

    static bool Read(TCapabilities& ASets);
    static bool Write(const TCapabilities& ASets);

    // Keeps at most the one capability in the permitted set, none effective or inheritable,
    // and clears the ambient set. False when the kernel refused.
    static bool KeepOnly(int ACapability);
    static bool HoldsEffective(int ACapability);
    static uint64_t Bit(int ACapability) { return uint64_t{1} << ACapability; }
};
