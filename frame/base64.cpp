#include <cstdlib>
#include <cstring>

#include "frame/helpers.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

int GetBase64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

int Base64Enc(unsigned char* out, const unsigned char* in, int length)
{
    if (!out || (!in && length > 0) || length < 0)
        return 0;
    int written = 0;
    for (int i = 0; i < length; i += 3) {
        int left = length - i;
        unsigned int group = static_cast<unsigned int>(in[i]) << 16;
        if (left > 1)
            group |= static_cast<unsigned int>(in[i + 1]) << 8;
        if (left > 2)
            group |= in[i + 2];
        out[written++] = static_cast<unsigned char>(kAlphabet[(group >> 18) & 63]);
        out[written++] = static_cast<unsigned char>(kAlphabet[(group >> 12) & 63]);
        out[written++] = static_cast<unsigned char>(left > 1 ? kAlphabet[(group >> 6) & 63] : '=');
        out[written++] = static_cast<unsigned char>(left > 2 ? kAlphabet[group & 63] : '=');
    }
    out[written] = '\0';
    return written;
}

int Base64Dec(unsigned char* out, const unsigned char* in, int length)
{
    if (!out || !in || length < 0 || length % 4 != 0)
        return -1;
    int written = 0;
    for (int i = 0; i < length; i += 4) {
        unsigned int group = 0;
        for (int k = 0; k < 4; ++k) {
            int value = GetBase64Value(static_cast<char>(in[i + k]));
            group = (group << 6) | static_cast<unsigned int>(value < 0 ? 0 : value);
        }
        out[written++] = static_cast<unsigned char>(group >> 16);
        out[written++] = static_cast<unsigned char>(group >> 8);
        out[written++] = static_cast<unsigned char>(group);
    }
    return written;
}

int base64_encode(const void* data, int size, char** out)
{
    if (!out)
        return -1;
    *out = nullptr;
    if ((!data && size > 0) || size < 0)
        return -1;
    char* text = static_cast<char*>(malloc(Base64EncodedRoom(static_cast<size_t>(size))));
    if (!text)
        return -1;
    *out = text;
    return Base64Enc(reinterpret_cast<unsigned char*>(text), static_cast<const unsigned char*>(data),
                     size);
}

int base64_decode(const char* text, void* out)
{
    if (!text || !out)
        return -1;
    unsigned char* bytes = static_cast<unsigned char*>(out);
    int written = 0;
    unsigned int group = 0;
    int have = 0;
    for (const char* p = text; GetBase64Value(*p) >= 0; ++p) {
        group = (group << 6) | static_cast<unsigned int>(GetBase64Value(*p));
        if (++have == 4) {
            bytes[written++] = static_cast<unsigned char>(group >> 16);
            bytes[written++] = static_cast<unsigned char>(group >> 8);
            bytes[written++] = static_cast<unsigned char>(group);
            group = 0;
            have = 0;
        }
    }
    // A last group of 2 or 3 characters carries 1 or 2 bytes; 1 is no group.
    if (have == 1)
        return -1;
    if (have >= 2)
        bytes[written++] = static_cast<unsigned char>(group >> (have == 2 ? 4 : 10));
    if (have == 3)
        bytes[written++] = static_cast<unsigned char>(group >> 2);
    return written;
}
