#include "platform/configparser.h"

#include "platform/fileutil.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

const char kUserStore[] = "/config/system/config.cfg";
const char kFactoryStore[] = "/phone/factory/config.cfg";
const char kStoreLock[] = "/config/system/config.cfg.lock";
const char kStoreFolder[] = "/config/system";

// One parsed store file. Comment and unparsable lines are kept (key empty,
// text in value) so that a save writes them back where they were.
struct Store {
    struct Line {
        std::string key;
        std::string value;
    };
    std::string path;  // the real path it was read from
    FileStamp stamp;
    uint64_t checkedRequest = 0;  // the request in which the stamp was last checked
    bool loaded = false;
    bool readable = true;  // false: the file exists but could not be read
    std::vector<Line> lines;
    std::unordered_map<std::string, size_t> index;

    const std::string* find(const std::string& key) const
    {
        auto it = index.find(key);
        return it == index.end() ? nullptr : &lines[it->second].value;
    }
};

std::mutex gMutex;
Store gUser;
Store gFactory;
int gFailWrites = 0;
// Requests counted by configParser_BeginRequest; 0 until the first, which
// keeps the check at every read.
uint64_t gRequest = 0;

std::string unescape(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char next = text[i + 1];
            if (next == '\\' || next == 'n' || next == 'r') {
                out += next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string escape(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

void parse(Store& store, const std::string& text)
{
    store.lines.clear();
    store.index.clear();
    for (const std::string& line : splitLines(text)) {
        size_t equals = line.find('=');
        std::string key = equals == std::string::npos ? std::string() : trim(line.substr(0, equals));
        if (key.empty() || key[0] == '#') {
            store.lines.push_back({std::string(), line});
            continue;
        }
        std::string value = unescape(line.substr(equals + 1));
        auto found = store.index.find(key);
        if (found != store.index.end()) {
            // A repeated name: the later line wins, kept at the first place.
            store.lines[found->second].value = value;
            continue;
        }
        store.index.emplace(key, store.lines.size());
        store.lines.push_back({key, value});
    }
}

std::string serialize(const Store& store)
{
    std::string out;
    for (const Store::Line& line : store.lines) {
        if (line.key.empty())
            out += line.value;
        else
            out += line.key + "=" + escape(line.value);
        out += '\n';
    }
    return out;
}

// Brings the cached copy up to date with the file on disk.
Store& refreshed(Store& store, const char* phoneFile)
{
    std::string path = phonePath(phoneFile);
    if (gRequest != 0 && store.loaded && store.checkedRequest == gRequest && store.path == path)
        return store;
    FileStamp stamp = fileStampOf(path);
    store.checkedRequest = gRequest;
    if (store.loaded && store.path == path && store.stamp == stamp)
        return store;
    store.path = path;
    store.stamp = stamp;
    store.loaded = true;
    std::string text;
    store.readable = !stamp.exists || readWholeFile(path, text);
    parse(store, text);
    return store;
}

// The effective value: the user store, then the factory default of the
// name, then the factory default given for every account ("<field>.*").
const std::string* factoryDefault(const std::string& name);

const std::string* lookup(const std::string& name)
{
    if (const std::string* value = refreshed(gUser, kUserStore).find(name))
        return value;
    return factoryDefault(name);
}

const std::string* factoryDefault(const std::string& name)
{
    Store& factory = refreshed(gFactory, kFactoryStore);
    if (const std::string* value = factory.find(name))
        return value;
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot + 1 == name.size() ||
        name.find_first_not_of("0123456789", dot + 1) != std::string::npos)
        return nullptr;
    return factory.find(name.substr(0, dot + 1) + "*");
}

// A name the store format can hold: it is written before the first '=' of
// its line and read back trimmed.
bool isStorableName(const char* name)
{
    if (!name || !*name || name[0] == '#')
        return false;
    std::string text = name;
    return text.find_first_of("=\n\r") == std::string::npos && trim(text) == text;
}

bool takeWriteFailure()
{
    if (gFailWrites == 0)
        return false;
    if (gFailWrites > 0)
        --gFailWrites;
    return true;
}

}  // namespace

std::string configParser_GetConfigString(const char* name)
{
    if (!name)
        return std::string();
    std::lock_guard<std::mutex> guard(gMutex);
    const std::string* value = lookup(name);
    return value ? *value : std::string();
}

bool configParser_HasConfig(const char* name)
{
    if (!name)
        return false;
    std::lock_guard<std::mutex> guard(gMutex);
    return lookup(name) != nullptr;
}

int configParser_SetConfigString(const char* name, const char* value)
{
    if (!isStorableName(name) || !value) {
        log_log(2, 4, "configParser_SetConfigString: refused name");
        return -1;
    }
    return configParser_SetConfigStrings({{name, value}});
}

int configParser_SetConfigStrings(const std::vector<std::pair<std::string, std::string>>& items,
                                  std::vector<int>* changed)
{
    if (changed)
        changed->assign(items.size(), 0);
    for (const auto& item : items) {
        if (!isStorableName(item.first.c_str())) {
            log_log(2, 4, "configParser_SetConfigString: refused name");
            return -1;
        }
    }
    std::lock_guard<std::mutex> guard(gMutex);
    FileLock lock;
    if (!makeDirs(phonePath(kStoreFolder)) || !lock.lock(phonePath(kStoreLock))) {
        log_log(2, 3, "configParser_SetConfigString: cannot lock the store");
        return -1;
    }
    // Under the lock the file on disk is the truth: another process may have
    // saved since this request last looked, and its change must not be lost.
    gUser.checkedRequest = 0;
    Store& user = refreshed(gUser, kUserStore);
    Store updated = user;
    int count = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        const std::string& name = items[i].first;
        const std::string& value = items[i].second;
        const std::string* current = updated.find(name);
        if (!current)
            current = factoryDefault(name);
        if ((current && *current == value) || (!current && value.empty()))
            continue;  // unset already reads as the empty text
        auto found = updated.index.find(name);
        if (found != updated.index.end()) {
            updated.lines[found->second].value = value;
        } else {
            updated.index.emplace(name, updated.lines.size());
            updated.lines.push_back({name, value});
        }
        if (changed)
            (*changed)[i] = 1;
        ++count;
    }
    if (count == 0)
        return 0;
    if (!user.readable) {
        // Saving now would drop every setting the file holds.
        log_log(2, 3, "configParser_SetConfigString: %s cannot be read", kUserStore);
        if (changed)
            changed->assign(items.size(), 0);
        return -1;
    }
    if (takeWriteFailure() || !writeFileAtomic(updated.path, serialize(updated))) {
        log_log(2, 3, "configParser_SetConfigString: cannot save %s", kUserStore);
        if (changed)
            changed->assign(items.size(), 0);
        return -1;
    }
    updated.stamp = fileStampOf(updated.path);
    updated.checkedRequest = gRequest;
    user = std::move(updated);
    return count;
}

std::string configParser_GetAccountConfigName(const char* name, int account)
{
    if (!name)
        return std::string();
    return std::string(name) + "." + std::to_string(account);
}

int configParser_GetConfigInt(const char* name)
{
    std::string text = trim(configParser_GetConfigString(name));
    if (text.empty())
        return 0;
    errno = 0;
    char* end = nullptr;
    long value = strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < INT_MIN || value > INT_MAX)
        return 0;
    return static_cast<int>(value);
}

void configParser_FailNextWrites(int count)
{
    std::lock_guard<std::mutex> guard(gMutex);
    gFailWrites = count;
}

void configParser_BeginRequest()
{
    std::lock_guard<std::mutex> guard(gMutex);
    ++gRequest;
}
