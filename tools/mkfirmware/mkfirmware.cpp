// mkfirmware: builds a firmware image the phone's upgrade page accepts.
//   mkfirmware [--payload FILE | --size BYTES] VERSION OUTPUT
// The payload is FILE, or BYTES (default 1 MiB) of pseudo-random data made
// from the version, so the same command gives the same image.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <openssl/evp.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/fwimage.h"
#include "platform/paths.h"

namespace {

int usage()
{
    fprintf(stderr, "usage: mkfirmware [--payload FILE | --size BYTES] VERSION OUTPUT\n");
    return 2;
}

// xorshift64*: fast, and the same bytes for the same seed everywhere.
void fill(std::vector<unsigned char>& piece, uint64_t& state)
{
    for (size_t i = 0; i + 8 <= piece.size(); i += 8) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        uint64_t value = state * 0x2545F4914F6CDD1DULL;
        memcpy(&piece[i], &value, 8);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::string payloadPath;
    uint64_t size = 1 << 20;
    int i = 1;
    for (; i + 1 < argc && argv[i][0] == '-'; i += 2) {
        char* end = nullptr;
        if (strcmp(argv[i], "--payload") == 0) {
            payloadPath = argv[i + 1];
        } else if (strcmp(argv[i], "--size") == 0) {
            errno = 0;
            size = strtoull(argv[i + 1], &end, 10);
            if (errno || !end || *end || size > kFirmwarePayloadMax)
                return usage();
        } else {
            return usage();
        }
    }
    if (argc - i != 2)
        return usage();
    std::string version = argv[i];
    const char* output = argv[i + 1];
    if (!IsFirmwareVersion(version)) {
        fprintf(stderr, "mkfirmware: a version is 1 to %zu letters, digits, '.', '-' or '_'\n",
                kFirmwareVersionMax);
        return 2;
    }
    int in = -1;
    if (!payloadPath.empty() && (in = open(payloadPath.c_str(), O_RDONLY | O_CLOEXEC)) < 0) {
        perror(payloadPath.c_str());
        return 1;
    }
    int out = open(output, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        perror(output);
        return 1;
    }
    // The header goes in last, once the payload's length and digest are known.
    std::vector<unsigned char> piece(1 << 16, 0);
    bool ok = lseek(out, static_cast<off_t>(kFirmwareHeaderSize), SEEK_SET) >= 0;
    EVP_MD_CTX* digest = EVP_MD_CTX_new();
    ok = ok && digest && EVP_DigestInit_ex(digest, EVP_sha256(), nullptr) == 1;
    uint64_t state = 0x9E3779B97F4A7C15ULL;
    for (char c : version)
        state = state * 131 + static_cast<unsigned char>(c);
    uint64_t total = 0;
    while (ok) {
        ssize_t got;
        if (in >= 0) {
            got = read(in, piece.data(), piece.size());
        } else {
            fill(piece, state);
            got = static_cast<ssize_t>(size - total < piece.size() ? size - total : piece.size());
        }
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        total += static_cast<uint64_t>(got);
        ok = total <= kFirmwarePayloadMax && EVP_DigestUpdate(digest, piece.data(), got) == 1 &&
             writeAll(out, piece.data(), static_cast<size_t>(got));
    }
    unsigned char sum[32];
    unsigned int sumSize = 0;
    ok = ok && EVP_DigestFinal_ex(digest, sum, &sumSize) == 1 && sumSize == 32;
    std::string header = ok ? BuildFirmwareHeader(version, total, sum) : std::string();
    ok = !header.empty() && pwrite(out, header.data(), header.size(), 0) ==
                                static_cast<ssize_t>(header.size());
    EVP_MD_CTX_free(digest);
    ok = close(out) == 0 && ok;
    if (in >= 0)
        close(in);
    if (!ok) {
        fprintf(stderr, "mkfirmware: cannot write %s\n", output);
        unlink(output);
        return 1;
    }
    printf("%s: firmware %s, %" PRIu64 " payload bytes\n", output, version.c_str(), total);
    return 0;
}
