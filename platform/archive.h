// Unpacking tar archives that come from outside (uploads): every entry is
// checked before anything is written, so a hostile archive changes nothing.
#pragma once

#include <string>

// Unpacks the tar archive at archivePath (a real path) into the folder
// destination (a real path, created when missing). Refused (false, with a
// reason in error, and nothing written) when any entry is not a regular file
// or folder, has an absolute name or a ".." part, or when the unpacked bytes
// would exceed maxBytes.
bool unpackArchiveChecked(const std::string& archivePath, const std::string& destination,
                          long long maxBytes, std::string& error);

// Removes a file or a folder with everything below it (real path; symbolic
// links are removed, never followed). True when nothing is left.
bool removeTree(const std::string& realPath);

// Replaces the folder `target` by the folder `staged` (real paths, same file
// system): the old folder is moved aside, the new one renamed into place,
// then the old one removed. On failure the old folder stays in place.
bool replaceFolder(const std::string& staged, const std::string& target);
