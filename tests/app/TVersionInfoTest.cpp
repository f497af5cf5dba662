// SPDX-License-Identifier: GPL-3.0-or-later
#include "TVersionInfo.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace {

// Reads the NUL-separated "Key=Value" fields that follow the record's tag.
std::map<std::string, std::string> RecordFields(const std::string& Bytes) {
    std::map<std::string, std::string> fields;
    const std::string tag("ZIRKO-VERSION", sizeof("ZIRKO-VERSION"));
    const size_t at = Bytes.find(tag);
    if (at == std::string::npos) {
        return fields;
    }
    size_t pos = at + tag.size();
    while (pos < Bytes.size()) {
        const size_t end = Bytes.find('\0', pos);
        const std::string field = Bytes.substr(pos, end - pos);
        const size_t eq = field.find('=');
        if (field.empty() || eq == std::string::npos) {
            break;
        }
        fields[field.substr(0, eq)] = field.substr(eq + 1);
        pos = end + 1;
    }
    return fields;
}

TEST(VersionRecord, TheProgramFileCarriesTheVersionFields) {
    const char* binary = std::getenv("ZIRKO_BINARY");
    ASSERT_NE(binary, nullptr) << "ZIRKO_BINARY names the built program";
    std::ifstream file(binary, std::ios::binary);
    ASSERT_TRUE(file.good()) << binary;
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    const auto fields = RecordFields(bytes);
    const std::map<std::string, std::string> expected = {
        {"FixedFileVersion", "1.0.0.1"},
        {"FixedProductVersion", "1.0.0.1"},
        {"FileVersion", "1.0.0.1"},
        {"ProductVersion", "1.0.0.0"},
        {"FileDescription", "Zirko"},
        {"InternalName", "Zirko"},
        {"OriginalFilename", "Zirko"},
        {"ProductName", "Zirko"},
        {"CompanyName", ""},
        {"LegalCopyright", ""},
        {"Comments", ""},
    };
    EXPECT_EQ(fields, expected);
}

TEST(VersionRecord, CodeSeesTheSameVersion) {
    const TVersionInfo& info = ZirkoVersionInfo();
    EXPECT_EQ(info.FileVersionFixed, (std::array<uint16_t, 4>{1, 0, 0, 1}));
    EXPECT_EQ(info.ProductVersionFixed, (std::array<uint16_t, 4>{1, 0, 0, 1}));
    EXPECT_EQ(RecordFields(std::string(ZirkoVersionRecord()))["FileVersion"], info.FileVersion);
    EXPECT_STREQ(info.ProductVersion, "1.0.0.0");
    EXPECT_STREQ(info.ProductName, "Zirko");
}

} // namespace
