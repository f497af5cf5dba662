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

    // Gives up every capability for good: every set, the ambient and (where the right to
    // change it is held) the bounding set, and root's way back through exec. False when any
    // capability is left.
    static bool DropAll();
    static bool HoldsEffective(int ACapability);
    static uint64_t Bit(int ACapability) { return uint64_t{1} << ACapability; }
};
