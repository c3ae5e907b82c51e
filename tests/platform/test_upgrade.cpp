#include "platform/fwimage.h"
#include "platform/upgrade.h"

#include "frame/helpers.h"
#include "tests/support/testroot.h"

#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace {

std::string MakeImage(const std::string& version, const std::string& payload)
{
    unsigned char digest[32];
    SHA256(reinterpret_cast<const unsigned char*>(payload.data()), payload.size(), digest);
    return BuildFirmwareHeader(version, payload.size(), digest) + payload;
}

// An image source that hands out at most `piece` bytes a read.
class StringUpgrader : public IUpgrader {
public:
    StringUpgrader(std::string data, size_t piece) : data_(std::move(data)), piece_(piece) {}
    int OpenStream() override { return 1; }
    int ReadStream(void* buffer, int size) override
    {
        size_t count = std::min({static_cast<size_t>(size), piece_, data_.size() - at_});
        memcpy(buffer, data_.data() + at_, count);
        at_ += count;
        return static_cast<int>(count);
    }
    void CloseStream() override {}

private:
    std::string data_;
    size_t piece_;
    size_t at_ = 0;
};

std::string Flip(std::string text, size_t at)
{
    text[at] ^= 0x20;
    return text;
}

}  // namespace

TEST(UpgradeEngine, InstallsOnlyCompleteVerifiedImages)
{
    const std::string payload(100000, 'p');
    const std::string good = MakeImage("2.0.1", payload);
    struct Case {
        const char* name;
        std::string image;
        bool installed;
    } cases[] = {
        {"good", good, true},
        {"wrong magic", Flip(good, 0), false},
        {"short", good.substr(0, good.size() - 1), false},
        {"long", good + "x", false},
        {"bad digest", Flip(good, kFirmwareHeaderSize + 5000), false},
        {"bad version", Flip(good, 9).replace(9, 1, "/"), false},
        {"header only", good.substr(0, 40), false},
    };
    for (const Case& c : cases) {
        for (size_t piece : {size_t(7), size_t(1) << 20}) {
            TestRoot root;
            root.write(kFirmwareImage, "old image");
            StringUpgrader upgrader(c.image, piece);
            EXPECT_EQ(upui_Upgrade(&upgrader, 1), c.installed ? 0 : -1) << c.name;
            EXPECT_EQ(root.read(kFirmwareImage), c.installed ? c.image : "old image") << c.name;
            EXPECT_EQ(readShareText("romTranStat"), c.installed ? "done" : "failed") << c.name;
            auto entries = std::filesystem::directory_iterator(root.real(kFirmwareFolder));
            EXPECT_EQ(std::distance(begin(entries), end(entries)), 1) << c.name << ": a partial image is left";
            FirmwareHeader header;
            std::string error;
            EXPECT_EQ(VerifyFirmwareFile(root.real(kFirmwareImage), header, error), c.installed) << c.name;
        }
    }
}
