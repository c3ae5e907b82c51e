// Small file helpers shared by the platform stand-ins: a file's identity
// stamp (to notice another process's write) and exclusive lock files.
#pragma once

#include <cstdint>
#include <string>

// What identifies one version of a file on disk. An atomic save renames a new
// file into place, so the inode changes even when size and time do not.
struct FileStamp {
    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t mtimeSec = 0;
    int64_t mtimeNsec = 0;

    bool operator==(const FileStamp& other) const;
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

FileStamp fileStampOf(const std::string& realPath);

// Opens (creating it and its folder) a lock file; -1 on failure. The
// descriptor is close-on-exec.
int openLockFile(const std::string& realPath);
// flock(LOCK_EX) on an open lock file, waiting at most timeoutMs (-1 without
// limit, 0 just tries); true when locked.
bool lockFileDescriptor(int fd, int timeoutMs);

// An exclusive lock on a lock file, held for the object's life.
class FileLock {
public:
    FileLock() = default;
    ~FileLock() { unlock(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool lock(const std::string& realPath, int timeoutMs = -1);
    void unlock();

private:
    int fd_ = -1;
};

// True for a name that is safe as one file name inside a folder: not empty,
// at most 64 characters of letters, digits, '_', '-' and '.', and not
// starting with '.'.
bool isPlainFileName(const char* name);
