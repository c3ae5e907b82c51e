// Preferences, the user's ring tones and wallpapers, and distinctive ring.
#include <gtest/gtest.h>

#include "frame/configbridge.h"
#include "pages/settings/SettingsPreferenceServlet.h"
#include "pages/settings/SettingsRingServlet.h"
#include "platform/configparser.h"
#include "tests/pages/settings/settings_fixture.h"

namespace {

const std::string kWave("RIFF\x24\0\0\0WAVEfmt ", 16);

std::string Stored(const char* name) { return GetConfigValue(FILETYPE_GLOBAL, name, 0); }

class Preference : public SettingsPage, public ::testing::Test {
protected:
    Preference()
    {
        for (const char* tone : {"Ring2.wav", "Ring1.wav"})
            root.write(std::string("/phone/resource/sysdata/sound/") + tone, kWave);
        for (const char* tone : {"b.wav", "a.wav", "notes.txt"})
            root.write(std::string("/data/userdata/sound/") + tone, kWave);
        root.write("/data/userdata/wallpaper/mine.png", "png");
        root.write("/config/data/htpasswd", "admin:x\n");
        root.write("/config/x", "keep");
    }
    // An upload of `content` stored by the host, with the browser's name.
    FakeResponse& upload(const char* action, const char* field, const std::string& name,
                         const std::string& content, long length = 100)
    {
        root.write("/tmp/upload_1", content);
        responses.emplace_back(new FakeResponse);
        FakeRequest request(std::string("/servlet?p=settings-preference&q=") + action);
        request.login("admin").setUpload(field, "/tmp/upload_1", name).setContentLength(length);
        servlet.onRequest(&request, responses.back().get());
        return *responses.back();
    }
    SettingsPreferenceServlet servlet;
};

TEST_F(Preference, RingListsKeepTheirOrder)
{
    std::list<std::string> expected = {"default-ring.wav", "Resource:Ring1.wav", "Resource:Ring2.wav",
                                       "Config:a.wav", "Config:b.wav"};
    EXPECT_EQ(expected, GetRingList());
    configParser_SetConfigString("Ringtype", "Config:b.wav");
    FakeResponse& page = run(servlet, "settings-preference", "load");
    EXPECT_EQ((Texts{"Resource:Ring1.wav", "Resource:Ring2.wav", "Config:a.wav", "Config:b.wav"}),
              page.loopColumn("ringTypeloop", "selValue"));
    EXPECT_EQ((Texts{"", "", "", "selected"}), page.loopColumn("ringTypeloop", "selected"));
    EXPECT_EQ((Texts{"Config:mine.png"}), page.loopColumn("userWallpaperLoop", "selValue"));
}

// Deleting the default ring resets it; deleting another leaves it alone.
TEST_F(Preference, DeletingTheDefaultRingResetsIt)
{
    struct { const char* stored; const char* posted; const char* after; } cases[] = {
        {"a.wav", "Config:a.wav", "Ring1.wav"},
        {"Config:a.wav", "Config:a.wav", "Resource:Ring1.wav"},
        {"Config:b.wav", "Config:a.wav", "Config:b.wav"},
    };
    for (auto c : cases) {
        root.write("/data/userdata/sound/a.wav", kWave);
        root.write("/data/userdata/sound/a.wav.MD5", "x");
        configParser_SetConfigString("Ringtype", c.stored);
        EXPECT_EQ("/servlet?p=settings-preference&q=load",
                  run(servlet, "settings-preference", "deleteRing", {{"Ringtype", c.posted}}).redirect);
        EXPECT_EQ(c.after, Stored("Ringtype")) << c.stored;
        EXPECT_FALSE(root.exists("/data/userdata/sound/a.wav"));
        EXPECT_FALSE(root.exists("/data/userdata/sound/a.wav.MD5"));
    }
    EXPECT_EQ((std::pair<unsigned, int>(53, 0)), changes(6).back());
}

// Names from the browser stay plain names inside their folder: nothing
// outside is read, written or deleted, and no such value is stored.
TEST_F(Preference, MediaNamesStayInsideTheirFolders)
{
    struct { const char* action; const char* field; const char* value; } cases[] = {
        {"deleteRing", "Ringtype", "Config:../../config/data/htpasswd"},
        {"deleteRing", "Ringtype", "Config:..\\..\\config\\x"},
        {"deleteRing", "Ringtype", "Config:"},
        {"deleteRing", "Ringtype", "Config:.."},
        {"deleteWallpaper", "Wallpapertype", "Config:../x"},
        {"deleteWallpaper", "Wallpapertype", "Config:../../../config/x"},
        {"deleteWallpaper", "Wallpapertype", "Resource:mine.png"},
        {"write", "Ringtype", "Config:../../config/data/htpasswd"},
        {"write", "CurrentWallpaper", "Config:../x"},
        {"write", "CurrentWallpaper", "../../config/x"},
    };
    for (auto c : cases) {
        FakeResponse& answer = run(servlet, "settings-preference", c.action, {{c.field, c.value}});
        EXPECT_EQ("admin:x\n", root.read("/config/data/htpasswd")) << c.value;
        EXPECT_EQ("keep", root.read("/config/x")) << c.value;
        EXPECT_TRUE(root.exists("/data/userdata/wallpaper/mine.png")) << c.value;
        EXPECT_NE(c.value, Stored(c.field)) << c.value;
        if (std::string(c.action) != "write") {
            EXPECT_NE(std::string::npos, answer.var("noticeLabel").find("Error:")) << c.value;
        }
    }
    for (const char* name : {"../../config/x", "..", ".hidden.wav", "a/b.wav"}) {
        upload("upload", "nameUploadRing", name, kWave);
        EXPECT_EQ("keep", root.read("/config/x")) << name;
        EXPECT_FALSE(root.exists("/tmp/upload_1")) << name;
    }
}

TEST_F(Preference, RingUploadsMustBeWaveFiles)
{
    struct { const char* name; std::string content; bool stored; } cases[] = {
        {"New Ring.wav", kWave, true}, {"fake.wav", "MZ not a wave", false}, {"tune.mp3", kWave, false},
    };
    for (auto c : cases) {
        FakeResponse& answer = upload("upload", "nameUploadRing", c.name, c.content);
        EXPECT_EQ(c.stored, root.exists(std::string("/data/userdata/sound/") + c.name)) << c.name;
        EXPECT_EQ(c.stored, !answer.redirect.empty()) << c.name;
    }
    Texts tones = run(servlet, "settings-preference", "load").loopColumn("userRingLoop", "selName");
    EXPECT_EQ((Texts{"New Ring.wav", "a.wav", "b.wav"}), tones);
}

TEST_F(Preference, WallpapersOfFiveMegabytesAreRefused)
{
    FakeResponse& answer = upload("uploadWallpaper", "nameUploadWallpaper", "big.png", "png", 5242880);
    EXPECT_NE(std::string::npos, answer.var("noticeLabel").find("too large"));
    EXPECT_FALSE(root.exists("/data/userdata/wallpaper/big.png"));
}

TEST_F(Preference, WriteKeepsTheMaskedPinAndTellsTheScreen)
{
    configParser_SetConfigString("UnlockPIN", "1234");
    configParser_SetConfigString("BacklightTime", "60");
    run(servlet, "settings-preference", "write", {{"UnlockPIN", "********"}, {"BacklightTime", "30"}});
    EXPECT_EQ("1234", Stored("UnlockPIN"));
    phone.waitForCount(3, 2000);
    bool screen = false;
    for (const BusMessage& m : phone.messages())
        screen = screen || (m.id == 0x90004 && m.wparam == 0);
    EXPECT_TRUE(screen);
    EXPECT_EQ((std::pair<unsigned, int>(85, 0)), changes().back());
}

TEST_F(Preference, RingRulesStoreThePositionOfTheirTone)
{
    SettingsRingServlet ring;
    responses.emplace_back(new FakeResponse);
    FakeRequest request("/servlet?p=settings-ring&q=write");
    request.login("admin").setPost({{"Text", "<vip>"}, {"Ringer", "Config:b.wav"},
                                    {"Text", "gone"}, {"Ringer", "Config:deleted.wav"}});
    ring.onRequest(&request, responses.back().get());
    EXPECT_EQ("4", Stored("AlertInfo0Ringer"));
    EXPECT_EQ("0", Stored("AlertInfo1Ringer"));
    FakeResponse& page = run(ring, "settings-ring", "load");
    EXPECT_EQ("&lt;vip&gt;", page.loopVar("TRLoop", 0, "Text"));
    EXPECT_EQ(10, page.loopSize("TRLoop"));
    EXPECT_EQ((std::pair<unsigned, int>(57, 0)), changes(2).back());
    EXPECT_FALSE(run(ring, "settings-ring", "LOAD").answered());
}

}  // namespace
