// SPDX-License-Identifier: GPL-3.0-or-later
// Where the window takes its helper from: never from a place another user could write.
#include "TNetSocketHelper.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct TLayout {
    const char* Name;
    mode_t Bin;         // the window's folder
    mode_t Beside;      // the helper beside it; 0: none
    mode_t Installed;   // the helper in ../libexec/zirko/; 0: none
    const char* Expect; // "beside", "installed" or ""
};

void PutHelper(const fs::path& APath, mode_t AMode) {
    std::ofstream(APath) << "#!/bin/sh\n";
    ::chmod(APath.c_str(), AMode);
}

TEST(HelperLocate, TakesOnlyAHelperNoOtherUserCanReplace) {
    const std::vector<TLayout> Rows{
        {"beside, private", 0755, 0755, 0, "beside"},
        {"beside in a folder anyone may write", 0777, 0755, 0, ""},
        {"beside in a group-writable folder", 0775, 0755, 0, ""},
        {"a group-writable file beside", 0755, 0775, 0, ""},
        {"a writable file beside, an install too", 0755, 0757, 0755, "installed"},
        {"a writable folder, an install too", 0777, 0755, 0755, "installed"},
        {"the install alone", 0755, 0, 0755, "installed"},
        {"an install anyone may replace", 0755, 0, 0777, ""},
        {"a file that cannot run", 0755, 0644, 0, ""},
        {"nothing", 0755, 0, 0, ""},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        char Template[] = "/tmp/zirko-locate-XXXXXX";
        ASSERT_NE(::mkdtemp(Template), nullptr);
        const fs::path Root = Template;
        const fs::path Bin = Root / "bin";
        const fs::path Libexec = Root / "libexec" / "zirko";
        fs::create_directories(Bin);
        fs::create_directories(Libexec);
        if (R.Beside != 0) {
            PutHelper(Bin / "zirko-socket", R.Beside);
        }
        if (R.Installed != 0) {
            PutHelper(Libexec / "zirko-socket", R.Installed);
        }
        ::chmod(Bin.c_str(), R.Bin);
        const std::string Expected =
            std::string(R.Expect) == "beside" ? (Bin / "zirko-socket").string()
            : std::string(R.Expect) == "installed"
                ? (Bin / ".." / "libexec" / "zirko" / "zirko-socket").string()
                : std::string();
        EXPECT_EQ(TNetSocketHelper::Locate((Bin / "zirko").string()), Expected);
        fs::remove_all(Root);
    }
}

} // namespace
