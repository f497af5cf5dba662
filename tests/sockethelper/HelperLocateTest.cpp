// SPDX-License-Identifier: GPL-3.0-or-later
// Where the window takes its helper from: never from a place another user could write.
#include "TNetSocketHelper.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

TEST(HelperLocate, TakesOnlyAHelperNoOtherUserCanReplace) {
    // Modes of the window's folder, the helper beside it and the one in ../libexec/zirko/
    // (0: none), and which one is taken: 'b' beside, 'i' installed, '-' none.
    const struct {
        mode_t Bin, Beside, Installed;
        char Taken;
    } Rows[] = {{0755, 0755, 0, 'b'}, {0777, 0755, 0, '-'},    {0775, 0755, 0, '-'},
                {0755, 0775, 0, '-'}, {0755, 0757, 0755, 'i'}, {0777, 0755, 0755, 'i'},
                {0755, 0, 0777, '-'}, {0755, 0644, 0, '-'}};
    for (const auto& R : Rows) {
        SCOPED_TRACE(testing::Message()
                     << std::oct << R.Bin << " " << R.Beside << " " << R.Installed);
        char Template[] = "/tmp/zirko-locate-XXXXXX";
        ASSERT_NE(::mkdtemp(Template), nullptr);
        const fs::path Bin = fs::path(Template) / "bin";
        fs::create_directories(fs::path(Template) / "libexec" / "zirko");
        fs::create_directories(Bin);
        const fs::path Beside = Bin / "zirko-socket";
        const fs::path Installed = Bin / ".." / "libexec" / "zirko" / "zirko-socket";
        for (const auto& [Path, Mode] : {std::pair{Beside, R.Beside}, {Installed, R.Installed}}) {
            if (Mode != 0) {
                std::ofstream(Path) << "#!/bin/sh\n";
                ::chmod(Path.c_str(), Mode);
            }
        }
        ::chmod(Bin.c_str(), R.Bin);
        const fs::path Expected = R.Taken == 'b' ? Beside : R.Taken == 'i' ? Installed : "";
        EXPECT_EQ(TNetSocketHelper::Locate((Bin / "zirko").string()), Expected.string());
        fs::remove_all(Template);
    }
}
