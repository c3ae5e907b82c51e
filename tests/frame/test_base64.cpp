#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "frame/helpers.h"

namespace {

struct Vector {
    const char* plain;
    const char* encoded;
};

// RFC 4648, section 10.
const Vector kRfcVectors[] = {
    {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
};

TEST(Base64, EncodersMatchTheRfcVectors)
{
    for (const Vector& v : kRfcVectors) {
        int length = static_cast<int>(strlen(v.plain));
        std::vector<unsigned char> out(Base64EncodedRoom(static_cast<size_t>(length)));
        EXPECT_EQ(Base64Enc(out.data(), reinterpret_cast<const unsigned char*>(v.plain), length),
                  static_cast<int>(strlen(v.encoded)));
        EXPECT_STREQ(reinterpret_cast<char*>(out.data()), v.encoded);

        char* text = nullptr;
        EXPECT_EQ(base64_encode(v.plain, length, &text), static_cast<int>(strlen(v.encoded)));
        ASSERT_NE(text, nullptr);
        EXPECT_STREQ(text, v.encoded);
        free(text);
    }
}

TEST(Base64, AllByteValuesRoundTrip)
{
    unsigned char bytes[256];
    for (int i = 0; i < 256; ++i)
        bytes[i] = static_cast<unsigned char>(i);
    std::vector<unsigned char> text(Base64EncodedRoom(sizeof bytes));
    int length = Base64Enc(text.data(), bytes, sizeof bytes);
    ASSERT_EQ(length, 344);
    unsigned char back[258];
    EXPECT_EQ(base64_decode(reinterpret_cast<char*>(text.data()), back), 256);
    EXPECT_EQ(memcmp(back, bytes, 256), 0);
    EXPECT_EQ(Base64Dec(back, text.data(), length), 258);
    EXPECT_EQ(memcmp(back, bytes, 256), 0);
}

TEST(Base64, DecodeStopsAtTheFirstForeignCharacter)
{
    for (const Vector& v : kRfcVectors) {
        unsigned char out[16];
        int length = base64_decode(v.encoded, out);
        EXPECT_EQ(length, static_cast<int>(strlen(v.plain))) << v.encoded;
        EXPECT_EQ(std::string(reinterpret_cast<char*>(out), static_cast<size_t>(length)), v.plain);
    }
    const struct {
        const char* text;
        int result;
        const char* bytes;
    } kCases[] = {
        {"Zm9v\nYmFy", 3, "foo"},  // no line breaks: the break ends the text
        {"Zm9v!", 3, "foo"},
        {"Z", -1, nullptr},        // one character is no group
        {"Zm9vY", -1, nullptr},
        {"Zm9vYg", 4, "foob"},     // padding may be left out
        {"=Zm9v", 0, ""},
    };
    for (const auto& c : kCases) {
        unsigned char out[16];
        EXPECT_EQ(base64_decode(c.text, out), c.result) << c.text;
        if (c.bytes) {
            EXPECT_EQ(std::string(reinterpret_cast<char*>(out), strlen(c.bytes)), c.bytes) << c.text;
        }
    }
    unsigned char out[4];
    EXPECT_EQ(base64_decode(nullptr, out), -1);
}

TEST(Base64, FixedGroupDecoderRules)
{
    unsigned char out[16];
    const unsigned char* text = reinterpret_cast<const unsigned char*>("Zm9vYg==");
    // Every group gives three bytes, padding decoded as zero.
    EXPECT_EQ(Base64Dec(out, text, 8), 6);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 6), std::string("foob\0\0", 6));
    EXPECT_EQ(Base64Dec(out, text, 7), -1);
    EXPECT_EQ(Base64Dec(out, text, 3), -1);
    EXPECT_EQ(Base64Dec(out, text, 0), 0);
    // Foreign characters count as "A".
    EXPECT_EQ(Base64Dec(out, reinterpret_cast<const unsigned char*>("Zm9!"), 4), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "fo@");
}

}  // namespace
