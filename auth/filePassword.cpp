#include "auth/filePassword.h"

#include <crypt.h>
#include <openssl/crypto.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "platform/paths.h"
#include "platform/system.h"

namespace {

constexpr char kSaltAlphabet[] = "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr size_t kBlockLength = 13;  // 2 salt characters and 11 of hash
constexpr size_t kKeyLength = 8;     // DES uses at most 8 characters of key

constexpr char kRecordLog[] = "/config/webrecord.log";
// The diagnostic log is left alone once it is this big: it lives on the
// configuration partition and must not fill it.
constexpr long long kRecordLogMax = 64 * 1024;

bool IsPrintable(unsigned char c)
{
    return c >= 32 && c <= 126;
}

bool IsSaltCharacter(char c)
{
    return c != '\0' && std::strchr(kSaltAlphabet, c) != nullptr;
}

// A DES crypt(3) result: 13 characters of the salt alphabet. Anything else
// (a failure token such as "*0", or nothing) adds no block.
bool IsDesBlock(const char* text)
{
    if (!text || std::strlen(text) != kBlockLength)
        return false;
    for (size_t i = 0; i < kBlockLength; ++i)
        if (!IsSaltCharacter(text[i]))
            return false;
    return true;
}

bool IsStorableName(const char* user)
{
    if (!user || !*user)
        return false;
    for (const char* p = user; *p; ++p)
        if (*p == ':' || !IsPrintable(static_cast<unsigned char>(*p)))
            return false;
    return true;
}

bool SameText(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

filePassword::filePassword(const char* path)
{
    std::string text;
    if (path && readWholeFile(phonePath(path), text)) {
        loaded_ = true;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            std::string line = text.substr(start, end - start);
            size_t colon = line.find(':');
            if (colon != std::string::npos)
                entries_.emplace_back(line.substr(0, colon), line.substr(colon + 1));
            start = end + 1;
        }
    }
    srand(static_cast<unsigned>(time(nullptr)));
}

const filePassword::Entry* filePassword::find(const char* user) const
{
    if (!user)
        return nullptr;
    for (const Entry& entry : entries_)
        if (entry.first == user)
            return &entry;
    return nullptr;
}

int filePassword::IsRightUserPassword(const char* user, const char* password) const
{
    const Entry* entry = find(user);
    // A hash that came out empty (crypt refusing every block) never
    // authenticates, even against an empty stored hash.
    std::string hash = entry ? GetEncryptedText(password, entry->second.c_str()) : std::string();
    int right = entry && !hash.empty() && SameText(hash, entry->second) ? 1 : 0;
    // The user name only: nothing of the password or of either hash.
    log_log(2, 6, "password check for user [%s]: %s\n", user ? user : "",
            entry ? (right ? "right" : "wrong") : "no such user");
    return right;
}

int filePassword::SetUserPassword(const char* user, const char* password)
{
    if (!IsStorableName(user))
        return -1;
    for (Entry& entry : entries_) {
        if (entry.first != user)
            continue;
        std::string hash = GetEncryptedText(password, entry.second.c_str());
        if (hash == entry.second)
            return 0;
        entry.second = hash;
        return 1;
    }
    entries_.emplace_back(user, GetEncryptedText(password, nullptr));
    return 1;
}

int filePassword::RemoveUser(const char* user)
{
    if (!user)
        return 0;
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->first == user) {
            entries_.erase(it);
            return 1;
        }
    }
    return 0;
}

int filePassword::SaveToFile(const char* path) const
{
    if (!path)
        return 0;
    std::string text;
    for (const Entry& entry : entries_)
        text += entry.first + ":" + entry.second + "\n";
    if (!writeFileAtomic(phonePath(path), text, 0600)) {
        log_log(2, 3, "cannot save the password file %s\n", path);
        return 0;
    }
    return 1;
}

std::string filePassword::GetEncryptedText(const char* password, const char* salt)
{
    std::string plain;
    for (const char* p = password; p && IsPrintable(static_cast<unsigned char>(*p)); ++p)
        plain += *p;
    size_t blocks = plain.empty() ? 1 : (plain.size() - 1) / kKeyLength + 1;

    std::string material = salt ? salt : "";
    while (material.size() < kBlockLength * blocks) {
        if (!material.empty() && material.size() % kBlockLength == 0)
            material.append(material, 0, 2);
        else
            material += kSaltAlphabet[rand() % 64];
    }

    // crypt_rn keeps its state in the caller's area (about 32 KiB, so not on
    // the stack); the zeroed area starts a fresh state. Unlike crypt and
    // crypt_r it is not wrapped by the sanitizers, whose wrappers cannot
    // reach libcrypt when it arrives with a library loaded at run time.
    auto state = std::make_unique<crypt_data>();
    std::string out;
    for (size_t i = 0; i < blocks; ++i) {
        const char* key = plain.c_str() + std::min(plain.size(), kKeyLength * i);
        std::string setting = material.substr(kBlockLength * i, 2);
        const char* block = crypt_rn(key, setting.c_str(), state.get(), sizeof(crypt_data));
        if (IsDesBlock(block))
            out += block;
    }
    return out;
}

int IsIncludeInvalidChar(const char* text)
{
    for (const char* p = text; p && *p; ++p)
        if (!IsPrintable(static_cast<unsigned char>(*p)))
            return 1;
    return 0;
}

void RecordPasswordLog(const char* source, const char* infile, const char* input, const char* label)
{
    if (!source || !infile || !input || !label || IsIncludeInvalidChar(source) != 1)
        return;
    std::string path = phonePath(kRecordLog);
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && st.st_size >= kRecordLogMax)
        return;
    FILE* log = fopen(path.c_str(), "a");
    if (!log)
        return;
    // Never the password, its bytes, its length or a hash: only that it
    // happened and where.
    fprintf(log, "%.64s: a password held characters outside 32..126\n", label);
    fclose(log);
}
