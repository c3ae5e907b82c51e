#include "tools/utrac/jpegwriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Segment {
    uint8_t marker;
    std::string body;
};

// Splits a JPEG into its marker segments up to the scan, and returns the
// entropy-coded data that follows (up to EOI) in scan.
std::vector<Segment> Segments(const std::string& jpeg, std::string& scan, bool& endsWithEoi)
{
    std::vector<Segment> out;
    size_t at = 2;
    while (at + 4 <= jpeg.size() && static_cast<uint8_t>(jpeg[at]) == 0xFF) {
        uint8_t marker = static_cast<uint8_t>(jpeg[at + 1]);
        size_t length = (static_cast<uint8_t>(jpeg[at + 2]) << 8) | static_cast<uint8_t>(jpeg[at + 3]);
        out.push_back({marker, jpeg.substr(at + 4, length - 2)});
        at += 2 + length;
        if (marker == 0xDA)
            break;
    }
    endsWithEoi = jpeg.size() >= 2 && jpeg.compare(jpeg.size() - 2, 2, "\xFF\xD9") == 0;
    scan = at <= jpeg.size() - 2 ? jpeg.substr(at, jpeg.size() - 2 - at) : std::string();
    return out;
}

Rgb Stripes(int x, int y)
{
    // White (all bits set in the coded data) next to black forces 0xFF bytes.
    return (x / 8 + y / 8) % 2 ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
}

}  // namespace

TEST(JpegWriter, BaselineFrameOfTheRequestedSize)
{
    struct Case {
        int width, height;
    } cases[] = {{480, 272}, {1, 1}, {13, 9}, {8, 8}, {65535, 1}};
    for (const Case& c : cases) {
        std::string jpeg = EncodeBlockJpeg(c.width, c.height, Stripes);
        ASSERT_GE(jpeg.size(), 4u);
        EXPECT_EQ(jpeg.compare(0, 2, "\xFF\xD8"), 0);
        std::string scan;
        bool eoi = false;
        std::vector<Segment> segments = Segments(jpeg, scan, eoi);
        EXPECT_TRUE(eoi);
        bool sawFrame = false;
        for (const Segment& s : segments) {
            if (s.marker != 0xC0)
                continue;
            sawFrame = true;
            ASSERT_EQ(s.body.size(), 15u);
            EXPECT_EQ(static_cast<uint8_t>(s.body[0]), 8);  // precision
            EXPECT_EQ((static_cast<uint8_t>(s.body[1]) << 8) | static_cast<uint8_t>(s.body[2]),
                      c.height);
            EXPECT_EQ((static_cast<uint8_t>(s.body[3]) << 8) | static_cast<uint8_t>(s.body[4]),
                      c.width);
            EXPECT_EQ(s.body[5], 3);  // components
        }
        EXPECT_TRUE(sawFrame) << c.width << "x" << c.height;
        ASSERT_FALSE(segments.empty());
        EXPECT_EQ(segments.back().marker, 0xDA);
        // Coded data never holds a marker: every 0xFF is followed by a zero.
        EXPECT_FALSE(scan.empty());
        for (size_t i = 0; i < scan.size(); ++i) {
            if (static_cast<uint8_t>(scan[i]) == 0xFF) {
                ASSERT_TRUE(i + 1 < scan.size() && scan[i + 1] == '\0') << "at " << i;
            }
        }
    }
}

TEST(JpegWriter, RefusesImpossibleSizes)
{
    EXPECT_EQ(EncodeBlockJpeg(0, 10, Stripes), "");
    EXPECT_EQ(EncodeBlockJpeg(10, 0, Stripes), "");
    EXPECT_EQ(EncodeBlockJpeg(-1, 10, Stripes), "");
    EXPECT_EQ(EncodeBlockJpeg(65536, 10, Stripes), "");
    EXPECT_EQ(EncodeBlockJpeg(10, 10, BlockColour()), "");
}
