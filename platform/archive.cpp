#include "platform/archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/paths.h"

namespace {

using ArchivePtr = std::unique_ptr<archive, decltype(&archive_read_free)>;

ArchivePtr openTar(const std::string& path)
{
    ArchivePtr reader(archive_read_new(), archive_read_free);
    archive_read_support_format_tar(reader.get());
    archive_read_support_format_gnutar(reader.get());
    archive_read_support_filter_gzip(reader.get());
    if (archive_read_open_filename(reader.get(), path.c_str(), 16384) != ARCHIVE_OK)
        return ArchivePtr(nullptr, archive_read_free);
    return reader;
}

// A relative name without ".." parts ("./a" and "a//b" are harmless).
bool safeEntryName(const std::string& name)
{
    if (name.empty() || name[0] == '/')
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        if (name.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

bool checkEntries(const std::string& path, long long maxBytes, std::string& error)
{
    ArchivePtr reader = openTar(path);
    if (!reader) {
        error = "not a tar archive";
        return false;
    }
    long long total = 0;
    int count = 0;
    archive_entry* entry;
    int status;
    while ((status = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK) {
        const char* name = archive_entry_pathname(entry);
        mode_t type = archive_entry_filetype(entry);
        if (!name || !safeEntryName(name)) {
            error = "unsafe entry name";
            return false;
        }
        if ((type != AE_IFREG && type != AE_IFDIR) || archive_entry_hardlink(entry)) {
            error = std::string("not a file or folder: ") + name;
            return false;
        }
        total += archive_entry_size(entry);
        if (total > maxBytes) {
            error = "archive too large";
            return false;
        }
        ++count;
    }
    if (status != ARCHIVE_EOF || count == 0) {
        error = count == 0 ? "empty or unreadable archive" : "damaged archive";
        return false;
    }
    return true;
}

bool writeEntry(archive* reader, const std::string& target)
{
    int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = archive_read_data_into_fd(reader, fd) == ARCHIVE_OK;
    ok = fsync(fd) == 0 && ok;
    return close(fd) == 0 && ok;
}

int removeOne(const char* path, const struct stat*, int type, struct FTW*)
{
    return (type == FTW_DP ? rmdir(path) : unlink(path)) == 0 || errno == ENOENT ? 0 : -1;
}

}  // namespace

bool unpackArchiveChecked(const std::string& archivePath, const std::string& destination,
                          long long maxBytes, std::string& error)
{
    if (!checkEntries(archivePath, maxBytes, error))
        return false;
    if (!makeDirs(destination)) {
        error = "cannot create " + destination;
        return false;
    }
    ArchivePtr reader = openTar(archivePath);
    archive_entry* entry;
    while (reader && archive_read_next_header(reader.get(), &entry) == ARCHIVE_OK) {
        std::string target = destination + "/" + archive_entry_pathname(entry);
        bool ok;
        if (archive_entry_filetype(entry) == AE_IFDIR) {
            ok = makeDirs(target);
        } else {
            std::string folder = target.substr(0, target.rfind('/'));
            ok = makeDirs(folder) && writeEntry(reader.get(), target);
        }
        if (!ok) {
            error = "cannot write " + target;
            return false;
        }
    }
    return reader != nullptr;
}

bool removeTree(const std::string& realPath)
{
    struct stat st;
    if (lstat(realPath.c_str(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return unlink(realPath.c_str()) == 0;
    return nftw(realPath.c_str(), removeOne, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

bool replaceFolder(const std::string& staged, const std::string& target)
{
    std::string aside = target + ".old";
    removeTree(aside);
    struct stat st;
    bool hadOld = lstat(target.c_str(), &st) == 0;
    if (hadOld && rename(target.c_str(), aside.c_str()) != 0)
        return false;
    if (rename(staged.c_str(), target.c_str()) != 0) {
        if (hadOld)
            rename(aside.c_str(), target.c_str());
        return false;
    }
    removeTree(aside);
    return true;
}
