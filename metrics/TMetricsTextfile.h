// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// zirko.prom in a folder that node_exporter's textfile collector reads. Each
// write goes to a temporary name in the same folder (one the collector skips,
// as it reads only *.prom) and is renamed over the file, so a scrape sees the
// old text or the new one, never a part. Standard library and POSIX only.
class TMetricsTextfile {
public:
    explicit TMetricsTextfile(std::string Dir);

    // Writes Text (the registry's Prometheus text format) as zirko.prom,
    // readable by others (the collector runs as another user). Returns "" on
    // success, else one line saying why; the previous file then stays as it was.
    std::string Write(std::string_view Text) const;
    // The file's full path.
    const std::string& Path() const { return FPath; }

private:
    std::string FDir, FPath; // the folder with a trailing "/"
};
