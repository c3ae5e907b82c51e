#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include "frame/helpers.h"
#include "frame/http.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace {

constexpr long kJffs2Magic = 0x72B6;
constexpr long long kJffs2Reserve = 65536;
constexpr size_t kPathMax = 4096;
// Room the configuration partition keeps beyond any upload.
constexpr long long kConfigReserve = 5119;

long long DirSizeReal(const std::string& path)
{
    if (path.size() > kPathMax) {
        log_log(2, 3, "filename length > PATH_MAX");
        return 0;
    }
    struct stat st;
    // lstat: a link is counted as itself and never followed into a loop.
    if (lstat(path.c_str(), &st) != 0) {
        log_log(2, 3, "filename : %s, error info : %s", path.c_str(), strerror(errno));
        return 0;
    }
    long long total = st.st_size;
    if (!S_ISDIR(st.st_mode))
        return total;
    DIR* dir = opendir(path.c_str());
    if (!dir) {
        log_log(2, 3, "filename : %s, error info : %s", path.c_str(), strerror(errno));
        return total;
    }
    while (struct dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        std::string child = path;
        if (child.empty() || child.back() != '/')
            child += '/';
        total += DirSizeReal(child + entry->d_name);
    }
    closedir(dir);
    return total;
}

bool EndsWithNoCase(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() &&
           strcasecmp(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

bool IsFolder(const std::string& realPath)
{
    struct stat st;
    return stat(realPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Copies a file to a new file beside `to` and renames it into place, so the
// target is either the old or the whole new file.
bool CopyInto(const std::string& from, const std::string& to)
{
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    std::string temp = to + ".tmpXXXXXX";
    int out = mkstemp(temp.data());
    if (out < 0) {
        close(in);
        return false;
    }
    bool ok = fchmod(out, 0644) == 0;
    char buffer[65536];
    while (ok) {
        ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            ssize_t w = write(out, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            done += w > 0 ? w : 0;
        }
    }
    close(in);
    ok = fsync(out) == 0 && ok;
    ok = close(out) == 0 && ok;
    if (!ok || rename(temp.c_str(), to.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

long long GetPartionFreeSize(const char* path)
{
    if (!path)
        return 0;
    struct statfs fs;
    if (statfs(phonePath(path).c_str(), &fs) != 0)
        return 0;
    long long free = static_cast<long long>(fs.f_bfree) * static_cast<long long>(fs.f_bsize);
    if (static_cast<long>(fs.f_type) == kJffs2Magic)
        free = free > kJffs2Reserve ? free - kJffs2Reserve : 0;
    return free;
}

long long GetFileSize(const char* path)
{
    struct stat st;
    if (!path || stat(phonePath(path).c_str(), &st) != 0)
        return -1;
    return st.st_size;
}

long long GetDirSize(const char* path)
{
    return path ? DirSizeReal(phonePath(path)) : 0;
}

int CheckUploadFile(HttpRequest* request, const char* partition, const char* folder, char* error,
                    bool contentOnly, long maxTotal, long leastFree)
{
    if (!request || !partition || !folder || !error)
        return 0;
    if (!IsFolder(phonePath(folder))) {
        CopyText(error, kUploadErrorSize, "Error:The destination folder does not exist!");
        return 0;
    }
    long long content = request->getContentLength();
    if (content < 0)
        content = 0;
    long long needed = content;
    if (!contentOnly)
        needed += 1 + GetDirSize(folder);
    long long freeSize = GetPartionFreeSize(partition);
    log_log(2, 6, "ContentLength = %lld, TotleSize = %lld, partion_free_size = %lld, iLeastSize=%ld",
            content, needed, freeSize, leastFree);
    if (needed <= maxTotal && content <= freeSize - leastFree)
        return 1;
    CopyText(error, kUploadErrorSize, "No space left!");
    return 0;
}

int CheckConfigFreeSize(HttpRequest* request, HttpResponse* response, const char* path,
                        bool isFolder)
{
    if (!request || !response || !path)
        return 0;
    long long present = isFolder ? GetDirSize(path) : GetFileSize(path);
    if (present < 0)
        present = 0;
    // The upload replaces what is there, so its present size counts as free.
    if (request->getContentLength() < GetPartionFreeSize("/config/") - kConfigReserve + present)
        return 1;
    SetNoticePage(response, false, "notice", "Error:No space left!");
    return 0;
}

int RenameUploadFile(const char* from, const char* to)
{
    if (!from || !to)
        return 0;
    std::string source = phonePath(from);
    std::string target = phonePath(to);
    // rename replaces the target in one step; uploads often land on another
    // file system than their target, where it has to be copied instead.
    if (rename(source.c_str(), target.c_str()) == 0)
        return 1;
    if (errno != EXDEV || !CopyInto(source, target))
        return 0;
    unlink(source.c_str());
    return 1;
}

int GetSimpleUpdateFileName(const char* path, char* out, size_t size)
{
    if (!path || !out)
        return 0;
    const char* slash = strrchr(path, '/');
    const char* backslash = strrchr(path, '\\');
    const char* last = slash > backslash ? slash : backslash;
    CopyText(out, size, last ? last + 1 : path);
    return 1;
}

int GetImageTypeByData(const void* data, size_t length)
{
    static const unsigned char kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    if (!bytes || length < 2)
        return 0;
    if (bytes[0] == 0x42 && bytes[1] == 0x4D)
        return 1;
    if (bytes[0] == 0xFF && bytes[1] == 0xD8)
        return 2;
    if (length >= sizeof kPng && memcmp(bytes, kPng, sizeof kPng) == 0)
        return 3;
    return 0;
}

int ProcessUserPhoto(std::string& source, std::string& target, int width, int height,
                     long maxBytes, bool removeSource)
{
    std::string resultFile = phonePath("/tmp/imageScale.out");
    // A result left by an earlier run must not answer for this one.
    unlink(resultFile.c_str());
    RunCommand({phonePath("/phone/scripts/imageScale.sh"), phonePath(source), std::to_string(width),
                std::to_string(height), phonePath(target), std::to_string(maxBytes)});
    if (removeSource)
        unlink(phonePath(source).c_str());
    int result = 0;
    if (FILE* file = fopen(resultFile.c_str(), "r")) {
        if (fscanf(file, "%d", &result) != 1)
            result = 0;
        fclose(file);
    }
    return result;
}

int ReadFiles::FindFiles(std::list<std::string>* out, const std::string& folder,
                         const std::string& extension, bool withPath, bool keepExtension)
{
    if (!out)
        return 0;
    DIR* dir = opendir(phonePath(folder).c_str());
    if (!dir)
        return 0;
    std::string prefix;
    if (withPath) {
        prefix = folder;
        if (prefix.empty() || prefix.back() != '/')
            prefix += '/';
    }
    while (struct dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == ".." || name == ".svn" || !EndsWithNoCase(name, extension))
            continue;
        if (!keepExtension)
            name.resize(name.size() - extension.size());
        out->push_back(prefix + name);
    }
    closedir(dir);
    return 1;
}
