// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExecutableFolder.h"

#include <unistd.h>
#include <vector>

std::string ExecutableFolder() {
    // readlink does not say whether it truncated, so grow until the result fits.
    std::vector<char> Buffer(256);
    for (int Attempt = 0; Attempt < 8; ++Attempt) {
        const ssize_t Length = ::readlink("/proc/self/exe", Buffer.data(), Buffer.size());
        if (Length < 0) {
            return {};
        }
        if (static_cast<size_t>(Length) < Buffer.size()) {
            const std::string Path(Buffer.data(), static_cast<size_t>(Length));
            const size_t Slash = Path.rfind('/');
            return Slash == std::string::npos ? std::string() : Path.substr(0, Slash + 1);
        }
        Buffer.resize(Buffer.size() * 4);
    }
    return {};
}
