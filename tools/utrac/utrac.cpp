// Stand-in for the phone's screen capture tool: "utrac -s <file>" writes a
// JPEG picture of the screen (a fixed idle screen) to the file.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/paths.h"
#include "tools/utrac/jpegwriter.h"

namespace {

constexpr int kScreenWidth = 480;
constexpr int kScreenHeight = 272;

// Title bar, a row of line keys on the left, soft keys at the bottom.
Rgb IdleScreen(int x, int y)
{
    if (y < 32)
        return {30, 70, 140};
    if (y >= kScreenHeight - 40)
        return x % 120 < 112 ? Rgb{60, 60, 60} : Rgb{20, 20, 20};
    if (x < 120 && (y - 32) % 48 < 40)
        return {200, 210, 225};
    return {240, 240, 240};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || strcmp(argv[1], "-s") != 0) {
        fprintf(stderr, "usage: utrac -s <file.jpg>\n");
        return 2;
    }
    std::string jpeg = EncodeBlockJpeg(kScreenWidth, kScreenHeight, IdleScreen);
    if (!writeFileAtomic(argv[2], jpeg)) {
        fprintf(stderr, "utrac: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
