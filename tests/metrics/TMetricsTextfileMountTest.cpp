// SPDX-License-Identifier: GPL-3.0-or-later
#include "RequireRoot.h"
#include "TMetricsTextfile.h"
#include "TTmpfs.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::size_t Entries(const std::string& Dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(Dir),
                                                  std::filesystem::directory_iterator()));
}

// A failed write leaves the collector the last whole file, and no temporary.
TEST(TMetricsTextfileMountTest, AFullOrReadOnlyFolderKeepsTheLastFile) {
    ZIRKO_REQUIRE_ROOT();
    const zirko::test::TTempDir Dir;
    const TTmpfs Disk(Dir.Path() + "disk", "64k");
    ASSERT_TRUE(Disk.Mounted());
    const TMetricsTextfile File(Disk.Path());
    ASSERT_EQ(File.Write("whole\n"), "");

    const std::string Failed = File.Write(std::string(256 * 1024, 'x'));
    EXPECT_NE(Failed.find("No space left on device"), std::string::npos) << Failed;
    EXPECT_EQ(zirko::test::ReadFile(File.Path()), "whole\n");
    EXPECT_EQ(Entries(Disk.Path()), 1u);

    ASSERT_TRUE(Disk.MakeReadOnly());
    EXPECT_EQ(File.Write("new\n"), "cannot write in " + Disk.Path() + ": Read-only file system");
    EXPECT_EQ(zirko::test::ReadFile(File.Path()), "whole\n");
}

} // namespace
