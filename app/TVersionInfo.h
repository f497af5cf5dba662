// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// The executable's version record: a fixed part and the text fields. It is
// also placed, as text, in the ELF section ".zirko_version" of every binary
// that links the application library, where file tools can read it.
struct TVersionInfo {
    std::array<uint16_t, 4> FileVersionFixed;
    std::array<uint16_t, 4> ProductVersionFixed;
    const char* FileVersion;
    const char* ProductVersion;
    const char* FileDescription;
    const char* InternalName;
    const char* OriginalFilename;
    const char* ProductName;
    const char* CompanyName;
    const char* LegalCopyright;
    const char* Comments;
};

const TVersionInfo& ZirkoVersionInfo();

// The embedded text record: a tag, then NUL-terminated "Key=Value" fields.
std::string_view ZirkoVersionRecord();
