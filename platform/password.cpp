#include "platform/password.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "platform/paths.h"

namespace {

constexpr char kPrefix[] = "ENC1:";
constexpr size_t kPrefixLength = sizeof kPrefix - 1;
constexpr int kIvSize = 16;
// The device key of the stand-in platform; the phone derives it from its
// burned-in secret the same way.
constexpr char kDeviceSecret[] = "phoneplatform/passwords-at-rest/v1";

void DeviceKey(unsigned char key[SHA256_DIGEST_LENGTH])
{
    SHA256(reinterpret_cast<const unsigned char*>(kDeviceSecret), sizeof kDeviceSecret - 1, key);
}

// Encrypts (enc 1) or decrypts (enc 0) with the device key; false on failure.
bool Crypt(int enc, const unsigned char* iv, const unsigned char* in, int length,
           std::vector<unsigned char>& out)
{
    unsigned char key[SHA256_DIGEST_LENGTH];
    DeviceKey(key);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (!ctx)
        return false;
    out.assign(static_cast<size_t>(length) + kIvSize, 0);
    int first = 0;
    int last = 0;
    bool ok = EVP_CipherInit_ex(ctx, EVP_aes_256_cbc(), nullptr, key, iv, enc) == 1 &&
              EVP_CipherUpdate(ctx, out.data(), &first, in, length) == 1 &&
              EVP_CipherFinal_ex(ctx, out.data() + first, &last) == 1;
    EVP_CIPHER_CTX_free(ctx);
    out.resize(ok ? static_cast<size_t>(first + last) : 0);
    return ok;
}

bool EndsWithNoCase(const std::string& text, const char* word)
{
    size_t length = strlen(word);
    return text.size() > length && strcasecmp(text.c_str() + text.size() - length, word) == 0;
}

bool ContainsNoCase(const std::string& text, const char* word)
{
    return strcasestr(text.c_str(), word) != nullptr;
}

// Blanks the secret values of one "name=value" file; false when it cannot
// be rewritten.
bool CleanFile(const std::string& realPath)
{
    std::string text;
    if (!readWholeFile(realPath, text))
        return false;
    std::string out;
    bool changed = false;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        size_t next = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(at, next - at);
        size_t equals = line.find('=');
        if (equals != std::string::npos && line[0] != '#' && line[0] != ';' && line[0] != '[') {
            std::string name = line.substr(0, equals);
            while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
                name.pop_back();
            size_t valueEnd = line.find_first_of("\r\n", equals + 1);
            if (valueEnd == std::string::npos)
                valueEnd = line.size();
            if (configParser_IsSecretSetting(name.c_str()) && valueEnd > equals + 1) {
                line.erase(equals + 1, valueEnd - equals - 1);
                changed = true;
            }
        }
        out += line;
        at = next;
    }
    struct stat info;
    int mode = stat(realPath.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0644;
    return !changed || writeFileAtomic(realPath, out, mode);
}

bool CleanTree(const std::string& realDir, int depth)
{
    if (depth > 16)
        return false;
    DIR* dir = opendir(realDir.c_str());
    if (!dir)
        return false;
    bool ok = true;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        std::string path = realDir + "/" + name;
        struct stat info;
        if (lstat(path.c_str(), &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode))
            ok = CleanTree(path, depth + 1) && ok;
        else if (S_ISREG(info.st_mode) && name == "htpasswd")
            ok = unlink(path.c_str()) == 0 && ok;
        else if (S_ISREG(info.st_mode))
            ok = CleanFile(path) && ok;
    }
    closedir(dir);
    return ok;
}

// The canonical form of a real folder, "" when it does not exist.
std::string Canonical(const std::string& realPath)
{
    char* resolved = realpath(realPath.c_str(), nullptr);
    if (!resolved)
        return std::string();
    std::string out = resolved;
    free(resolved);
    return out;
}

}  // namespace

bool configParser_IsSecretSetting(const char* name)
{
    if (!name)
        return false;
    std::string field = name;
    size_t dot = field.find('.');
    if (dot != std::string::npos)
        field.erase(dot);
    // Settings that only look like secrets: the export's own flag.
    if (field == "ExportCFGClearPWD")
        return false;
    // A bare "password" is the access level of the password page, not one.
    for (const char* word : {"password", "passwd", "pwd", "pin"})
        if (EndsWithNoCase(field, word))
            return true;
    return ContainsNoCase(field, "aeskey") || ContainsNoCase(field, "secret");
}

int pw_data_encrypt(const char* plain, char* out, int size)
{
    if (!plain || !out || size < 1)
        return -1;
    out[0] = '\0';
    unsigned char iv[kIvSize];
    std::vector<unsigned char> cipher;
    if (RAND_bytes(iv, kIvSize) != 1 ||
        !Crypt(1, iv, reinterpret_cast<const unsigned char*>(plain), static_cast<int>(strlen(plain)),
               cipher))
        return -1;
    std::vector<unsigned char> raw(iv, iv + kIvSize);
    raw.insert(raw.end(), cipher.begin(), cipher.end());
    size_t needed = kPrefixLength + (raw.size() + 2) / 3 * 4 + 1;
    if (needed > static_cast<size_t>(size))
        return -1;
    memcpy(out, kPrefix, kPrefixLength);
    int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out) + kPrefixLength, raw.data(),
                                 static_cast<int>(raw.size()));
    return static_cast<int>(kPrefixLength) + length;
}

int pw_data_decrypt(const char* text, char* out, int size)
{
    if (!out || size < 1)
        return -1;
    out[0] = '\0';
    if (!text || strncmp(text, kPrefix, kPrefixLength) != 0)
        return -1;
    const char* body = text + kPrefixLength;
    size_t length = strlen(body);
    if (length == 0 || length % 4 != 0 || length > 4096)
        return -1;
    std::vector<unsigned char> raw(length / 4 * 3);
    int decoded = EVP_DecodeBlock(raw.data(), reinterpret_cast<const unsigned char*>(body),
                                  static_cast<int>(length));
    if (decoded < 0)
        return -1;
    // EVP_DecodeBlock keeps the padding's zero bytes.
    if (body[length - 1] == '=')
        --decoded;
    if (body[length - 2] == '=')
        --decoded;
    if (decoded <= kIvSize || (decoded - kIvSize) % kIvSize != 0)
        return -1;
    std::vector<unsigned char> plain;
    if (!Crypt(0, raw.data(), raw.data() + kIvSize, decoded - kIvSize, plain) ||
        plain.size() + 1 > static_cast<size_t>(size) ||
        memchr(plain.data(), '\0', plain.size()))
        return -1;
    memcpy(out, plain.data(), plain.size());
    out[plain.size()] = '\0';
    return static_cast<int>(plain.size());
}

int configParser_CleanPassword(const char* staged, const char* live)
{
    if (!staged || !live)
        return -1;
    std::string copy = Canonical(phonePath(staged));
    std::string source = Canonical(phonePath(live));
    if (copy.empty() || source.empty())
        return -1;
    if (copy == source || copy.compare(0, source.size() + 1, source + "/") == 0)
        return -1;
    return CleanTree(copy, 0) ? 0 : -1;
}
