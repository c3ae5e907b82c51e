#include <cstring>
#include <gtest/gtest.h>

#include "frame/helpers.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

namespace {

class RingTones : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"Ring2.wav", "Ring1.wav", "notes.txt"})
            root.write(std::string("/phone/resource/sysdata/sound/") + name, "");
        for (const char* name : {"mine.wav", "Beep.wav"})
            root.write(std::string("/data/userdata/sound/") + name, "");
    }
    TestRoot root;
};

TEST_F(RingTones, PrefixedListSelectsAUserTone)
{
    OwnedLoop loop(GetRingToneLoop("Config:mine.wav", RING_ACCOUNT, true));
    EXPECT_EQ(LoopColumn(loop.get(), "selName"),
              (Texts{"Common", "Ring1.wav", "Ring2.wav", "Beep.wav", "mine.wav"}));
    EXPECT_EQ(LoopColumn(loop.get(), "selValue"),
              (Texts{"Common", "Resource:Ring1.wav", "Resource:Ring2.wav", "Config:Beep.wav",
                     "Config:mine.wav"}));
    EXPECT_EQ(LoopColumn(loop.get(), "selected"), (Texts{"", "", "", "", "selected"}));
}

TEST_F(RingTones, PlainListAndExtraEntries)
{
    OwnedLoop contact(GetRingToneLoop("/phone/resource/sysdata/sound/Ring2.wav", RING_CONTACT, false));
    EXPECT_EQ(LoopColumn(contact.get(), "selValue"),
              (Texts{"Auto", "Ring1.wav", "Ring2.wav", "Beep.wav", "mine.wav"}));
    EXPECT_EQ(LoopColumn(contact.get(), "selected"), (Texts{"", "", "selected", "", ""}));

    OwnedLoop preference(GetRingToneLoop(nullptr, RING_PREFERENCE, true));
    EXPECT_EQ(LoopColumn(preference.get(), "selName"),
              (Texts{"Ring1.wav", "Ring2.wav", "Beep.wav", "mine.wav"}));
    EXPECT_EQ(LoopColumn(preference.get(), "selected"), (Texts{"", "", "", ""}));
}

TEST_F(RingTones, RingPageSelectsByPosition)
{
    const struct {
        const char* selected;
        Texts marks;
    } kCases[] = {
        {"1", {"selected", "", "", ""}},
        {"3", {"", "", "selected", ""}},
        {"4", {"", "", "", "selected"}},
        {"5", {"", "", "", ""}},
        {"0", {"", "", "", ""}},
        {"Ring2.wav", {"", "selected", "", ""}},
    };
    for (const auto& c : kCases) {
        OwnedLoop loop(GetRingToneLoop(c.selected, RING_PAGE, true));
        EXPECT_EQ(LoopColumn(loop.get(), "selected"), c.marks) << c.selected;
    }
}

TEST(RealRingName, PrefixAndName)
{
    char prefix[kRingPrefixSize] = "junk";
    EXPECT_EQ(GetRealRingName("Config:mine.wav", prefix), "mine.wav");
    EXPECT_STREQ(prefix, "Config");
    EXPECT_EQ(GetRealRingName("mine.wav", prefix), "");
    EXPECT_STREQ(prefix, "");
    EXPECT_EQ(GetRealRingName(nullptr, prefix), "");

    std::string longPrefix = std::string(300, 'p') + ":n";
    EXPECT_EQ(GetRealRingName(longPrefix.c_str(), prefix), "n");
    EXPECT_EQ(strlen(prefix), kRingPrefixSize - 1);
}

TEST(Photos, OrderAndPrefixes)
{
    TestRoot root;
    root.write("/phone/resource/sysdata/contact-image/sys.png", "");
    root.write("/phone/resource/sysdata/contact-image/sys.jpg", "");
    for (const char* name : {"a.bmp", "b.png", "c.jpg", "d.jpeg"})
        root.write(std::string("/data/userdata/contact-image/") + name, "");
    OwnedLoop loop(GetPhotoLoop());
    EXPECT_EQ(LoopColumn(loop.get(), "selValue"),
              (Texts{"Default:default_contact_image.png", "Resource:sys.png", "Config:d.jpeg",
                     "Config:c.jpg", "Config:b.png", "Config:a.bmp"}));
    EXPECT_EQ(LoopColumn(loop.get(), "selected"), (Texts{"", "", "", "", "", ""}));
}

TEST(Wallpapers, SortedPerFolderWithSelection)
{
    TestRoot root;
    for (const char* name : {"z.png", "a.jpg", "skip.bmp"})
        root.write(std::string("/phone/resource/sysdata/wallpaper/") + name, "");
    for (const char* name : {"m.bmp", "b.png"})
        root.write(std::string("/data/userdata/wallpaper/") + name, "");

    OwnedLoop loop(GetWallpaperLoop("Config:m.bmp"));
    EXPECT_EQ(LoopColumn(loop.get(), "selValue"),
              (Texts{"Default:Default.jpg", "Resource:a.jpg", "Resource:z.png", "Config:b.png",
                     "Config:m.bmp"}));
    EXPECT_EQ(LoopColumn(loop.get(), "selName"),
              (Texts{"Default.jpg", "a.jpg", "z.png", "b.png", "m.bmp"}));
    EXPECT_EQ(LoopColumn(loop.get(), "selected"), (Texts{"", "", "", "", "selected"}));

    LogCapture log;
    EXPECT_EQ(GetWallpaperLoop(nullptr), nullptr);
    EXPECT_TRUE(log.contains("GetWallpaperLoop para error"));
}

TEST(StringLists, SortAndIndex)
{
    std::list<std::string> list = {"b", "B", "a", "\xC3\xA9", "A"};
    sortStringListByName(&list, true);
    EXPECT_EQ(Texts(list.begin(), list.end()), (Texts{"A", "B", "a", "b", "\xC3\xA9"}));
    sortStringListByName(&list, false);
    EXPECT_EQ(Texts(list.begin(), list.end()), (Texts{"\xC3\xA9", "b", "a", "B", "A"}));
    EXPECT_EQ(GetStringListByIndex(list, 1), "b");
    EXPECT_EQ(GetStringListByIndex(list, 5), "");
    EXPECT_EQ(GetStringListByIndex(list, -1), "");
}

TEST(PrefixLoop, EmptyNamesSkippedAndSelectionOptional)
{
    std::list<std::string> names = {"x", "", "y"};
    TMPL_loop* raw = nullptr;
    AddPrefixLoop(raw, names, "", "y");
    AddPrefixLoop(raw, names, "Config", nullptr);
    OwnedLoop loop(raw);
    EXPECT_EQ(LoopColumn(loop.get(), "selValue"), (Texts{"x", "y", "Config:x", "Config:y"}));
    EXPECT_EQ(LoopColumn(loop.get(), "selected"), (Texts{"", "selected", "", ""}));
}

}  // namespace
