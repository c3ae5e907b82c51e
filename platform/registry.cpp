#include "platform/registry.h"

#include "platform/fileutil.h"
#include "platform/paths.h"
#include "platform/system.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>

// Debian ships SimpleIni's template bodies behind SI_IMPLEMENTATION; this is
// the one translation unit that instantiates them. No wide-character
// conversion is needed for byte strings.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace {

struct RegFile;

}  // namespace

struct _HREGISTRY_ {
    RegFile* file;
    std::string section;
};

namespace {

struct RegFile {
    std::string path;  // real path
    std::string root;  // the phone root it was opened under
    CSimpleIniA ini{false, false, false};
    FileStamp stamp;
    bool loaded = false;
    bool readable = true;  // false: it exists but could not be read
    bool dirty = false;
    std::map<std::string, std::unique_ptr<_HREGISTRY_>> handles;
};

std::recursive_mutex gMutex;
std::map<std::string, std::unique_ptr<RegFile>> gFiles;
int gFailWrites = 0;

bool folderExists(const std::string& realPath)
{
    size_t slash = realPath.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : realPath.substr(0, slash);
    if (folder.empty())
        folder = "/";
    struct stat st;
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Re-reads the file when it changed on disk, unless this process holds
// changes to it that are not written yet.
void refresh(RegFile& file)
{
    FileStamp stamp = fileStampOf(file.path);
    if (file.dirty || (file.loaded && stamp == file.stamp))
        return;
    file.loaded = true;
    file.stamp = stamp;
    file.ini.Reset();
    std::string text;
    file.readable = !stamp.exists || readWholeFile(file.path, text);
    if (file.readable && file.ini.LoadData(text) < 0)
        file.readable = false;
}

// The cached file for a phone path; null when the path is null or its folder
// does not exist.
RegFile* fileFor(const char* path)
{
    if (!path || !*path)
        return nullptr;
    std::string real = phonePath(path);
    if (!folderExists(real))
        return nullptr;
    std::unique_ptr<RegFile>& slot = gFiles[real];
    if (!slot) {
        slot = std::make_unique<RegFile>();
        slot->path = real;
        slot->root = phoneRoot();
    }
    refresh(*slot);
    return slot.get();
}

bool hasLineBreak(const char* text)
{
    for (; *text; ++text) {
        if (*text == '\n' || *text == '\r')
            return true;
    }
    return false;
}

// Texts that an INI line can hold without turning into another line, key or
// section.
bool isStorableKey(const char* key)
{
    return key && *key && !hasLineBreak(key) && key[0] != ';' && key[0] != '#' && key[0] != '[' &&
           std::string(key).find('=') == std::string::npos;
}

bool isStorableSection(const char* section)
{
    return section && !hasLineBreak(section) && std::string(section).find(']') == std::string::npos;
}

bool parseInt(const char* text, int& out)
{
    if (!text)
        return false;
    errno = 0;
    char* end = nullptr;
    long value = strtol(text, &end, 10);
    while (end && (*end == ' ' || *end == '\t'))
        ++end;
    if (end == text || errno != 0 || *end != '\0' || value < INT_MIN || value > INT_MAX)
        return false;
    out = static_cast<int>(value);
    return true;
}

bool writeFile(RegFile& file)
{
    if (!file.readable) {
        // Writing now would drop what the unreadable file holds.
        log_log(2, 3, "registry: %s cannot be read, not written", file.path.c_str());
        return false;
    }
    std::string text;
    bool failed = gFailWrites != 0;
    if (gFailWrites > 0)
        --gFailWrites;
    if (failed || file.ini.Save(text) < 0 || !writeFileAtomic(file.path, text)) {
        log_log(2, 3, "registry: cannot write %s", file.path.c_str());
        return false;
    }
    file.dirty = false;
    file.stamp = fileStampOf(file.path);
    return true;
}

}  // namespace

_HREGISTRY_* registryOpen(const char* path, const char* section)
{
    if (!isStorableSection(section))
        return nullptr;
    std::lock_guard<std::recursive_mutex> guard(gMutex);
    RegFile* file = fileFor(path);
    if (!file || !file->readable)
        return nullptr;
    std::unique_ptr<_HREGISTRY_>& handle = file->handles[section];
    if (!handle)
        handle.reset(new _HREGISTRY_{file, section});
    return handle.get();
}

std::string registryGetString(_HREGISTRY_* handle, const char* key, const char* defaultValue)
{
    std::string fallback = defaultValue ? defaultValue : "";
    if (!handle || !key)
        return fallback;
    std::lock_guard<std::recursive_mutex> guard(gMutex);
    const char* value = handle->file->ini.GetValue(handle->section.c_str(), key, nullptr);
    return value ? std::string(value) : fallback;
}

int registryGetInt(_HREGISTRY_* handle, const char* key, int defaultValue)
{
    std::string text = registryGetString(handle, key, "");
    int value = 0;
    return parseInt(text.c_str(), value) ? value : defaultValue;
}

int registrySetString(_HREGISTRY_* handle, const char* key, const char* value, int /*flag*/)
{
    if (!handle || !isStorableKey(key) || !value || hasLineBreak(value)) {
        log_log(2, 4, "registrySetString: refused key or value");
        return 0;
    }
    std::lock_guard<std::recursive_mutex> guard(gMutex);
    RegFile& file = *handle->file;
    const char* section = handle->section.c_str();
    const char* current = file.ini.GetValue(section, key, nullptr);
    if (current && std::string(current) == value)
        return 1;
    if (file.ini.SetValue(section, key, value) < 0)
        return 0;
    file.dirty = true;
    return 1;
}

int registrySetInt(_HREGISTRY_* handle, const char* key, int value)
{
    return registrySetString(handle, key, std::to_string(value).c_str(), 0);
}

int registryFlush(_HREGISTRY_* handle)
{
    if (!handle)
        return 0;
    std::lock_guard<std::recursive_mutex> guard(gMutex);
    return writeFile(*handle->file) ? 1 : 0;
}

const char* regHANDLE2Section(_HREGISTRY_* handle)
{
    return handle ? handle->section.c_str() : "";
}

std::string etlGetProfileString(const char* file, const char* section, const char* key,
                                const char* defaultValue)
{
    std::string fallback = defaultValue ? defaultValue : "";
    if (!section || !key)
        return fallback;
    std::lock_guard<std::recursive_mutex> guard(gMutex);
    RegFile* regFile = fileFor(file);
    if (!regFile)
        return fallback;
    const char* value = regFile->ini.GetValue(section, key, nullptr);
    return value ? std::string(value) : fallback;
}

int etlGetProfileInt(const char* file, const char* section, const char* key, int defaultValue)
{
    std::string text = etlGetProfileString(file, section, key, "");
    int value = 0;
    return parseInt(text.c_str(), value) ? value : defaultValue;
}

int etlRegFlushAllFile()
{
    std::lock_guard<std::recursive_mutex> guard(gMutex);
    bool allWritten = true;
    std::string root = phoneRoot();
    for (auto& entry : gFiles) {
        // Files of an earlier phone root (tests switch roots) are not ours now.
        if (entry.second->dirty && entry.second->root == root && !writeFile(*entry.second))
            allWritten = false;
    }
    return allWritten ? 1 : 0;
}

void registryFailNextWrites(int count)
{
    std::lock_guard<std::recursive_mutex> guard(gMutex);
    gFailWrites = count;
}
