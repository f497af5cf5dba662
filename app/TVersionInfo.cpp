// SPDX-License-Identifier: GPL-3.0-or-later
#include "TVersionInfo.h"

namespace {

// Kept in its own section so that it survives linking and can be found in the
// file without running it.
[[gnu::used, gnu::section(".zirko_version")]] const char VersionRecord[] =
    "ZIRKO-VERSION\0"
    "FixedFileVersion=1.0.0.1\0"
    "FixedProductVersion=1.0.0.1\0"
    "FileVersion=1.0.0.1\0"
    "ProductVersion=1.0.0.0\0"
    "FileDescription=Zirko\0"
    "InternalName=Zirko\0"
    "OriginalFilename=Zirko\0"
    "ProductName=Zirko\0"
    "CompanyName=\0"
    "LegalCopyright=\0"
    "Comments=\0";

const TVersionInfo Info{
    {1, 0, 0, 1}, {1, 0, 0, 1}, "1.0.0.1", "1.0.0.0", "Zirko", "Zirko",
    "Zirko",      "Zirko",      "",        "",        "",
};

} // namespace

const TVersionInfo& ZirkoVersionInfo() {
    return Info;
}

std::string_view ZirkoVersionRecord() {
    return {VersionRecord, sizeof(VersionRecord)};
}
