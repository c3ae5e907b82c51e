#include "platform/fwimage.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

namespace {

const char kMagic[8] = {'P', 'W', 'F', 'W', 'I', 'M', 'G', '1'};
constexpr size_t kVersionOffset = 8;
constexpr size_t kLengthOffset = 40;
constexpr size_t kDigestOffset = 48;

}  // namespace

bool IsFirmwareVersion(const std::string& version)
{
    if (version.empty() || version.size() > kFirmwareVersionMax)
        return false;
    for (char c : version) {
        bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                     c == '.' || c == '-' || c == '_';
        if (!plain)
            return false;
    }
    return true;
}

bool ParseFirmwareHeader(const unsigned char* data, size_t size, FirmwareHeader& header,
                         std::string& error)
{
    if (!data || size < kFirmwareHeaderSize) {
        error = "short header";
        return false;
    }
    if (memcmp(data, kMagic, sizeof kMagic) != 0) {
        error = "bad magic";
        return false;
    }
    const char* version = reinterpret_cast<const char*>(data + kVersionOffset);
    header.version.assign(version, strnlen(version, kFirmwareVersionMax + 1));
    if (!IsFirmwareVersion(header.version)) {
        error = "bad version text";
        return false;
    }
    uint64_t length = 0;
    for (size_t i = 0; i < 8; ++i)
        length = length << 8 | data[kLengthOffset + i];
    if (length > kFirmwarePayloadMax) {
        error = "payload too large";
        return false;
    }
    header.payloadLength = length;
    memcpy(header.digest, data + kDigestOffset, sizeof header.digest);
    return true;
}

std::string BuildFirmwareHeader(const std::string& version, uint64_t payloadLength,
                                const unsigned char digest[32])
{
    if (!IsFirmwareVersion(version) || payloadLength > kFirmwarePayloadMax || !digest)
        return std::string();
    std::string header(kFirmwareHeaderSize, '\0');
    memcpy(&header[0], kMagic, sizeof kMagic);
    memcpy(&header[kVersionOffset], version.data(), version.size());
    for (size_t i = 0; i < 8; ++i)
        header[kLengthOffset + i] = static_cast<char>(payloadLength >> (8 * (7 - i)) & 0xFF);
    memcpy(&header[kDigestOffset], digest, 32);
    return header;
}

bool VerifyFirmwareFile(const std::string& realPath, FirmwareHeader& header, std::string& error)
{
    int fd = open(realPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = strerror(errno);
        return false;
    }
    unsigned char head[kFirmwareHeaderSize];
    bool ok = read(fd, head, sizeof head) == static_cast<ssize_t>(sizeof head) &&
              ParseFirmwareHeader(head, sizeof head, header, error);
    if (!ok && error.empty())
        error = "short header";
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ok = ok && context && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;
    uint64_t total = 0;
    char buffer[65536];
    ssize_t got = 0;
    while (ok && (got = read(fd, buffer, sizeof buffer)) > 0) {
        total += static_cast<uint64_t>(got);
        ok = EVP_DigestUpdate(context, buffer, static_cast<size_t>(got)) == 1;
    }
    unsigned char digest[32];
    unsigned int digestSize = 0;
    if (ok && (got < 0 || total != header.payloadLength)) {
        error = got < 0 ? "read error" : "payload length differs";
        ok = false;
    }
    if (ok && (EVP_DigestFinal_ex(context, digest, &digestSize) != 1 || digestSize != 32 ||
               memcmp(digest, header.digest, 32) != 0)) {
        error = "digest mismatch";
        ok = false;
    }
    EVP_MD_CTX_free(context);
    close(fd);
    return ok;
}
