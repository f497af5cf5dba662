// SPDX-License-Identifier: GPL-3.0-or-later
#include "TCapabilities.h"

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Version 3 of the interface: two 32-bit words per set.
struct TRaw {
    __user_cap_header_struct Header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct Data[2]{};
};

} // namespace

bool TCapabilities::Read(TCapabilities& ASets) {
    TRaw Raw;
    if (::syscall(SYS_capget, &Raw.Header, Raw.Data) != 0) {
        return false;
    }
    auto Join = [](uint32_t ALow, uint32_t AHigh) { return ALow | (uint64_t{AHigh} << 32); };
    ASets.Effective = Join(Raw.Data[0].effective, Raw.Data[1].effective);
    ASets.Permitted = Join(Raw.Data[0].permitted, Raw.Data[1].permitted);
    ASets.Inheritable = Join(Raw.Data[0].inheritable, Raw.Data[1].inheritable);
    return true;
}

bool TCapabilities::Write(const TCapabilities& ASets) {
    TRaw Raw;
    for (int Word = 0; Word < 2; ++Word) {
        const int Shift = 32 * Word;
        Raw.Data[Word].effective = static_cast<uint32_t>(ASets.Effective >> Shift);
        Raw.Data[Word].permitted = static_cast<uint32_t>(ASets.Permitted >> Shift);
        Raw.Data[Word].inheritable = static_cast<uint32_t>(ASets.Inheritable >> Shift);
    }
    return ::syscall(SYS_capset, &Raw.Header, Raw.Data) == 0;
}

bool TCapabilities::KeepOnly(int ACapability) {
    TCapabilities Sets;
    if (!Read(Sets)) {
        return false;
    }
    Sets.Permitted &= Bit(ACapability);
    Sets.Effective = 0;
    Sets.Inheritable = 0;
    // Ambient capabilities would survive into anything run later; there is nothing to run.
    ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    return Write(Sets);
}

bool TCapabilities::HoldsEffective(int ACapability) {
    TCapabilities Sets;
    return Read(Sets) && (Sets.Effective & Bit(ACapability)) != 0;
}
