// The key page over HTTP with phonesim: a programmed key is on disk and on
// the page after a reload, the phone hears which key changed, a holder of
// the key-file lock makes the page wait, and phonesim's BLF-list values
// reach the page.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "platform/etl.h"
#include "tests/integration/harness.h"

namespace {

class DsskeyOverHttp : public PhoneStackTest {
protected:
    void SetUp() override { login(); }
    HttpAnswer program(HttpClient& client, const std::string& label)
    {
        return client.postForm("/servlet?p=dsskey&q=write",
                               "model=1&linepage=1&selType_3=16&memValue_3=1003&selLine_3=1&memLabel_3=" +
                                   label + "&memExt_3=%2A8");
    }
    bool busLogHas(const std::string& text)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            for (const std::string& line : stack.busLog())
                if (line.find(text) != std::string::npos)
                    return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
};

TEST_F(DsskeyOverHttp, ProgrammedKeyIsStoredShownAndAnnounced)
{
    HttpAnswer saved = program(http, "Front+%26+Back");
    EXPECT_EQ(saved.status, 302);
    EXPECT_EQ(saved.header("Location"), "/servlet?p=dsskey&model=1&q=load&linepage=1");
    std::string file = stack.root().read("/config/data/linekey.xml");
    EXPECT_NE(file.find("label=\"Front &amp; Back\""), std::string::npos) << file;
    EXPECT_NE(stack.root().read("/config/user/vpPhone.ini").find("Label = Front & Back"), std::string::npos);
    HttpAnswer page = http.get("/servlet?p=dsskey&q=load&model=1");
    EXPECT_NE(page.body.find("value=\"Front &amp; Back\""), std::string::npos);
    EXPECT_NE(page.body.find("<option selected value=\"16\" class=\"t\">BLF</option>"), std::string::npos);
    EXPECT_TRUE(busLogHas("\"id\":65543,\"wparam\":2,\"lparam\":0,\"kind\":\"broadcast\",\"data\":\"\\u0003\""));
}

TEST_F(DsskeyOverHttp, WriteWaitsForTheKeyFileLock)
{
    ETL_BaseHelper::chMutex lock;
    ASSERT_TRUE(lock.OpenMutex("DsskeyFile"));
    ASSERT_TRUE(lock.Lock(-1));
    HttpClient other = stack.client();
    other.postForm("/servlet?p=login&q=login", "username=admin&pwd=admin&jumpto=status");
    auto answer = std::async(std::launch::async, [&] { return program(other, "Locked"); });
    EXPECT_EQ(answer.wait_for(std::chrono::milliseconds(700)), std::future_status::timeout);
    EXPECT_EQ(stack.root().read("/config/data/linekey.xml").find("Locked"), std::string::npos);
    lock.Unlock();
    EXPECT_EQ(answer.get().status, 302);
    EXPECT_NE(stack.root().read("/config/data/linekey.xml").find("Locked"), std::string::npos);
}

TEST_F(DsskeyOverHttp, BlfListValuesComeFromThePhone)
{
    std::string state = stack.root().read("/tmp/phonesim/state.ini");
    stack.root().write("/tmp/phonesim/state.ini", state + "\n[blflist]\nline.4 = 2004|Team <4>|x\n");
    stack.root().write("/config/system/config.cfg", "BSFTActive=1\n");
    http.postForm("/servlet?p=dsskey&q=write", "model=1&linepage=1&selType_4=39&selLine_4=0");
    HttpAnswer page = http.get("/servlet?p=dsskey&q=load&model=1");
    EXPECT_NE(page.body.find("value=\"Team &lt;4&gt;\""), std::string::npos);
    EXPECT_TRUE(busLogHas("\"id\":196638,\"wparam\":0"));
    EXPECT_FALSE(stack.root().exists("/tmp/tmpBLFListValues"));
}

}  // namespace
