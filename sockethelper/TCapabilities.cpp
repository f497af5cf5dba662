// SPDX-License-Identifier: GPL-3.0-or-later
#include "TCapabilities.h"

#include <linux/capability.h>
#include <linux/securebits.h>
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

bool TCapabilities::HoldsEffective(int ACapability) {
    TCapabilities Sets;
    return Read(Sets) && (Sets.Effective & Bit(ACapability)) != 0;
}

bool TCapabilities::DropAll() {
    if (HoldsEffective(CAP_SETPCAP)) {
        // Root would get every capability back from the next exec; these bits forbid it.
        ::prctl(PR_SET_SECUREBITS, SECBIT_NOROOT | SECBIT_NOROOT_LOCKED |
                                       SECBIT_NO_CAP_AMBIENT_RAISE |
                                       SECBIT_NO_CAP_AMBIENT_RAISE_LOCKED);
        for (int Cap = 0; Cap < 64 && ::prctl(PR_CAPBSET_READ, Cap) >= 0; ++Cap) {
            ::prctl(PR_CAPBSET_DROP, Cap);
        }
    }
    ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    TCapabilities Left;
    return Write(TCapabilities{}) && Read(Left) && Left.Effective == 0 && Left.Permitted == 0 &&
           Left.Inheritable == 0;
}
