// SPDX-License-Identifier: GPL-3.0-or-later
#include "THelperCopy.h"

#include "TCommand.h"

#include <cstdlib>
#include <unistd.h>

namespace fs = std::filesystem;

namespace zirko::test {

THelperCopy::THelperCopy(const std::string& AHelper, bool ACapable,
                         const std::vector<std::string>& AAlso) {
    std::string Template = (fs::temp_directory_path() / "zirko-socket-XXXXXX").string();
    if (::mkdtemp(Template.data()) == nullptr) {
        return;
    }
    Folder = Template;
    fs::permissions(Folder, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    for (const auto& File : AAlso) {
        fs::copy_file(File, Folder / fs::path(File).filename());
    }
    Path = (Folder / "zirko-socket").string();
    fs::copy_file(AHelper, Path);
    if (ACapable) {
        RunChecked({"setcap", "cap_net_raw+ep", Path});
    }
}

THelperCopy::~THelperCopy() {
    std::error_code Ignored;
    fs::remove_all(Folder, Ignored);
}

} // namespace zirko::test
