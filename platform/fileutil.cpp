#include "platform/fileutil.h"

#include "platform/paths.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

bool FileStamp::operator==(const FileStamp& other) const
{
    return exists == other.exists && device == other.device && inode == other.inode &&
           size == other.size && mtimeSec == other.mtimeSec && mtimeNsec == other.mtimeNsec;
}

FileStamp fileStampOf(const std::string& realPath)
{
    FileStamp stamp;
    struct stat st;
    if (stat(realPath.c_str(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.device = static_cast<uint64_t>(st.st_dev);
    stamp.inode = static_cast<uint64_t>(st.st_ino);
    stamp.size = static_cast<int64_t>(st.st_size);
    stamp.mtimeSec = static_cast<int64_t>(st.st_mtim.tv_sec);
    stamp.mtimeNsec = static_cast<int64_t>(st.st_mtim.tv_nsec);
    return stamp;
}

int openLockFile(const std::string& realPath)
{
    size_t slash = realPath.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeDirs(realPath.substr(0, slash)))
        return -1;
    return open(realPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
}

bool lockFileDescriptor(int fd, int timeoutMs)
{
    if (fd < 0)
        return false;
    if (timeoutMs < 0) {
        while (flock(fd, LOCK_EX) != 0) {
            if (errno != EINTR)
                return false;
        }
        return true;
    }
    // flock has no time-out of its own: poll it.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool FileLock::lock(const std::string& realPath, int timeoutMs)
{
    unlock();
    fd_ = openLockFile(realPath);
    if (lockFileDescriptor(fd_, timeoutMs))
        return true;
    unlock();
    return false;
}

void FileLock::unlock()
{
    if (fd_ >= 0) {
        // Closing the only descriptor of the open file releases the flock.
        close(fd_);
        fd_ = -1;
    }
}

bool isPlainFileName(const char* name)
{
    if (!name || !*name || name[0] == '.')
        return false;
    size_t length = strlen(name);
    if (length > 64)
        return false;
    for (size_t i = 0; i < length; ++i) {
        char c = name[i];
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '_' || c == '-' || c == '.';
        if (!ok)
            return false;
    }
    return true;
}
