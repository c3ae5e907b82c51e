#include "pages/status/StatusServlet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "pages/status/ExpDevice.h"
#include "platform/tmpl.h"
#include "tests/support/buspeer.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

namespace {

const char kStatusTemplate[] = "/phone/www/WEB-INFO/template/status.htm";

// A phone root with the configuration the status page reads and a phone
// thread that answers every account with the given status.
class StatusPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.write("/phone/factory/config.cfg",
                   "PhoneFirmware=1.2.3.4\nNetworkIPAddressMode=0\nNetworkWanType=2\n"
                   "NetworkLanEnableDHCP=1\nNetworkLanType=0\nNetworkIPv6WANType=1\n"
                   "AccountEnable.*=0\nAccountUserName.*=\nAccountEnable.0=1\n"
                   "AccountUserName.0=1001\nStatusVersion=1\nStatusExttable=3\n");
        root.write("/config/system/phonetype", "46\n");
        root.write("/config/system/network.ini",
                   "[net]\nipv4=10.0.0.5\nnetmask=255.255.0.0\ngateway=10.0.0.1\ndns1=10.0.0.2\n"
                   "dns2=10.0.0.3\nlan=10.1.0.1\nipv6=fd00::5\nprefix6=64\ngateway6=fd00::1\n"
                   "dns6_1=fd00::2\ndns6_2=fd00::3\nmac=00:11:22:33:44:55\ncable=1\n");
        root.write("/config/user/voip/sipAccount0.cfg", "[sipserver1]\nserver=pbx.test\n");
    }

    void config(const std::string& text) { root.write("/config/system/config.cfg", text); }

    // Runs "load" and expects the status page to be rendered.
    void load(FakeResponse& response, const char* url = "/servlet?p=status&q=load")
    {
        FakeRequest request(url);
        StatusServlet page;
        EXPECT_EQ(1, page.onRequest(&request, &response));
        EXPECT_EQ(kStatusTemplate, response.rendered);
        EXPECT_EQ("text/html", response.contentType);
    }

    TestRoot root;
};

TEST_F(StatusPage, AddressModeSelectsTheBlocks)
{
    const char* const ipv4Vars[] = {"wanPortType", "DHCPstatus", "wanIPAddress", "subnetMask",
                                    "gateway", "primaryDNS", "secondaryDNS"};
    const char* const ipv6Vars[] = {"NetworkIPv6WANType", "NetworkIPv6WanIP", "NetworkIPv6WanGateway",
                                    "NetworkIPv6WanPrimaryDNS", "NetworkIPv6WanSecondaryDNS"};
    struct Case {
        const char* mode;
        const char* word;  // null: no variable
        bool ipv4;
        bool ipv6;
    } cases[] = {
        {"0", "IPv4", true, false},
        {"1", "IPv6", false, true},
        {"2", "IPv4 & IPv6", true, true},
        {"3", nullptr, false, false},
        {"", nullptr, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        config(std::string("NetworkIPAddressMode=") + c.mode + "\n");
        FakeResponse response;
        load(response);
        EXPECT_EQ(c.word != nullptr, response.hasVar("NetworkIPAddressMode"));
        if (c.word) {
            EXPECT_EQ(c.word, response.var("NetworkIPAddressMode"));
        }
        for (const char* name : ipv4Vars)
            EXPECT_EQ(c.ipv4, response.hasVar(name)) << name;
        for (const char* name : ipv6Vars)
            EXPECT_EQ(c.ipv6, response.hasVar(name)) << name;
        // The common block is always there.
        EXPECT_EQ("00:11:22:33:44:55", response.var("MACAddress"));
        EXPECT_EQ("10.1.0.1", response.var("lanIPAddress"));
    }
}

TEST_F(StatusPage, NetworkValues)
{
    config("NetworkIPAddressMode=2\n");
    FakeResponse response;
    load(response);
    const char* const expected[][2] = {
        {"firmware", "1.2.3.4"},       {"wanIPAddress", "10.0.0.5"},     {"subnetMask", "255.255.0.0"},
        {"gateway", "10.0.0.1"},       {"primaryDNS", "10.0.0.2"},       {"secondaryDNS", "10.0.0.3"},
        {"NetworkIPv6WanIP", "fd00::5/64"}, {"NetworkIPv6WanGateway", "fd00::1/64"},
        {"NetworkIPv6WanPrimaryDNS", "fd00::2"}, {"NetworkIPv6WanSecondaryDNS", "fd00::3"},
        {"linkStatus", "Connected"},
    };
    for (const auto& e : expected)
        EXPECT_EQ(e[1], response.var(e[0])) << e[0];
}

TEST_F(StatusPage, CodedValuesAndTheirWords)
{
    struct Case {
        const char* config;
        const char* variable;
        const char* word;  // null: no variable
    } cases[] = {
        // The word tables themselves are the code's; these rows hold their edges.
        {"NetworkWanType=2", "wanPortType", "Static IP"},
        {"NetworkWanType=9", "wanPortType", nullptr},
        {"NetworkLanEnableDHCP=0", "DHCPstatus", "Stoped"},
        {"NetworkLanType=0", "deviceType", "Router"},
        {"NetworkLanType=", "deviceType", "Bridge"},
        {"NetworkIPAddressMode=1\nNetworkIPv6WANType=1", "NetworkIPv6WANType", "Static IP"},
        {"NetworkIPAddressMode=1\nNetworkIPv6WANType=2", "NetworkIPv6WANType", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.config);
        config(std::string(c.config) + "\n");
        FakeResponse response;
        load(response);
        EXPECT_EQ(c.word != nullptr, response.hasVar(c.variable));
        if (c.word) {
            EXPECT_EQ(c.word, response.var(c.variable));
        }
    }
}

TEST_F(StatusPage, UnpluggedCableAndUnknownAddresses)
{
    root.write("/config/system/network.ini", "[net]\ncable=0\nipv6=\ngateway6=\nprefix6=64\n");
    config("NetworkIPAddressMode=1\n");
    FakeResponse response;
    load(response);
    EXPECT_EQ("UnConnected", response.var("linkStatus"));
    // No lonely "/64" for an address the phone does not have.
    EXPECT_EQ("", response.var("NetworkIPv6WanIP"));
    EXPECT_EQ("", response.var("NetworkIPv6WanGateway"));
}

TEST_F(StatusPage, ConfiguredTextIsEscapedAndCut)
{
    config("PhoneFirmware=<b>1&2</b>\n");
    root.write("/config/system/hardware", "hw\"<x>\n");
    FakeResponse response;
    load(response);
    EXPECT_EQ("&lt;b&gt;1&amp;2&lt;/b&gt;", response.var("firmware"));
    EXPECT_EQ(std::string::npos, response.var("hardware").find('<'));

    config("PhoneFirmware=" + std::string(40, '7') + "\n");
    FakeResponse longer;
    load(longer);
    EXPECT_EQ(std::string(31, '7'), longer.var("firmware"));
}

TEST_F(StatusPage, AccountRowsFromTheConfigurationAndThePhone)
{
    BusPeer phone({"app_vpPhone"});
    ASSERT_TRUE(phone.bound());
    phone.setHandler([](const BusMessage& message) -> std::optional<int> {
        return message.id == 0x30006 && message.wparam == 0 ? 5 : 3;
    });
    config("AccountEnable.2=1\nAccountUserName.2=3003\n");
    FakeResponse response;
    load(response);
    ASSERT_EQ(6, response.loopSize("AccountLoop"));
    EXPECT_EQ((Texts{"1", "2", "3", "4", "5", "6"}), response.loopColumn("AccountLoop", "row"));
    EXPECT_EQ((Texts{"1", "0", "1", "0", "0", "0"}), response.loopColumn("AccountLoop", "enabled"));
    EXPECT_EQ((Texts{"1001", "", "3003", "", "", ""}), response.loopColumn("AccountLoop", "number"));
    EXPECT_EQ("pbx.test", response.loopVar("AccountLoop", 0, "host"));
    EXPECT_EQ("0.0.0.0", response.loopVar("AccountLoop", 1, "host"));
    // Reply 5 is a registered account too.
    EXPECT_EQ("Registered", response.loopVar("AccountLoop", 0, "status"));
    EXPECT_EQ("Register Failed", response.loopVar("AccountLoop", 1, "status"));
    // One question per account, in order, to the phone thread.
    std::vector<BusMessage> asked = phone.messages();
    ASSERT_EQ(6u, asked.size());
    for (unsigned int account = 0; account < 6; ++account) {
        EXPECT_EQ("send", asked[account].kind);
        EXPECT_EQ(0x30006u, asked[account].id);
        EXPECT_EQ(account, asked[account].wparam);
        EXPECT_EQ(0, asked[account].lparam);
    }
}

TEST_F(StatusPage, MissingPhoneShowsDisabledSilentPhoneUnknownAfterOneTimeOut)
{
    {
        FakeResponse response;
        load(response);
        EXPECT_EQ(Texts(6, "Disabled"), response.loopColumn("AccountLoop", "status"));
    }
    BusPeer phone({"app_vpPhone"});
    ASSERT_TRUE(phone.bound());
    phone.silence(0x30006);
    FakeResponse response;
    load(response);
    EXPECT_EQ(Texts(6, "Unknown"), response.loopColumn("AccountLoop", "status"));
    EXPECT_EQ(1u, phone.messages().size());
}

TEST_F(StatusPage, OnlyLoadIsAnAction)
{
    const char* const urls[] = {"/servlet?p=status&q=Load", "/servlet?p=status&q=write",
                                "/servlet?p=status"};
    for (const char* url : urls) {
        FakeRequest request(url);
        FakeResponse response;
        StatusServlet page;
        page.onRequest(&request, &response);
        EXPECT_EQ(404, response.status) << url;
        EXPECT_EQ(0, response.renderCount) << url;
    }
}

TEST_F(StatusPage, ShowLevelHasOnlyTheItems)
{
    FakeRequest request("/servlet?p=status&q=load");
    request.login("admin");
    FakeResponse response;
    StatusServlet page;
    page.onRequest(&request, &response);
    EXPECT_EQ("StatusVersion=1&StatusNetwork=&StatusAccountStatus=&StatusIPv4=&StatusIPv6=&"
              "StatusNetworkCommon=&StatusExttable=3",
              response.var("ShowLevel"));
    EXPECT_EQ("admin", response.var("Identity"));
    EXPECT_EQ("6", response.var("maxaccount"));
}

// ---- Expansion modules -----------------------------------------------------

struct ModuleCase {
    const char* name;
    const char* device;  // null: no device file
    const char* extNum;
    Texts names;
    Texts indexes;
};

TEST_F(StatusPage, ExpansionModules)
{
    const ModuleCase cases[] = {
        {"no device", nullptr, "0", {}, {}},
        {"no module", "# nothing attached\n", "0", {}, {}},
        {"malformed", "0 1.0\n", "0", {}, {}},
        {"two kinds: the first only", "0 h1 f1\n1 h2 f2\n", "2", {"XK51"}, {"1"}},
        {"same kind", "1 h1 f1\n1 h2 f2\n1 h3 f3\n", "3", {"XK52", "XK52", "XK52"}, {"1", "2", "3"}},
        {"third model", "5 h f\n", "1", {"XK53"}, {"1"}},
        {"headset adapter", "2 h f\n", "1", {"EHS"}, {""}},
        {"unknown kind", "9 h f\n9 h f\n", "2", {"XK", "XK"}, {"1", "2"}},
        {"stops at the change", "0 h f\n0 h f\n5 h f\n0 h f\n", "4", {"XK51", "XK51"}, {"1", "2"}},
    };
    for (const ModuleCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.device)
            root.write("/dev/exp0", c.device);
        StatusServlet page;
        TMPL_varlist* varlist = TMPL_add_var(nullptr, "x", "y", 0);
        TMPL_loop* loop = page.GetXKInfo(varlist);
        ASSERT_NE(nullptr, TMPL_get_var(varlist, "extNum"));
        EXPECT_STREQ(c.extNum, TMPL_get_var(varlist, "extNum"));
        EXPECT_EQ(c.names, LoopColumn(loop, "extName"));
        EXPECT_EQ(c.indexes, LoopColumn(loop, "index"));
        TMPL_free_loop(loop);
        TMPL_free_varlist(varlist);
    }
}

TEST_F(StatusPage, ModuleVersionsReachThePage)
{
    root.write("/dev/exp0", "0 2.0.0.1 2.1.0.5\n0 <hw> 2.1.0.6\n");
    FakeResponse response;
    load(response);
    EXPECT_EQ("2", response.var("extNum"));
    EXPECT_EQ((Texts{"2.0.0.1", "&lt;hw&gt;"}), response.loopColumn("extLoop", "hardware"));
    EXPECT_EQ((Texts{"2.1.0.5", "2.1.0.6"}), response.loopColumn("extLoop", "firmware"));
}

TEST(ExpStandIn, ParsesModuleLines)
{
    struct Case {
        const char* text;
        bool ok;
        size_t modules;
    } cases[] = {
        {"", true, 0},
        {"# comment\n\n   \n", true, 0},
        {"0 a b\n", true, 1},
        {"  1 a b\r\n5 c d", true, 2},
        {"x a b\n", false, 0},
        {"0 a\n", false, 0},
        {"0 a b c\n", false, 0},
    };
    for (const Case& c : cases) {
        std::vector<ExpModuleText> modules;
        EXPECT_EQ(c.ok, ParseExpStandIn(c.text, modules)) << c.text;
        if (c.ok) {
            EXPECT_EQ(c.modules, modules.size()) << c.text;
        }
    }
    std::string many;
    for (uint32_t i = 0; i <= kExpMaxModules; ++i)
        many += "0 h f\n";
    std::vector<ExpModuleText> modules;
    EXPECT_FALSE(ParseExpStandIn(many, modules));
}

TEST(ExpStandIn, AnswersLikeTheDriver)
{
    TestRoot root;
    root.write("/dev/exp0", "1 " + std::string(300, 'h') + " fw\n");
    ExpDevice device;
    ASSERT_TRUE(device.open("/dev/exp0"));
    ExpIoctlArg arg;
    ASSERT_EQ(0, device.request(kExpGetCount, arg));
    EXPECT_EQ(1u, arg.number);

    arg = ExpIoctlArg();
    ASSERT_EQ(0, device.request(kExpGetKind, arg));
    EXPECT_EQ(1u, arg.number);

    // Texts are cut to the driver's buffer and always terminated.
    char text[kExpTextSize];
    memset(text, 'x', sizeof text);
    arg = ExpIoctlArg();
    arg.text = text;
    arg.textFlags = kExpTextFlags;
    ASSERT_EQ(0, device.request(kExpGetHardware, arg));
    EXPECT_EQ(std::string(kExpTextSize - 1, 'h'), text);

    arg = ExpIoctlArg();
    arg.index = 1;  // no such module
    EXPECT_EQ(-1, device.request(kExpGetKind, arg));
    arg = ExpIoctlArg();
    EXPECT_EQ(-1, device.request(kExpGetFirmware, arg));  // no buffer
    EXPECT_EQ(-1, device.request(0x1234, arg));

    ExpDevice missing;
    EXPECT_FALSE(missing.open("/dev/exp1"));
    EXPECT_EQ(-1, missing.request(kExpGetCount, arg));
}

}  // namespace
