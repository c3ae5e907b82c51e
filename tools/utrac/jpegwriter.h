// A tiny baseline JPEG writer for the screenshot stand-in: every 8x8 block
// is one flat colour (only the DC coefficients are coded), which is all a
// picture of flat screen areas needs and keeps the encoder a page long.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct Rgb {
    uint8_t r, g, b;
};

// The colour of the block whose top-left pixel is (x, y).
typedef std::function<Rgb(int x, int y)> BlockColour;

// The JPEG file (JFIF, baseline, YCbCr 4:4:4) of a width x height picture;
// empty when a side is outside 1 .. 65535.
std::string EncodeBlockJpeg(int width, int height, const BlockColour& colour);
