#include "platform/paths.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string phoneRoot()
{
    const char* env = getenv("PHONEWEB_ROOT");
    std::string root = env ? env : "";
    while (!root.empty() && root.back() == '/')
        root.pop_back();
    return root;
}

std::string phonePath(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return path;
    return phoneRoot() + path;
}

bool writeAll(int fd, const void* buffer, size_t size)
{
    const char* data = static_cast<const char*>(buffer);
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool writeFileAtomic(const std::string& realPath, const std::string& data, int mode)
{
    std::string temp = realPath + ".tmpXXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = fchmod(fd, static_cast<mode_t>(mode)) == 0 && writeAll(fd, data.data(), data.size()) &&
              fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    if (!ok || rename(temp.c_str(), realPath.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    std::string dir = realPath.substr(0, realPath.find_last_of('/') + 1);
    int dirFd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

bool readWholeFile(const std::string& realPath, std::string& out)
{
    int fd = open(realPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    out.clear();
    char buffer[8192];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            close(fd);
            return false;
        }
        if (n == 0)
            break;
        out.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

bool makeDirs(const std::string& realPath, int mode)
{
    if (realPath.empty())
        return false;
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = realPath.find('/', pos + 1);
        partial = realPath.substr(0, pos);
        if (partial.empty())
            continue;
        if (mkdir(partial.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st;
    return stat(realPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
