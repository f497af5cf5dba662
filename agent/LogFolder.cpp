// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogFolder.h"

#include "ExecutableFolder.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsFolder(const std::string& Path) {
    struct stat Info {};
    return ::stat(Path.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode);
}

bool IsRegularFile(const std::string& Path) {
    struct stat Info {};
    return ::stat(Path.c_str(), &Info) == 0 && S_ISREG(Info.st_mode);
}

std::string Variable(const char* Name) {
    const char* Value = std::getenv(Name);
    return Value == nullptr ? std::string() : std::string(Value);
}

// HOME first, as every desktop program does; the password database when unset.
std::string HomeFolder() {
    std::string Home = Variable("HOME");
    if (Home.empty()) {
        if (const passwd* Entry = ::getpwuid(::getuid()); Entry != nullptr && Entry->pw_dir) {
            Home = Entry->pw_dir;
        }
    }
    return Home;
}

std::string WithSlash(std::string Path) {
    if (Path.empty() || Path.back() != '/') {
        Path += '/';
    }
    return Path;
}

} // namespace

std::string InstallPrefixOf(const std::string& ExecutableFolder) {
    const std::string Folder = WithSlash(ExecutableFolder);
    const std::string Bin = "/bin/";
    if (Folder.size() < Bin.size() || Folder.compare(Folder.size() - Bin.size(), Bin.size(), Bin)) {
        return {};
    }
    const std::string Prefix = Folder.substr(0, Folder.size() - Bin.size() + 1);
    return IsRegularFile(Prefix + InstalledMarker) ? Prefix : std::string();
}

std::string StateFolder(const std::string& XdgStateHome, const std::string& Home) {
    if (!XdgStateHome.empty() && XdgStateHome.front() == '/') {
        return WithSlash(XdgStateHome) + "zirko/";
    }
    if (!Home.empty() && Home.front() == '/') {
        return WithSlash(Home) + ".local/state/zirko/";
    }
    return {};
}

bool MakePrivateFolder(const std::string& Folder) {
    if (Folder.empty() || Folder.front() != '/') {
        return false;
    }
    const std::string Whole = WithSlash(Folder);
    // Each folder on the way is made only when missing: existing ones keep their modes.
    for (size_t Slash = Whole.find('/', 1); Slash != std::string::npos;
         Slash = Whole.find('/', Slash + 1)) {
        const std::string Part = Whole.substr(0, Slash);
        if (::mkdir(Part.c_str(), 0700) == 0) {
            // The umask may have taken bits away from the owner.
            ::chmod(Part.c_str(), 0700);
        } else if (errno != EEXIST) {
            return false;
        }
    }
    return IsFolder(Whole);
}

std::string LogFolder() {
    const std::string Beside = ExecutableFolder();
    if (InstallPrefixOf(Beside).empty()) {
        return Beside;
    }
    const std::string State = StateFolder(Variable("XDG_STATE_HOME"), HomeFolder());
    if (State.empty()) {
        // No home at all: the installed folder, where an ordinary user meets the creation failure.
        return Beside;
    }
    MakePrivateFolder(State);
    return State;
}
