// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// The one place that decides where the log of this run lies. A copy started
// from the bin/ folder of an install prefix that holds Zirko's installed files
// cannot write beside itself, so its log goes to the user's state folder; any
// other copy keeps the log beside its executable.

// Installed file whose presence marks a prefix as holding an installed Zirko.
inline constexpr const char* InstalledMarker = "share/applications/zirko.desktop";

// The install prefix (with a trailing "/") when ExecutableFolder is the bin/
// folder of a prefix that holds InstalledMarker; empty otherwise.
std::string InstallPrefixOf(const std::string& ExecutableFolder);

// "$XDG_STATE_HOME/zirko/", or "$HOME/.local/state/zirko/" when XDG_STATE_HOME
// is unset or relative (relative values are ignored, as XDG asks); empty when
// no absolute folder results.
std::string StateFolder(const std::string& XdgStateHome, const std::string& Home);

// Creates Folder and its missing parents with mode 0700, whatever the umask.
// True when Folder is a folder afterwards.
bool MakePrivateFolder(const std::string& Folder);

// The log folder of this run, with a trailing "/". The state folder is created
// here; when that fails, it is returned anyway and the log agent then reports
// that the log cannot be created.
std::string LogFolder();
