#include "tools/utrac/jpegwriter.h"

#include <cmath>
#include <cstdlib>

namespace {

// The usual luminance DC table: code lengths 1..16, then the categories.
const uint8_t kDcCounts[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
const uint8_t kDcSymbols[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
// The only AC symbol ever coded is end-of-block, one bit long.
const uint8_t kAcCounts[16] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const uint8_t kAcSymbols[1] = {0x00};
// DC coefficient = 8 * (block mean - 128), so a DC step of 8 makes the
// quantized value the mean - 128 itself.
const uint8_t kDcStep = 8;

class BitWriter {
public:
    explicit BitWriter(std::string& out) : out_(out) {}
    void put(uint32_t bits, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            byte_ = static_cast<uint8_t>((byte_ << 1) | ((bits >> i) & 1u));
            if (++used_ == 8)
                flushByte();
        }
    }
    // Pads the last byte with one bits.
    void finish()
    {
        while (used_ != 0)
            put(1, 1);
    }

private:
    void flushByte()
    {
        out_ += static_cast<char>(byte_);
        if (byte_ == 0xFF)
            out_ += '\0';  // a coded 0xFF is followed by a stuffed zero
        byte_ = 0;
        used_ = 0;
    }
    std::string& out_;
    uint8_t byte_ = 0;
    int used_ = 0;
};

void PutMarker(std::string& out, uint8_t marker, const std::string& body)
{
    out += '\xFF';
    out += static_cast<char>(marker);
    size_t length = body.size() + 2;
    out += static_cast<char>(length >> 8);
    out += static_cast<char>(length & 0xFF);
    out += body;
}

std::string Word(int value)
{
    return {static_cast<char>((value >> 8) & 0xFF), static_cast<char>(value & 0xFF)};
}

std::string HuffmanTable(uint8_t classAndId, const uint8_t (&counts)[16], const uint8_t* symbols,
                         size_t symbolCount)
{
    std::string body(1, static_cast<char>(classAndId));
    body.append(reinterpret_cast<const char*>(counts), 16);
    body.append(reinterpret_cast<const char*>(symbols), symbolCount);
    return body;
}

// Canonical codes of the DC table, indexed by category.
struct DcCodes {
    uint16_t code[12];
    int length[12];
    DcCodes()
    {
        uint16_t next = 0;
        int symbol = 0;
        for (int bits = 1; bits <= 16; ++bits) {
            for (int i = 0; i < kDcCounts[bits - 1]; ++i) {
                code[kDcSymbols[symbol]] = next++;
                length[kDcSymbols[symbol]] = bits;
                ++symbol;
            }
            next = static_cast<uint16_t>(next << 1);
        }
    }
};

void PutDc(BitWriter& bits, const DcCodes& codes, int diff)
{
    int magnitude = std::abs(diff);
    int category = 0;
    while (magnitude >> category)
        ++category;
    bits.put(codes.code[category], codes.length[category]);
    if (category > 0) {
        int value = diff >= 0 ? diff : diff + (1 << category) - 1;
        bits.put(static_cast<uint32_t>(value), category);
    }
    bits.put(0, 1);  // end of block
}

int Level(double value)
{
    long rounded = std::lround(value);
    return static_cast<int>(rounded < 0 ? 0 : rounded > 255 ? 255 : rounded) - 128;
}

}  // namespace

std::string EncodeBlockJpeg(int width, int height, const BlockColour& colour)
{
    if (width < 1 || height < 1 || width > 65535 || height > 65535 || !colour)
        return "";
    std::string out = "\xFF\xD8";
    PutMarker(out, 0xE0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
    std::string quant(1, '\0');
    quant += static_cast<char>(kDcStep);
    quant.append(63, '\x01');
    PutMarker(out, 0xDB, quant);

    std::string frame = "\x08" + Word(height) + Word(width) + "\x03";
    for (char id = 1; id <= 3; ++id)
        frame += std::string{id, '\x11', '\0'};
    PutMarker(out, 0xC0, frame);
    PutMarker(out, 0xC4, HuffmanTable(0x00, kDcCounts, kDcSymbols, sizeof kDcSymbols));
    PutMarker(out, 0xC4, HuffmanTable(0x10, kAcCounts, kAcSymbols, sizeof kAcSymbols));
    std::string scan = "\x03";
    for (char id = 1; id <= 3; ++id)
        scan += std::string{id, '\0'};
    scan += std::string("\0\x3F\0", 3);
    PutMarker(out, 0xDA, scan);

    static const DcCodes codes;
    BitWriter bits(out);
    int previous[3] = {0, 0, 0};
    for (int y = 0; y < height; y += 8) {
        for (int x = 0; x < width; x += 8) {
            Rgb c = colour(x, y);
            const int level[3] = {
                Level(0.299 * c.r + 0.587 * c.g + 0.114 * c.b),
                Level(128 - 0.168736 * c.r - 0.331264 * c.g + 0.5 * c.b),
                Level(128 + 0.5 * c.r - 0.418688 * c.g - 0.081312 * c.b),
            };
            for (int k = 0; k < 3; ++k) {
                PutDc(bits, codes, level[k] - previous[k]);
                previous[k] = level[k];
            }
        }
    }
    bits.finish();
    out += "\xFF\xD9";
    return out;
}
