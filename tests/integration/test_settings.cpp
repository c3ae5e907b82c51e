// The Settings pages over HTTP: every page saved, reloaded and announced,
// and the media uploads.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/integration/harness.h"

namespace {

class SettingsOverHttp : public ::testing::Test {
protected:
    static Stack::Options Options()
    {
        Stack::Options options;
        options.testPages = false;
        return options;
    }
    void TearDown() override
    {
        if (HasFailure())
            fprintf(stderr, "---- server log ----\n%s\n", stack.serverLog().c_str());
    }
    HttpAnswer page(const std::string& path)
    {
        HttpAnswer answer = http.get(path);
        if (answer.body.find("loginForm") != std::string::npos || answer.status == 302) {
            http.postForm("/servlet?p=login&q=login", "username=admin&pwd=admin&jumpto=status");
            answer = http.get(path);
        }
        return answer;
    }
    bool busLogHas(const std::string& line)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            for (const std::string& logged : stack.busLog())
                if (logged == line)
                    return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    static std::string Change(const char* to, int wparam)
    {
        bool all = std::string(to) == "*";
        return std::string("{\"to\":\"") + to + "\",\"id\":65543,\"wparam\":" + std::to_string(wparam) +
               ",\"lparam\":0,\"kind\":\"" + (all ? "broadcast" : "post") + "\"}";
    }

    Stack stack{Options()};
    HttpClient http = stack.client();
};

TEST_F(SettingsOverHttp, EveryPageSavesShowsAndTellsThePhone)
{
    struct Case {
        const char* page;
        const char* action;
        const char* form;
        const char* shown;  // in the page loaded again
        const char* to;
        int wparam;
        const char* load;   // extra query of the load
    } cases[] = {
        {"settings-preference", "write", "InterDigitTime=7&ActiveLevel=3", "max=\"14\" required value=\"7\"", "app_vpPhone", 85, ""},
        {"settings-ring", "write", "Text=vip&Ringer=Resource%3ARing2.wav", "value=\"Resource:Ring2.wav\" selected", "*", 57, ""},
        {"settings-datetime", "write", "LocalTimeType=1&TimeZoneAndName=%2B9+Japan(Tokyo)&LocalTimeDaylightSaving=0&LocalTimeServer1=ntp.test", "value=\"+9 Japan(Tokyo)\" selected", "*", 22, ""},
        {"settings-dialplan", "add", "editPrefix=0777&editReplace=1&editAccount=", "value=\"0777\"", "app_vpPhone", 4, ""},
        {"settings-dialnow", "add", "editRule=999&editAccount=2", "value=\"999\"", "app_vpPhone", 6, ""},
        {"settings-areacode", "write", "AreaCode=030&AreaCodeMinLen=5", "value=\"030\"", "app_vpPhone", 18, ""},
        {"settings-blackout", "write", "BlackOut_2=0190&Account_2=1", "value=\"0190\"", "app_vpPhone", 19, ""},
        {"settings-softkey", "write", "callStates=Talking.xml%3AHeld&selectSoftKeys=End+Call,Resume&unSelectSoftKeys=Transfer&CustomSoftkeySwitch=1", "<option value=\"End Call\">End Call</option>\n      <option value=\"Resume\">", "*", 36, "&callStates=Talking.xml%3AHeld"},
        {"settings-voice", "write", "VPMVAD=1&JitterType=0&JitterMin=40", "value=\"40\"", "*", 17, ""},
        {"settings-tones", "write", "ToneCountry=Japan&ToneDial=400", "name=\"ToneDial\" maxlength=\"511\" value=\"400\"", "*", 12, ""},
    };
    for (const Case& c : cases) {
        std::string load = std::string("/servlet?p=") + c.page + "&q=load" + c.load;
        ASSERT_EQ(200, page(load).status) << c.page;
        HttpAnswer saved = http.postForm(std::string("/servlet?p=") + c.page + "&q=" + c.action, c.form);
        EXPECT_TRUE(saved.status == 302 || saved.status == 200) << c.page << " " << saved.status;
        std::string shown = page(load).body;
        EXPECT_NE(std::string::npos, shown.find(c.shown)) << c.page;
        // The block-out page answers its save with the page itself.
        std::string said = saved.status == 200 ? saved.body : shown;
        EXPECT_NE(std::string::npos, said.find("Saved")) << c.page;
        EXPECT_TRUE(busLogHas(Change(c.to, c.wparam))) << c.page;
    }
}

TEST_F(SettingsOverHttp, UploadedRingTonesAndWallpapersAreListed)
{
    std::ifstream ring(stack.root().real("/phone/resource/sysdata/sound/Ring3.wav"), std::ios::binary);
    std::stringstream wave;
    wave << ring.rdbuf();
    ASSERT_GT(wave.str().size(), 44u);
    std::string picture = stack.root().real("/tmp/photo.png");
    ASSERT_EQ(0, system(("/usr/bin/convert -size 800x600 gradient:red-blue '" + picture + "'").c_str()));
    std::ifstream png(picture, std::ios::binary);
    std::stringstream image;
    image << png.rdbuf();

    page("/servlet?p=settings-preference&q=load");
    HttpAnswer up = http.postMultipart("/servlet?p=settings-preference&q=upload",
                                       {{"nameUploadRing", wave.str(), "Door Bell.wav"}});
    EXPECT_EQ(302, up.status) << up.body;
    HttpAnswer wall = http.postMultipart("/servlet?p=settings-preference&q=uploadWallpaper",
                                         {{"nameUploadWallpaper", image.str(), "C:\\Pictures\\Beach.png"}});
    EXPECT_EQ(302, wall.status) << wall.body;
    std::string shown = page("/servlet?p=settings-preference&q=load").body;
    EXPECT_NE(std::string::npos, shown.find("value=\"Config:Door Bell.wav\""));
    EXPECT_NE(std::string::npos, shown.find("value=\"Config:Beach.png\""));
    EXPECT_TRUE(busLogHas("{\"to\":\"app_vpPhone\",\"id\":65543,\"wparam\":53,\"lparam\":0,\"kind\":\"post\"}"));
    EXPECT_TRUE(busLogHas("{\"to\":\"app_vpPhone\",\"id\":65543,\"wparam\":86,\"lparam\":1,\"kind\":\"post\"}"));
    // Scaled into the screen, keeping the picture's shape.
    std::string size;
    FILE* identify = popen(("/usr/bin/identify -format %wx%h '" +
                            stack.root().real("/data/userdata/wallpaper/Beach.png") + "'").c_str(), "r");
    ASSERT_TRUE(identify);
    char text[32] = "";
    if (fgets(text, sizeof text, identify))
        size = text;
    pclose(identify);
    EXPECT_EQ("363x272", size);
}

}  // namespace
