// The configuration and provisioning pages driven through the fakes.
#include <gtest/gtest.h>

#include <string>

#include "frame/configbridge.h"
#include "maintenance/SettingsConfigServlet.h"
#include "maintenance/SettingsProvisionServlets.h"
#include "platform/configparser.h"
#include "platform/msgids.h"
#include "tests/support/buspeer.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

namespace {

std::string Stored(const char* field) { return GetConfigValue(FILETYPE_GLOBAL, field, 0); }

class MaintenancePage : public ::testing::Test {
protected:
    MaintenancePage() : phone({"app_vpPhone", "autoServer", "app_pcapServer"})
    {
        phone.reply(kMsgAskTalking, 1);
    }

    size_t countOf(unsigned int id) const
    {
        size_t n = 0;
        for (const BusMessage& m : phone.messages())
            n += m.id == id;
        return n;
    }

    TestRoot root;
    BusPeer phone;
};

TEST(MaintenanceRules, MaxAccountsByHardware)
{
    TestRoot root;
    const struct {
        const char* hwVer;  // null: no "/tmp/InitSave"
        int many;
        int expected;
    } cases[] = {
        {nullptr, 0, 6}, {nullptr, 1, 16}, {"1.0.0.0", 0, 6}, {"1.0.0.0", 1, 16}, {"2.1", 1, 6},
        {"3.0", 1, 2},   {"7", 0, 2},      {"8.9", 1, 2},     {"4.2", 0, 3},     {"4.2", 1, 13},
        {"5", 1, 3},     {"9.0.0.0", 1, 3}, {"", 1, 3},
    };
    for (const auto& c : cases) {
        if (c.hwVer)
            root.write("/tmp/InitSave", std::string("[OLD_VER]\nHwVer=") + c.hwVer + "\n");
        else
            ::remove(root.real("/tmp/InitSave").c_str());
        root.write("/corvane/factory/voip/AccountNum.cfg",
                   "[AccountNum]\nIsAccountNum16=" + std::to_string(c.many) + "\n");
        EXPECT_EQ(SettingsConfigServlet::GetMaxAccountNum(), c.expected)
            << (c.hwVer ? c.hwVer : "(none)") << " " << c.many;
    }
}

TEST(MaintenanceRules, NamesFromConfigurationStayInTmp)
{
    const struct {
        const char* prefix;
        const char* clip0;
    } clips[] = {
        {"capture", "/tmp/capture-0.pcap"}, {"/tmp/capture", "/tmp/capture-0.pcap"},
        {"/tmp/../etc/passwd", ""},         {"../config/x", ""},
        {"/data/capture", ""},              {"", ""},
        {"a/b", ""},                        {".hidden", ""},
    };
    for (const auto& c : clips)
        EXPECT_EQ(CaptureClipPath(c.prefix, 0), c.clip0) << c.prefix;
    const struct {
        const char* text;
        const char* name;
    } macs[] = {
        {"001565123456\n", "001565123456"}, {" 00:15:65 ", "000000000000"},
        {"../../config/x", "000000000000"}, {"", "000000000000"},
        {"a;rm -rf /", "000000000000"},     {"0015651234567890", "0015651234567890"},
    };
    for (const auto& c : macs)
        EXPECT_EQ(SyslogMacName(c.text), c.name) << c.text;
}

TEST_F(MaintenancePage, AHostileFactoryArchiveKeepsTheOldCustomFactory)
{
    root.write("/data/customfactory/system/config.cfg", "old=1\n");
    root.write("/tmp/fileupload_bad", std::string(3000, 'z'));
    SettingsConfigServlet page;
    FakeRequest request("/servlet?p=settings-config&q=importFactory");
    request.login("admin").setUpload("FactoryConfig", "/tmp/fileupload_bad", "config.tar");
    FakeResponse response;
    page.onRequest(&request, &response);
    EXPECT_EQ(response.var("noticeLabel"), "setTimeout$settings-config$Error:Import config error!");
    EXPECT_EQ(root.read("/data/customfactory/system/config.cfg"), "old=1\n");
    EXPECT_FALSE(root.exists("/tmp/config.tar"));
}

TEST_F(MaintenancePage, CaptureWithoutFilesAnswersInvalidName)
{
    phone.reply(kMsgCaptureExport, 1);
    configParser_SetConfigString("PacketCapClipFilePrefix", "/tmp/../config/system/config");
    configParser_SetConfigString("PacketCapFileCount", "3");
    root.write("/config/system/config-0.pcap", "secret");
    SettingsConfigServlet page;
    FakeRequest request("/servlet?p=settings-config&q=exportcapture");
    FakeResponse response;
    page.onRequest(&request, &response);
    EXPECT_EQ(response.body, "Invalid file name.");
    EXPECT_EQ(response.header("Content-disposition"), "");
}

TEST_F(MaintenancePage, AutopWriteNeedsNowAndKeepsMaskedKeys)
{
    configParser_SetConfigString("AutoProvisionAESKey16", "abcdefabcdefabcd");
    SettingsAutoProvisionServlet page;
    {
        FakeRequest request("/servlet?p=settings-autop&q=write");
        request.setPost({{"AutoProvisionServerURL", "http://a/"}});
        FakeResponse response;
        page.onRequest(&request, &response);
        EXPECT_EQ(Stored("AutoProvisionServerURL"), "");
    }
    FakeRequest request("/servlet?p=settings-autop&q=write");
    request.setPost({{"now", "false"}, {"AutoProvisionServerURL", "http://a/"},
                     {"AutoProvisionAESKey16", "********"}, {"AutoProvisionAESKey16MAC", "********"}});
    FakeResponse response;
    page.onRequest(&request, &response);
    EXPECT_EQ(response.redirect, "/servlet?p=settings-autop&q=load");
    EXPECT_EQ(Stored("AutoProvisionServerURL"), "http://a/");
    EXPECT_EQ(Stored("AutoProvisionAESKey16"), "abcdefabcdefabcd");
    EXPECT_EQ(Stored("AutoProvisionAESKey16MAC"), "");
    EXPECT_EQ(countOf(kMsgProvisionStart), 0u);
    FakeRequest load("/servlet?p=settings-autop&q=load");
    FakeResponse shown;
    page.onRequest(&load, &shown);
    EXPECT_EQ(shown.var("AutoProvisionAESKey16"), "********");
    EXPECT_EQ(shown.var("AutoProvisionAESKey16MAC"), "");
}

TEST_F(MaintenancePage, Tr069BroadcastsOnlyAChangeAndExpandsThePlaceholder)
{
    configParser_SetConfigString("TR069ServerUsername", "$ManufactureOUI-$ProductClass-$MAC");
    configParser_SetConfigString("TR069DeviceManufacturerOUI", "001565");
    configParser_SetConfigString("TR069DeviceProductClass", "IPPhone");
    SettingsTr069Servlet page;
    FakeRequest load("/servlet?p=settings-tr069&q=load");
    FakeResponse shown;
    page.onRequest(&load, &shown);
    EXPECT_EQ(shown.var("TR069ServerUsername").rfind("001565-IPPhone-", 0), 0u);
    EXPECT_EQ(Stored("TR069ServerUsername"), "$ManufactureOUI-$ProductClass-$MAC");
    for (const char* password : {"acs", "acs", "********"}) {
        FakeRequest request("/servlet?p=settings-tr069&q=write");
        request.setPost({{"TR069ServerURL", "http://acs/"}, {"TR069ServerPassword", password}});
        FakeResponse response;
        page.onRequest(&request, &response);
    }
    ASSERT_TRUE(phone.waitForCount(4));
    EXPECT_EQ(countOf(kMsgConfigChanged), 1u);
    EXPECT_EQ(Stored("TR069ServerPassword"), "acs");
}


TEST_F(MaintenancePage, OnlyWhoMayChangeThePageMovesConfigurationInOrOut)
{
    root.write("/phone/factory/system/.keep", "");
    configParser_SetConfigString("AccountPassword.0", "1001");
    configParser_SetConfigString("settings-config", "3");
    for (const char* action : {"export", "exportsyslog", "exportcapture", "delFactory", "startcapture"}) {
        SettingsConfigServlet page;
        FakeRequest request(std::string("/servlet?p=settings-config&q=") + action);
        request.login("user");
        FakeResponse response;
        page.onRequest(&request, &response);
        EXPECT_EQ(response.status, 403) << action;
        EXPECT_EQ(response.body.find("1001"), std::string::npos) << action;
    }
    EXPECT_EQ(countOf(kMsgCaptureStart), 0u);
}

}  // namespace
