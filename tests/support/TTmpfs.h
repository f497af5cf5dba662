// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <sys/mount.h>
#include <sys/stat.h>

// A tmpfs of Size on the folder Where (inside a private temp dir), always
// unmounted again: read-only and full file systems of a test's own. Needs root.
class TTmpfs {
public:
    TTmpfs(const std::string& Where, const std::string& Size) : FWhere(Where) {
        ::mkdir(Where.c_str(), 0755);
        FMounted = ::mount("tmpfs", Where.c_str(), "tmpfs", 0, ("size=" + Size).c_str()) == 0;
    }
    ~TTmpfs() {
        if (FMounted) {
            ::umount2(FWhere.c_str(), MNT_DETACH);
        }
    }
    TTmpfs(const TTmpfs&) = delete;
    TTmpfs& operator=(const TTmpfs&) = delete;
    bool Mounted() const { return FMounted; }
    bool MakeReadOnly() const {
        return ::mount(nullptr, FWhere.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    std::string Path() const { return FWhere + "/"; }

private:
    std::string FWhere;
    bool FMounted = false;
};
