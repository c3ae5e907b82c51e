#include "maintenance/ConfigArchive.h"

#include <archive.h>
#include <archive_entry.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/paths.h"

namespace ConfigArchive {

namespace {

constexpr size_t kMaxNameLength = 255;
constexpr int kMaxDepth = 32;
constexpr size_t kBlock = 64 * 1024;
constexpr char kTempSuffix[] = ".import~";

struct ReadCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};
typedef std::unique_ptr<archive, ReadCloser> Reader;

Reader OpenReader(const std::string& realPath)
{
    Reader reader(archive_read_new());
    if (!reader)
        return reader;
    archive_read_support_format_tar(reader.get());
    archive_read_support_filter_gzip(reader.get());
    if (archive_read_open_filename(reader.get(), realPath.c_str(), 10240) != ARCHIVE_OK)
        reader.reset();
    return reader;
}

std::vector<std::string> SplitParts(const std::string& name)
{
    std::vector<std::string> parts;
    size_t at = 0;
    while (at <= name.size()) {
        size_t slash = name.find('/', at);
        if (slash == std::string::npos)
            slash = name.size();
        parts.push_back(name.substr(at, slash - at));
        at = slash + 1;
    }
    // A folder's name ends in "/".
    if (parts.size() > 1 && parts.back().empty())
        parts.pop_back();
    return parts;
}

// The entry's name below its top folder ("" for the top folder itself).
std::string BelowTop(const std::string& name, Layout layout)
{
    std::string top = layout == Layout::Factory ? "factory" : "phone/factory";
    if (name.compare(0, top.size(), top) != 0)
        return std::string();
    std::string rest = name.substr(top.size());
    while (!rest.empty() && rest[0] == '/')
        rest.erase(0, 1);
    while (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    return rest;
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The platform's lock files belong to the processes holding them, and an
// import's temporaries to that import: neither is part of a configuration.
bool IsLockOrTemp(const std::string& name)
{
    return EndsWith(name, ".lock") || EndsWith(name, kTempSuffix);
}

struct Node {
    std::string rel;  // "" for the top
    struct stat info;
};

// Every folder and regular file below realDir, parents before children, in
// name order. False when a folder cannot be read.
bool ListTree(const std::string& realDir, const std::string& rel, int depth, std::vector<Node>& out)
{
    if (depth > kMaxDepth)
        return false;
    DIR* dir = opendir((rel.empty() ? realDir : realDir + "/" + rel).c_str());
    if (!dir)
        return false;
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0 &&
            !IsLockOrTemp(entry->d_name))
            names.push_back(entry->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        Node node;
        node.rel = rel.empty() ? name : rel + "/" + name;
        if (lstat((realDir + "/" + node.rel).c_str(), &node.info) != 0)
            return false;
        if (S_ISDIR(node.info.st_mode)) {
            out.push_back(node);
            if (!ListTree(realDir, node.rel, depth + 1, out))
                return false;
        } else if (S_ISREG(node.info.st_mode)) {
            out.push_back(node);
        }
    }
    return true;
}

void SetTimes(int fd, const std::string& path, time_t seconds, long nanoseconds)
{
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = seconds;
    times[0].tv_nsec = times[1].tv_nsec = nanoseconds;
    if (fd >= 0)
        futimens(fd, times);
    else
        utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

// Copies one regular file to a new file (which must not exist) with the
// source's mode and times; with sync it is on disk before this returns.
bool CopyFile(const std::string& from, const std::string& to, const struct stat& info, bool sync)
{
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0)
        return false;
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                   info.st_mode & 0777);
    if (out < 0) {
        close(in);
        return false;
    }
    std::vector<char> buffer(kBlock);
    bool ok = true;
    for (;;) {
        ssize_t got = read(in, buffer.data(), buffer.size());
        if (got == 0)
            break;
        if (got < 0 || !writeAll(out, buffer.data(), static_cast<size_t>(got))) {
            ok = false;
            break;
        }
    }
    fchmod(out, info.st_mode & 0777);
    SetTimes(out, to, info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
    ok = (!sync || fsync(out) == 0) && ok;
    ok = close(out) == 0 && ok;
    close(in);
    if (!ok)
        unlink(to.c_str());
    return ok;
}

}  // namespace

Layout EntryLayout(const std::string& name)
{
    if (name.empty() || name.size() > kMaxNameLength || name[0] == '/')
        return Layout::None;
    for (char c : name) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '\\')
            return Layout::None;
    }
    std::vector<std::string> parts = SplitParts(name);
    for (const std::string& part : parts) {
        if (part.empty() || part == "." || part == "..")
            return Layout::None;
    }
    if (parts[0] == "factory")
        return Layout::Factory;
    if (parts[0] == "phone" && (parts.size() == 1 || parts[1] == "factory"))
        return Layout::PhoneFactory;
    return Layout::None;
}

Layout CheckArchive(const std::string& realPath, std::string& reason)
{
    struct stat info;
    if (stat(realPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = "no archive";
        return Layout::None;
    }
    if (static_cast<long long>(info.st_size) > kMaxArchiveBytes) {
        reason = "archive too large";
        return Layout::None;
    }
    Reader reader = OpenReader(realPath);
    if (!reader) {
        reason = "not an archive";
        return Layout::None;
    }
    Layout layout = Layout::None;
    bool sawTop = false;
    long long bytes = 0;
    int entries = 0;
    archive_entry* entry = nullptr;
    int status;
    while ((status = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK) {
        const char* path = archive_entry_pathname(entry);
        std::string name = path ? path : "";
        Layout mine = EntryLayout(name);
        mode_t type = archive_entry_filetype(entry);
        if (mine == Layout::None) {
            reason = "entry name refused: " + name;
            return Layout::None;
        }
        if (layout != Layout::None && mine != layout) {
            reason = "two top folders";
            return Layout::None;
        }
        layout = mine;
        if (archive_entry_hardlink(entry) || archive_entry_symlink(entry) ||
            (type != AE_IFREG && type != AE_IFDIR)) {
            reason = "entry type refused: " + name;
            return Layout::None;
        }
        if (++entries > kMaxEntries) {
            reason = "too many entries";
            return Layout::None;
        }
        long long size = archive_entry_size(entry);
        if (size < 0 || size > kMaxUnpackedBytes || (bytes += size) > kMaxUnpackedBytes) {
            reason = "too large unpacked";
            return Layout::None;
        }
        if (type == AE_IFREG && BelowTop(name, mine).empty()) {
            reason = "top folder is a file";
            return Layout::None;
        }
        // "phone/" alone is only the older layout's parent folder.
        if (mine == Layout::Factory || SplitParts(name).size() >= 2)
            sawTop = true;
    }
    if (status != ARCHIVE_EOF) {
        reason = "broken archive";
        return Layout::None;
    }
    if (layout == Layout::None || !sawTop) {
        reason = "neither factory/ nor phone/factory/";
        return Layout::None;
    }
    return layout;
}

bool ExtractArchive(const std::string& realPath, Layout layout, const std::string& realDir)
{
    if (layout == Layout::None || !makeDirs(realDir))
        return false;
    Reader reader = OpenReader(realPath);
    if (!reader)
        return false;
    long long total = 0;
    archive_entry* entry = nullptr;
    int status;
    std::vector<char> buffer(kBlock);
    while ((status = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK) {
        std::string name = archive_entry_pathname(entry) ? archive_entry_pathname(entry) : "";
        // Checked before, but the file may have changed since: check again.
        if (EntryLayout(name) != layout || archive_entry_hardlink(entry) ||
            archive_entry_symlink(entry))
            return false;
        std::string rel = BelowTop(name, layout);
        if (rel.empty())
            continue;
        std::string target = realDir + "/" + rel;
        mode_t type = archive_entry_filetype(entry);
        if (type == AE_IFDIR) {
            if (!makeDirs(target))
                return false;
            continue;
        }
        if (type != AE_IFREG)
            return false;
        size_t slash = target.rfind('/');
        if (!makeDirs(target.substr(0, slash)))
            return false;
        // Owner read/write always; never set-id bits from an archive.
        mode_t mode = (archive_entry_perm(entry) & 0777) | 0600;
        int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd < 0)
            return false;
        bool ok = true;
        for (;;) {
            la_ssize_t got = archive_read_data(reader.get(), buffer.data(), buffer.size());
            if (got == 0)
                break;
            total += got;
            if (got < 0 || total > kMaxUnpackedBytes ||
                !writeAll(fd, buffer.data(), static_cast<size_t>(got))) {
                ok = false;
                break;
            }
        }
        if (ok && archive_entry_mtime_is_set(entry))
            SetTimes(fd, target, archive_entry_mtime(entry), archive_entry_mtime_nsec(entry));
        ok = close(fd) == 0 && ok;
        if (!ok)
            return false;
    }
    return status == ARCHIVE_EOF;
}

bool WriteTar(const std::string& realOut, const std::string& realBase, const std::string& top)
{
    std::vector<Node> nodes;
    Node root;
    if (lstat((realBase + "/" + top).c_str(), &root.info) != 0 || !S_ISDIR(root.info.st_mode))
        return false;
    nodes.push_back(root);
    if (!ListTree(realBase + "/" + top, "", 0, nodes))
        return false;
    archive* writer = archive_write_new();
    if (!writer)
        return false;
    bool ok = archive_write_set_format_pax_restricted(writer) == ARCHIVE_OK &&
              archive_write_open_filename(writer, realOut.c_str()) == ARCHIVE_OK;
    std::vector<char> buffer(kBlock);
    for (size_t i = 0; ok && i < nodes.size(); ++i) {
        const Node& node = nodes[i];
        std::string real = realBase + "/" + top + (node.rel.empty() ? "" : "/" + node.rel);
        std::string name = top + "/" + node.rel;
        if (S_ISDIR(node.info.st_mode) && name.back() != '/')
            name += '/';
        archive_entry* entry = archive_entry_new();
        archive_entry_copy_stat(entry, &node.info);
        archive_entry_set_pathname(entry, name.c_str());
        ok = archive_write_header(writer, entry) == ARCHIVE_OK;
        archive_entry_free(entry);
        if (!ok || !S_ISREG(node.info.st_mode))
            continue;
        int fd = open(real.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            ok = false;
            break;
        }
        long long left = node.info.st_size;
        while (ok && left > 0) {
            ssize_t got = read(fd, buffer.data(), std::min<long long>(left, kBlock));
            ok = got > 0 && archive_write_data(writer, buffer.data(), static_cast<size_t>(got)) == got;
            left -= got;
        }
        close(fd);
    }
    ok = archive_write_close(writer) == ARCHIVE_OK && ok;
    archive_write_free(writer);
    if (!ok)
        unlink(realOut.c_str());
    return ok;
}

bool CopyTree(const std::string& realFrom, const std::string& realTo, bool sync)
{
    struct stat info;
    if (lstat(realFrom.c_str(), &info) != 0)
        return false;
    if (S_ISREG(info.st_mode)) {
        unlink(realTo.c_str());
        return CopyFile(realFrom, realTo, info, sync);
    }
    if (!S_ISDIR(info.st_mode))
        return true;
    std::vector<Node> nodes;
    if (!makeDirs(realTo) || !ListTree(realFrom, "", 0, nodes))
        return false;
    for (const Node& node : nodes) {
        std::string to = realTo + "/" + node.rel;
        if (S_ISDIR(node.info.st_mode)) {
            if (!makeDirs(to))
                return false;
            chmod(to.c_str(), node.info.st_mode & 0777);
        } else {
            unlink(to.c_str());
            if (!CopyFile(realFrom + "/" + node.rel, to, node.info, sync))
                return false;
        }
    }
    // Folder times last: writing into a folder changes its time.
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) {
        if (S_ISDIR(it->info.st_mode))
            SetTimes(-1, realTo + "/" + it->rel, it->info.st_mtim.tv_sec, it->info.st_mtim.tv_nsec);
    }
    SetTimes(-1, realTo, info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
    return true;
}

bool OverlayTree(const std::string& realStaged, const std::string& realTarget)
{
    std::vector<Node> nodes;
    if (!ListTree(realStaged, "", 0, nodes))
        return false;
    // A folder where the staged tree has a file (or the other way round), or
    // a link on the way, is refused before anything changes.
    for (const Node& node : nodes) {
        struct stat there;
        if (lstat((realTarget + "/" + node.rel).c_str(), &there) != 0)
            continue;
        if (S_ISDIR(node.info.st_mode) != S_ISDIR(there.st_mode) ||
            (!S_ISDIR(there.st_mode) && !S_ISREG(there.st_mode)))
            return false;
    }
    std::vector<std::string> madeDirs;
    std::vector<std::pair<std::string, std::string>> written;  // temp, final
    bool ok = true;
    for (const Node& node : nodes) {
        std::string to = realTarget + "/" + node.rel;
        if (S_ISDIR(node.info.st_mode)) {
            if (access(to.c_str(), F_OK) != 0) {
                ok = mkdir(to.c_str(), node.info.st_mode & 0777) == 0;
                if (ok)
                    madeDirs.push_back(to);
            }
        } else {
            std::string temp = to + kTempSuffix;
            unlink(temp.c_str());
            ok = CopyFile(realStaged + "/" + node.rel, temp, node.info, false);
            if (ok)
                written.emplace_back(temp, to);
        }
        if (!ok)
            break;
    }
    auto rollBack = [&]() {
        for (const auto& file : written)
            unlink(file.first.c_str());
        for (auto it = madeDirs.rbegin(); it != madeDirs.rend(); ++it)
            rmdir(it->c_str());
        return false;
    };
    if (!ok)
        return rollBack();
    // Every new file is on disk before the first one takes its place; one
    // sync of the file system costs what a single file's fsync does.
    int fd = open(realTarget.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ok = fd >= 0 && syncfs(fd) == 0;
    if (fd >= 0)
        close(fd);
    if (!ok)
        return rollBack();
    for (const auto& file : written)
        ok = rename(file.first.c_str(), file.second.c_str()) == 0 && ok;
    return ok;
}

}  // namespace ConfigArchive
