// Tar archives made in memory for tests, hostile ones included.
#pragma once

#include <string>
#include <vector>

struct TarEntry {
    std::string name;
    std::string content;  // the data, or the target of a link
    int type;             // AE_IFREG, AE_IFDIR, AE_IFLNK (archive_entry.h)
};

std::string Tar(const std::vector<TarEntry>& entries);
