// The feature pages driven through the host fakes, with a scripted phone.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "frame/configbridge.h"
#include "pages/features/FeaturesACDServlet.h"
#include "pages/features/FeaturesForwardServlet.h"
#include "pages/features/FeaturesGeneralServlet.h"
#include "pages/features/FeaturesPhonelockServlet.h"
#include "pages/features/FeaturesRemoteContrlServlet.h"
#include "pages/features/FeaturesSMSServlet.h"
#include "pages/features/HiddenServlet.h"
#include "platform/configparser.h"
#include "platform/registry.h"
#include "tests/support/buspeer.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

namespace {

constexpr unsigned int kConfigChanged = 0x10007;
constexpr unsigned int kAskTalking = 0x30007;
constexpr unsigned int kAccountStatus = 0x30006;

std::string Global(const char* field) { return GetConfigValue(FILETYPE_GLOBAL, field, 0); }
void SetGlobal(const char* field, const char* value) { configParser_SetConfigString(field, value); }
void EnableAccount(int n)
{
    configParser_SetConfigString(configParser_GetAccountConfigName("AccountEnable", n).c_str(), "1");
}
std::string Ini(const char* section, const char* key)
{
    return registryGetString(registryOpen("/config/user/user.ini", section), key, "<none>");
}

class FeaturePage : public ::testing::Test {
protected:
    FeaturePage() : phone({"app_vpPhone", "app_sipClient0", "app_sipClient2"})
    {
        phone.reply(kAskTalking, 1);
        root.write("/tmp/.keep", "");
    }

    // Runs one request against a fresh servlet.
    template <typename Servlet>
    int run(const std::string& url, std::initializer_list<std::pair<std::string, std::string>> post,
            FakeResponse& response)
    {
        Servlet servlet;
        FakeRequest request(url);
        request.login("admin");
        request.setPost(post);
        return servlet.onRequest(&request, &response);
    }

    // "B<wparam>" broadcast, "P<wparam>" post of 0x10007, other ids in hex.
    std::string changes()
    {
        // The phone answers this after everything sent before it.
        msgSendMsgToThread(msgGetThreadByName("app_vpPhone"), kAskTalking, 0, 0);
        std::string out;
        for (const BusMessage& m : phone.messages()) {
            if (m.id == kAskTalking || m.id == kAccountStatus)
                continue;
            out += out.empty() ? "" : " ";
            if (m.id == kConfigChanged)
                out += (m.kind == "broadcast" ? "B" : "P") + std::to_string(m.wparam);
            else
                out += m.thread + ":" + std::to_string(m.id);
        }
        return out;
    }

    TestRoot root;
    BusPeer phone;
};

// ---- Forward and DND ------------------------------------------------------------

TEST_F(FeaturePage, ForwardAccountModeWithoutEnabledAccounts)
{
    FakeResponse r;
    run<FeaturesForwardServlet>("/servlet?p=features-forward&q=load&ForwardMode=1&DndMode=1", {}, r);
    EXPECT_EQ(r.var("FWDNoAccount"), "true");
    EXPECT_EQ(r.var("DNDNoAccount"), "true");
    EXPECT_EQ(r.loopSize("AccountLoop"), 0);
    EXPECT_EQ(r.var("ForwardMode"), "1");
}

TEST_F(FeaturePage, ForwardAccountModeReadsTheSectionWithItsDefaults)
{
    EnableAccount(1);
    EnableAccount(3);
    SetGlobal("ForwardMode", "1");
    root.write("/config/user/user.ini", "[Account3]\nAF_Target=<9>\nTimeout=5\n[DNDAccount1]\nDND=1\n");
    FakeResponse r;
    run<FeaturesForwardServlet>("/servlet?p=features-forward&q=load&fwd=3&DndMode=1", {}, r);
    EXPECT_EQ(r.loopColumn("AccountLoop", "selValue"), (Texts{"1", "3"}));
    EXPECT_EQ(r.var("FWDIndex"), "3");
    EXPECT_EQ(r.var("AlwaysForwardTarget"), "&lt;9&gt;");
    EXPECT_EQ(r.var("BusyForwardSwitch"), "0");  // INI default
    EXPECT_EQ(r.var("BusyForwardOnCode"), "");
    EXPECT_EQ(r.loopSize("delayTimeLoop"), 21);
    EXPECT_EQ(r.loopVar("delayTimeLoop", 5, "selName"), "30");
    EXPECT_EQ(r.loopVar("delayTimeLoop", 5, "selected"), "1");
    // DND falls back to the first enabled account.
    EXPECT_EQ(r.var("DNDIndex"), "1");
    EXPECT_EQ(r.var("DndStatus"), "1");

    // A disabled or bogus account falls back too; with no section the delay is "2".
    FakeResponse other;
    run<FeaturesForwardServlet>("/servlet?p=features-forward&q=load&fwd=../2", {}, other);
    EXPECT_EQ(other.var("FWDIndex"), "1");
    EXPECT_EQ(other.loopVar("delayTimeLoop", 2, "selected"), "1");
}

TEST_F(FeaturePage, ForwardWriteAccountModeAndPhoneModeDnd)
{
    SetGlobal("BSFTActive", "0");
    FakeResponse r;
    run<FeaturesForwardServlet>("/servlet?p=features-forward&q=write",
                                {{"ForwardMode", "1"}, {"ForwardAccount", "2"},
                                 {"AlwaysForwardSwitch", "1"}, {"AlwaysForwardTarget", "200"},
                                 {"AlwaysForwardOnCode", "*72"}, {"DndMode", "0"},
                                 {"DndStatus", "1"}},
                                r);
    EXPECT_EQ(r.redirect, "/servlet?p=features-forward&q=load&fwd=2");
    EXPECT_EQ(Ini("Account2", "AF_Enable"), "1");
    EXPECT_EQ(Ini("Account2", "AF_On_Code"), "*72");
    EXPECT_EQ(Ini("Account2", "BF_Target"), "<none>");  // not posted, not written
    EXPECT_EQ(Global("DndStatus"), "1");
    EXPECT_EQ(changes(), "B1 B30");
}

TEST_F(FeaturePage, ForwardWriteRules)
{
    // Only the DND mode changes: still announced; BroadSoft keeps the codes.
    SetGlobal("BSFTActive", "1");
    FakeResponse r;
    run<FeaturesForwardServlet>("/servlet?p=features-forward&q=write",
                                {{"DndMode", "1"}, {"BusyForwardOnCode", "*9"}}, r);
    EXPECT_EQ(changes(), "B30");
    EXPECT_EQ(Global("BusyForwardOnCode"), "");
    EXPECT_EQ(r.redirect, "/servlet?p=features-forward&q=load");

    // Hostile input never reaches a section name or the store.
    const std::string overlong(200, 'x');
    for (auto post : {std::make_pair("ForwardAccount", "../x"), std::make_pair("DndMode", "1111"),
                      std::make_pair("NoAnswerForwardDelayTime", "21"),
                      std::make_pair("AlwaysForwardTarget", overlong.c_str())}) {
        FakeResponse refused;
        run<FeaturesForwardServlet>("/servlet?p=features-forward&q=write",
                                    {{post.first, post.second}, {"ForwardMode", "1"}, {"ForwardAccount", "0"}},
                                    refused);
        EXPECT_EQ(refused.status, 400) << post.first;
        EXPECT_EQ(refused.loopColumn("fieldErrors", "field"), Texts{post.first});
    }
    EXPECT_EQ(Global("ForwardMode"), "");
    EXPECT_FALSE(root.exists("/config/user/user.ini"));
}

TEST_F(FeaturePage, AFailedIniWriteIsNotReportedAsSaved)
{
    registryFailNextWrites(-1);
    FakeResponse r;
    run<FeaturesForwardServlet>("/servlet?p=features-forward&q=write",
                                {{"ForwardMode", "1"}, {"ForwardAccount", "1"}, {"AlwaysForwardTarget", "9"}}, r);
    registryFailNextWrites(0);
    EXPECT_TRUE(r.redirect.empty());
    EXPECT_EQ(r.var("noticeLabel"), "setTimeout$features-forward$Error:The settings could not be saved!");
}

// ---- Simple pages ---------------------------------------------------------------

TEST_F(FeaturePage, GeneralAnnouncesOnlyWhatChanged)
{
    const struct {
        const char* field;
        const char* value;
        const char* messages;
    } cases[] = {
        {"TextLogo", "Desk", "P21"},         {"HotlineNumber", "100", ""},
        {"ForwardInternationalEnable", "0", "B1"}, {"CallWaitingOnCode", "*7", "P11"},
        {"BroadsoftFeatureKeySync", "1", "B37"}, {"LCDLogo", "1", "P21"},
        {"CallCompletionSwitch", "1", "P32"}, {"SaveCallLogSwitch", "0", "P40"},
        {"ClosePowerLight", "1", "P90"},     {"LogonWizard", "1", "B28"},
        {"PayloadType", "101", "B42"},       {"AutoRedialTimes", "5", "P26"},
        {"Dtmfrep", "2", "B17"},             {"BLFLedMode", "1", "app_vpPhone:196650"},
    };
    for (const auto& c : cases) {
        for (const char* expected : {c.messages, ""}) {  // the second post changes nothing
            phone.clear();
            FakeResponse r;
            run<FeaturesGeneralServlet>("/servlet?p=features-general&q=write", {{c.field, c.value}}, r);
            EXPECT_EQ(changes(), expected) << c.field;
            EXPECT_EQ(r.redirect, "/servlet?p=features-general&q=load") << c.field;
        }
        EXPECT_EQ(Global(c.field), c.value);
    }
}

TEST_F(FeaturePage, RowRulesRefuseBadValues)
{
    for (auto post : {std::make_pair("ACDAutoAvailableTime", "121"),
                      std::make_pair("ACDAutoAvailableTime", "1e3"),
                      std::make_pair("EnableACDAutoAvailable", "2")}) {
        FakeResponse r;
        run<FeaturesACDServlet>("/servlet?p=features-acd&q=write", {{post.first, post.second}}, r);
        EXPECT_EQ(r.status, 400) << post.first;
    }
    EXPECT_EQ(changes(), "");
    FakeResponse both;
    run<FeaturesACDServlet>("/servlet?p=features-acd&q=write",
                            {{"ACDAutoAvailableTime", "30"}, {"EnableACDAutoAvailable", "1"}}, both);
    EXPECT_EQ(changes(), "P39");
    // Unknown actions get an empty answer; "hidden" a 404.
    FakeResponse empty, missing;
    run<FeaturesACDServlet>("/servlet?p=features-acd&q=Load", {}, empty);
    run<HiddenServlet>("/servlet?p=hidden&q=Load", {}, missing);
    EXPECT_FALSE(empty.answered());
    EXPECT_EQ(missing.status, 404);
}

TEST_F(FeaturePage, RemoteControlShowsTheBoxOnlyForANewList)
{
    SetGlobal("AURIShowMsgBoxEnable", "0");
    FakeResponse same, changed;
    run<FeaturesRemoteContrlServlet>("/servlet?p=features-remotecontrl&q=write",
                                     {{"AURILimitIP", ""}}, same);
    EXPECT_EQ(Global("AURIShowMsgBoxEnable"), "0");
    run<FeaturesRemoteContrlServlet>("/servlet?p=features-remotecontrl&q=write",
                                     {{"AURILimitIP", "10.0.0.1"}}, changed);
    EXPECT_EQ(Global("AURIShowMsgBoxEnable"), "1");
    EXPECT_EQ(changes(), "");
}

TEST_F(FeaturePage, HiddenRebootStoresBroadsoftWithoutTheBroadcast)
{
    FakeResponse r;
    run<HiddenServlet>("/servlet?p=hidden&q=write",
                       {{"BSFTActive", "1"}, {"DndForbidden", "1"}, {"reboot", "true"}}, r);
    EXPECT_EQ(Global("BSFTActive"), "1");
    EXPECT_EQ(Global("DndForbidden"), "1");
    EXPECT_EQ(r.var("noticeLabel"), "setInterval$hidden$Rebooting , please wait ...");
    EXPECT_EQ(changes(), "app_vpPhone:65793");  // 0x10101, nothing else
    // Without the reboot BroadSoft stays as it is.
    FakeResponse plain;
    run<HiddenServlet>("/servlet?p=hidden&q=write", {{"BSFTActive", "0"}}, plain);
    EXPECT_EQ(Global("BSFTActive"), "1");
}

TEST_F(FeaturePage, HiddenPushesXmlFromTrustedClientsOnly)
{
    SetGlobal("PushXMLServerIP", " 127.0.0.1 ");
    FakeResponse pushed, refused;
    run<HiddenServlet>("/servlet?p=hidden&q=pushXML", {{"editPushXML", "<Text/>"}}, pushed);
    EXPECT_EQ(pushed.body, "success");
    EXPECT_EQ(root.read("/tmp/XmlBrowserFile.xml"), "<Text/>");
    SetGlobal("PushXMLServerIP", "10.0.0.5");
    run<HiddenServlet>("/servlet?p=hidden&q=pushXML", {{"editPushXML", "<Other/>"}}, refused);
    EXPECT_EQ(refused.body, "failed");
    // A trusted address is not enough for an identity below the page's level.
    SetGlobal("PushXMLServerIP", "127.0.0.1");
    SetGlobal("hidden", "3");
    HiddenServlet servlet;
    FakeRequest request("/servlet?p=hidden&q=pushXML");
    request.login("user").setPost({{"editPushXML", "<User/>"}});
    FakeResponse below;
    servlet.onRequest(&request, &below);
    EXPECT_EQ(below.body, "failed");
    EXPECT_EQ(root.read("/tmp/XmlBrowserFile.xml"), "<Text/>");
}

TEST_F(FeaturePage, UnlockPinIsStoredHashedAndTheMaskKeepsIt)
{
    FakeResponse set, masked, bad, load;
    run<FeaturesPhonelockServlet>("/servlet?p=features-phonelock&q=write", {{"UnlockPIN", "4711"}}, set);
    std::string hash = Ini("Phone_Lock", "Unlock_PIN");
    EXPECT_EQ(hash.size(), 13u);
    EXPECT_EQ(hash.find("4711"), std::string::npos);
    run<FeaturesPhonelockServlet>("/servlet?p=features-phonelock&q=write",
                                  {{"UnlockPIN", "********"}, {"LockEnable", "1"}}, masked);
    EXPECT_EQ(Ini("Phone_Lock", "Unlock_PIN"), hash);
    run<FeaturesPhonelockServlet>("/servlet?p=features-phonelock&q=write", {{"UnlockPIN", "12ab"}}, bad);
    EXPECT_EQ(Ini("Phone_Lock", "Unlock_PIN"), hash);
    EXPECT_EQ(changes(), "P20");
    run<FeaturesPhonelockServlet>("/servlet?p=features-phonelock&q=load", {}, load);
    EXPECT_EQ(load.var("UnlockPIN"), "********");
}

// ---- Logo --------------------------------------------------------------------------

std::string Logo(int width, int height, int extra = 0)
{
    std::string data = {static_cast<char>(width), static_cast<char>(height)};
    return data + std::string(static_cast<size_t>(height * ((width + 7) / 8) + extra), '\x55');
}

TEST(LogoRules, SizeAndHeader)
{
    using L = LogoCheck;
    const struct {
        int type;
        std::string data;
        L check;
    } cases[] = {
        {28, Logo(236, 82), L::Accepted}, {28, Logo(237, 60), L::TooBig},
        {28, Logo(200, 83), L::TooBig},   {28, Logo(200, 60), L::Accepted},
        {19, Logo(132, 64), L::Accepted}, {26, Logo(133, 64), L::TooBig},
        {41, Logo(192, 64), L::Accepted}, {42, Logo(192, 65), L::TooBig},
        {46, Logo(255, 255), L::Accepted}, {28, Logo(100, 50, 1), L::Broken},
        {28, Logo(100, 50, -1), L::Broken}, {28, Logo(0, 10), L::Broken},
        {28, std::string("\x10"), L::Broken}, {28, "", L::Broken},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckLogo(c.data, c.type, 1 << 20), c.check) << c.type << " " << c.data.size();
    EXPECT_EQ(CheckLogo(Logo(10, 10), 28, 22), LogoCheck::TooBig);  // no room left
}

TEST_F(FeaturePage, LogoUploadKeepsTheInstalledLogoOnFailureAndDeleteRemovesOnlyIt)
{
    root.write("/config/system/phonetype", "28\n");
    root.write("/config/Pics/logo.dob", "old");
    root.write("/config/Pics/other.png", "keep");
    for (const std::string& upload : {Logo(240, 60), Logo(20, 20, 3)}) {
        root.write("/tmp/logofile_test", upload);
        FeaturesGeneralServlet servlet;
        FakeRequest request("/servlet?p=features-general&q=uploadLogo");
        request.setUpload("logoFile", "/tmp/logofile_test", "logo.dob");
        FakeResponse response;
        servlet.onRequest(&request, &response);
        EXPECT_EQ(response.var("result"), upload.size() > 1000 ? "big" : "fail");
        EXPECT_EQ(root.read("/config/Pics/logo.dob"), "old");
        EXPECT_FALSE(root.exists("/tmp/logofile_test"));
    }
    root.write("/tmp/logofile_test", Logo(200, 60));
    FeaturesGeneralServlet servlet;
    FakeRequest request("/servlet?p=features-general&q=uploadLogo");
    request.setUpload("logoFile", "/tmp/logofile_test", "logo.dob");
    FakeResponse response;
    servlet.onRequest(&request, &response);
    EXPECT_EQ(response.var("result"), "success");
    EXPECT_EQ(root.read("/config/Pics/logo.dob"), Logo(200, 60));
    EXPECT_EQ(Global("LCDLogo"), "2");

    FakeResponse deleted;
    run<FeaturesGeneralServlet>("/servlet?p=features-general&q=delete&path=../../config", {}, deleted);
    EXPECT_FALSE(root.exists("/config/Pics/logo.dob"));
    EXPECT_EQ(root.read("/config/Pics/other.png"), "keep");
    EXPECT_EQ(changes(), "P21 P21");
}

// ---- Text messages ------------------------------------------------------------------

TEST(TextMessage, TargetAndBlock)
{
    const struct {
        const char* target;
        const char* user;
        const char* server;
    } cases[] = {
        {"bob@pbx", "bob", "pbx"}, {"bob", "bob", "own"}, {"a@b@c", "a", "own"}, {"@x", "", "x"},
    };
    for (const auto& c : cases) {
        MessageTarget t = SplitMessageTarget(c.target, "own");
        EXPECT_EQ(t.user, c.user) << c.target;
        EXPECT_EQ(t.server, c.server) << c.target;
    }
    std::string block;
    EXPECT_TRUE(BuildMessageBlock("hi", {"bob", "pbx"}, block));
    EXPECT_EQ(block, "hisip:bob@pbx");
    EXPECT_TRUE(BuildMessageBlock(std::string(1016, 'x'), {"b", "p"}, block));  // 1023 in all
    EXPECT_FALSE(BuildMessageBlock(std::string(1017, 'x'), {"b", "p"}, block));
}

TEST_F(FeaturePage, TextMessageIsListedAndReachesTheAccountsClient)
{
    EnableAccount(0);
    EnableAccount(2);
    phone.setHandler([](const BusMessage& m) -> std::optional<int> {
        return m.id == kAccountStatus ? (m.wparam == 2 ? 2 : 3) : 1;
    });
    root.write("/config/data/text_message_list.xml", "<list/>");
    root.write("/config/user/voip/sipAccount2.cfg", "[sipserver1]\nserver=pbx\n");
    FakeResponse page;
    run<FeaturesSMSServlet>("/servlet?p=features-sms&q=load", {}, page);
    EXPECT_EQ(page.loopColumn("selectAccount", "selValue"), (Texts{"2"}));  // 0 is unregistered

    FakeResponse sent, tooLong;
    run<FeaturesSMSServlet>("/servlet?p=features-sms&q=send",
                            {{"acc", "2"}, {"editMsgTxt", "hi"}, {"editMsgTarget", "bob"}}, sent);
    EXPECT_EQ(sent.redirect, "/servlet?p=features-sms&q=load");
    std::string list = root.read("/config/data/text_message_list.xml");
    EXPECT_NE(list.find("text=\"hi\" to_name=\"bob\" to_user_name=\"bob\" to_server=\"pbx\""),
              std::string::npos);
    run<FeaturesSMSServlet>("/servlet?p=features-sms&q=send",
                            {{"acc", "2"}, {"editMsgTxt", std::string(1100, 'x')}, {"editMsgTarget", "bob"}},
                            tooLong);
    EXPECT_EQ(tooLong.var("noticeLabel"), "setTimeout$features-sms$Error:The message is too long!");
    EXPECT_EQ(root.read("/config/data/text_message_list.xml"), list);

    bool posted = false;
    for (const BusMessage& m : phone.messages()) {
        if (m.thread == "app_sipClient2") {
            EXPECT_EQ(m.data, std::string("hisip:bob@pbx", 14));  // with its end
            EXPECT_EQ(m.wparam, 2u);
            EXPECT_EQ(m.lparam, 11);
            posted = true;
        }
    }
    EXPECT_TRUE(posted);
    FakeResponse again;
    run<FeaturesSMSServlet>("/servlet?p=features-sms&q=load", {}, again);
    EXPECT_EQ(again.loopColumn("sentMessages", "msgTo"), (Texts{"bob@pbx"}));
}

}  // namespace
