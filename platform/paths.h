// Every absolute phone path ("/config/...", "/phone/...", "/tmp/...") is
// resolved here, under the root named by the environment variable
// PHONEWEB_ROOT (default "/"). Nothing else prefixes paths.
#pragma once

#include <cstddef>
#include <string>

// The root folder without a trailing slash ("" for "/").
std::string phoneRoot();
// Maps an absolute phone path to the real path. A relative path is returned
// unchanged.
std::string phonePath(const std::string& path);

// Writes `data` to `path` atomically: a temporary file beside it, fsync,
// rename. A crash leaves either the old or the new content. `path` is a real
// (already mapped) path. Returns false and leaves the old file on failure.
bool writeFileAtomic(const std::string& realPath, const std::string& data, int mode = 0644);
// Writes all of data to the descriptor, retrying short writes and EINTR.
bool writeAll(int fd, const void* data, size_t size);
// Reads a whole file; false when it cannot be read.
bool readWholeFile(const std::string& realPath, std::string& out);
// Creates the folder and its parents (real path); true when it exists after.
bool makeDirs(const std::string& realPath, int mode = 0755);
