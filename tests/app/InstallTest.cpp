// SPDX-License-Identifier: GPL-3.0-or-later
// cmake --install into a temporary prefix: the files, the menu entry and the raw-socket right.
#include "RequireRoot.h"
#include "TCommand.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using zirko::test::RunCommand;
using zirko::test::TCommandResult;

namespace {

std::string Env(const char* Name) {
    const char* Value = std::getenv(Name);
    return Value == nullptr ? std::string() : std::string(Value);
}

std::string ReadFile(const fs::path& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::stringstream S;
    S << In.rdbuf();
    return S.str();
}

// A folder of its own, with a blank in its name as users' folders often have.
class TPrefix {
public:
    TPrefix() {
        std::string Template = (fs::temp_directory_path() / "zirko-install-XXXXXX").string();
        if (::mkdtemp(Template.data()) != nullptr) {
            Top = Template;
            Path = Top / "my tools";
        }
    }
    ~TPrefix() {
        std::error_code Ignored;
        fs::remove_all(Top, Ignored);
    }
    TPrefix(const TPrefix&) = delete;
    TPrefix& operator=(const TPrefix&) = delete;
    fs::path Top;
    fs::path Path;
};

TCommandResult InstallInto(const fs::path& Prefix) {
    return RunCommand(
        {Env("ZIRKO_CMAKE"), "--install", Env("ZIRKO_BUILD_DIR"), "--prefix", Prefix.string()},
        120000);
}

std::string Capabilities(const fs::path& File) {
    return RunCommand({"getcap", File.string()}).Output;
}

// Keys of the [Desktop Entry] group; a line that fits no form of the format is reported.
std::map<std::string, std::string> DesktopEntry(const std::string& Text,
                                                std::vector<std::string>& Malformed) {
    std::map<std::string, std::string> Keys;
    std::istringstream Lines(Text);
    std::string Line;
    std::string Group;
    while (std::getline(Lines, Line)) {
        if (Line.empty() || Line[0] == '#') {
            continue;
        }
        if (Line.front() == '[' && Line.back() == ']') {
            Group = Line;
            continue;
        }
        const auto Equals = Line.find('=');
        if (Group.empty() || Equals == std::string::npos || Equals == 0) {
            Malformed.push_back(Line);
        } else if (Group == "[Desktop Entry]" &&
                   !Keys.emplace(Line.substr(0, Equals), Line.substr(Equals + 1)).second) {
            Malformed.push_back(Line + " (repeated key)");
        }
    }
    return Keys;
}

// Width and height from a PNG's header chunk; 0 x 0 when the file is no PNG.
std::pair<uint32_t, uint32_t> PngSize(const std::string& Bytes) {
    if (Bytes.size() < 24 || Bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        Bytes.compare(12, 4, "IHDR") != 0) {
        return {0, 0};
    }
    const auto BigEndian = [&](size_t At) {
        uint32_t V = 0;
        for (size_t i = 0; i < 4; ++i) {
            V = (V << 8) | static_cast<uint8_t>(Bytes[At + i]);
        }
        return V;
    };
    return {BigEndian(16), BigEndian(20)};
}

TEST(Install, PutsProgramMenuEntryIconsAndReadmeIntoThePrefix) {
    TPrefix Prefix;
    ASSERT_FALSE(Prefix.Top.empty());
    const TCommandResult R = InstallInto(Prefix.Path);
    ASSERT_EQ(R.ExitCode, 0) << R.Output;

    const fs::path Binary = Prefix.Path / "bin" / "zirko";
    ASSERT_TRUE(fs::is_regular_file(Binary)) << R.Output;
    EXPECT_NE(fs::status(Binary).permissions() & fs::perms::others_exec, fs::perms::none);
    EXPECT_TRUE(ReadFile(Binary) == ReadFile(Env("ZIRKO_BINARY"))) << "not the built program";
    EXPECT_EQ(ReadFile(Prefix.Path / "share" / "doc" / "zirko" / "README.md"),
              ReadFile(fs::path(Env("ZIRKO_SOURCE_DIR")) / "README.md"));

    std::vector<std::string> Malformed;
    const auto Entry =
        DesktopEntry(ReadFile(Prefix.Path / "share" / "applications" / "zirko.desktop"), Malformed);
    EXPECT_EQ(Malformed, std::vector<std::string>{});
    const std::pair<const char*, const char*> Fields[] = {
        {"Type", "Application"}, {"Name", "Zirko"},     {"Exec", "zirko"},
        {"Icon", "zirko"},       {"Terminal", "false"},
    };
    for (const auto& [Key, Value] : Fields) {
        const auto It = Entry.find(Key);
        ASSERT_NE(It, Entry.end()) << Key;
        EXPECT_EQ(It->second, Value) << Key;
    }
    // The entry starts the installed program and shows the installed icon.
    EXPECT_EQ(Binary.filename().string(), Entry.at("Exec"));
    ASSERT_TRUE(Entry.count("Categories"));
    EXPECT_NE(Entry.at("Categories").find("Network;"), std::string::npos);
    EXPECT_EQ(Entry.at("Categories").back(), ';') << "lists end with a semicolon";

    const fs::path Hicolor = Prefix.Path / "share" / "icons" / "hicolor";
    for (const uint32_t Size : {16u, 22u, 24u, 32u, 48u, 64u, 128u, 256u}) {
        const std::string Folder = std::to_string(Size) + "x" + std::to_string(Size);
        const fs::path Icon = Hicolor / Folder / "apps" / (Entry.at("Icon") + ".png");
        EXPECT_EQ(PngSize(ReadFile(Icon)), std::make_pair(Size, Size)) << Icon;
    }
    const std::string Svg = ReadFile(Hicolor / "scalable" / "apps" / (Entry.at("Icon") + ".svg"));
    EXPECT_NE(Svg.find("<svg"), std::string::npos);
}

TEST(Install, RunAsRootGrantsTheRawSocketRightToTheHelperOnly) {
    ZIRKO_REQUIRE_ROOT();
    TPrefix Prefix;
    ASSERT_FALSE(Prefix.Top.empty());
    const fs::path Binary = Prefix.Path / "bin" / "zirko";
    const fs::path Helper = Prefix.Path / "libexec" / "zirko" / "zirko-socket";
    // The second install runs over a window binary that an older install made capable.
    for (const bool OverOldRight : {false, true}) {
        SCOPED_TRACE(OverOldRight ? "over an older install" : "fresh");
        if (OverOldRight) {
            ASSERT_EQ(RunCommand({"setcap", "cap_net_raw+ep", Binary.string()}).ExitCode, 0);
        }
        const TCommandResult R = InstallInto(Prefix.Path);
        ASSERT_EQ(R.ExitCode, 0) << R.Output;
        EXPECT_NE(Capabilities(Helper).find("cap_net_raw=ep"), std::string::npos)
            << Capabilities(Helper);
        EXPECT_EQ(Capabilities(Binary).find("cap_"), std::string::npos) << Capabilities(Binary);
        EXPECT_NE(R.Output.find("Granted cap_net_raw to " + Helper.string()), std::string::npos)
            << R.Output;
        EXPECT_EQ(R.Output.find("sudo setcap"), std::string::npos) << R.Output;
    }
}

TEST(Install, WithoutRootPrintsTheOneCommandToRun) {
    TPrefix Prefix;
    ASSERT_FALSE(Prefix.Top.empty());
    // The folder's own install script: a whole-tree install also writes its manifest into the
    // build folder, which an unprivileged user may not write.
    std::vector<std::string> Argv{Env("ZIRKO_CMAKE"),
                                  "-DCMAKE_INSTALL_PREFIX=" + Prefix.Path.string(), "-P",
                                  Env("ZIRKO_BUILD_DIR") + "/packaging/cmake_install.cmake"};
    if (::geteuid() == 0) {
        const std::string Nobody = "65534";
        ASSERT_EQ(RunCommand({"chown", Nobody + ":" + Nobody, Prefix.Top.string()}).ExitCode, 0);
        Argv.insert(Argv.begin(),
                    {"setpriv", "--reuid=" + Nobody, "--regid=" + Nobody, "--clear-groups"});
    }
    const TCommandResult R = RunCommand(Argv, 120000);
    ASSERT_EQ(R.ExitCode, 0) << R.Output;
    const fs::path Binary = Prefix.Path / "bin" / "zirko";
    ASSERT_TRUE(fs::is_regular_file(Binary)) << R.Output;
    EXPECT_EQ(Capabilities(Binary).find("cap_net_raw"), std::string::npos);
    // The command, pasted into a shell as it is printed, names the installed helper.
    const fs::path Helper = Prefix.Path / "libexec" / "zirko" / "zirko-socket";
    const std::string Command = "sudo setcap cap_net_raw+ep '" + Helper.string() + "'";
    EXPECT_NE(R.Output.find("Zirko needs the raw-socket right: " + Command + "\n"),
              std::string::npos)
        << R.Output;
    EXPECT_EQ(R.Output.find("Granted"), std::string::npos) << R.Output;
}

} // namespace
