// Field rules, access levels and the page write, through a small page.
#include "frame/fieldrules.h"

#include <gtest/gtest.h>
#include <fstream>
#include <set>
#include <string>

#include "frame/frame.h"
#include "platform/registry.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

namespace {

#define EXPECT_RULE(field, value, ok) \
    EXPECT_EQ(CheckFieldValue(field, value) == nullptr, ok) << field << " = " << value

TEST(FieldRules, Values)
{
    EXPECT_RULE("AccountSIPListenPort", "5060", true);
    EXPECT_RULE("AccountSIPListenPort", "0", false);
    EXPECT_RULE("AccountSIPListenPort", "65536", false);
    EXPECT_RULE("AccountSIPListenPort", "50x", false);
    EXPECT_RULE("AccountSIPListenPort", "", false);
    EXPECT_RULE("AccountOutboundPort", "", true);
    EXPECT_RULE("AccountExpire", "29", false);
    EXPECT_RULE("AccountExpire", "2147483647", true);
    EXPECT_RULE("AccountExpire", "99999999999999999999999", false);
    EXPECT_RULE("AccountExpire", "-", false);
    EXPECT_RULE("AccountStunServerHost", "stun.example-1.org", true);
    EXPECT_RULE("AccountStunServerHost", "10.0.0.1", true);
    EXPECT_RULE("AccountStunServerHost", "fe80::1", true);
    EXPECT_RULE("AccountStunServerHost", "-bad.org", false);
    EXPECT_RULE("AccountStunServerHost", "a..b", false);
    EXPECT_RULE("AccountStunServerHost", "x y", false);
    EXPECT_RULE("AccountStunServerHost", std::string(254, 'a').c_str(), false);
    EXPECT_RULE("AccountTransport", "3", true);
    EXPECT_RULE("AccountTransport", "4", false);
    EXPECT_RULE("AccountEnable", "01", false);
    // Without a rule: any text up to 1023 characters, no control characters.
    EXPECT_RULE("AnyField", std::string(1023, 'x').c_str(), true);
    EXPECT_RULE("AnyField", std::string(1024, 'x').c_str(), false);
    EXPECT_RULE("AnyField", "a\nb", false);
    EXPECT_RULE("AnyField", "tab\there", false);
    EXPECT_RULE("AnyField", "Grüße", true);
}

// A factory value its own rule refuses would make every unchanged save of
// its page fail.
TEST(FieldRules, FactoryDefaultsPassTheirRules)
{
    std::ifstream factory(PHONEWEB_SOURCE_DIR "/factory/config.cfg");
    ASSERT_TRUE(factory.good());
    std::string line;
    std::set<std::string> seen;
    while (std::getline(factory, line)) {
        size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos)
            continue;
        std::string name = line.substr(0, equals);
        // A second default of the same field would silently lose to the first.
        EXPECT_TRUE(seen.insert(name).second) << name << " is defined twice";
        size_t dot = name.find('.');
        EXPECT_RULE(name.substr(0, dot).c_str(), line.substr(equals + 1).c_str(), true);
    }
}

TEST(FieldRules, LevelsByRank)
{
    const struct {
        const char* level;
        int rank;
        FieldAccess access;
    } kCases[] = {
        {"", 1, FieldAccess::Change},   {"0", 3, FieldAccess::Hidden},
        {"3", 2, FieldAccess::Hidden},  {"3", 3, FieldAccess::Change},
        {"1:3", 1, FieldAccess::ReadOnly}, {"1:3", 3, FieldAccess::Change},
        {"x", 3, FieldAccess::Hidden},  {"2:", 3, FieldAccess::Hidden},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(LevelAccess(c.level, c.rank), c.access) << c.level << " " << c.rank;
    EXPECT_EQ(IdentityRank(""), 1);
}

// A page with one field of each kind, written as the pages do.
class RulesPage : public HttpServlet {
public:
    void init() override {}
    void destory() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override
    {
        static const PageAction<RulesPage> kActions[] = {{"load", &RulesPage::load},
                                                         {"write", &RulesPage::write}};
        return DispatchPageAction(this, request, response, kActions);
    }
    int load(HttpRequest* request, HttpResponse* response)
    {
        static const char* const kFields[] = {"AccountMinRTPPort", "AccountMaxRTPPort", "AccountLabel"};
        TMPL_varlist* varlist = readConfigOperate(FILETYPE_ACCOUNT, kFields, 3, nullptr, 0);
        RenderPage(response, "x.htm", AddShowLevel(varlist, request, nullptr, 0, nullptr, 0));
        return 1;
    }
    int write(HttpRequest* request, HttpResponse* response)
    {
        static const char* const kFields[] = {"AccountMinRTPPort", "AccountMaxRTPPort", "AccountLabel",
                                              "AccountProxyRequire"};
        PageWrite write(request, "account-adv", 0);
        write.add(FILETYPE_ACCOUNT, kFields, 4);
        TMPL_loop* offered = TMPL_add_varlist(nullptr, TMPL_add_var(nullptr, "selValue", "Common", 0));
        write.addOffered(FILETYPE_ACCOUNT, "AccountRing", offered);
        if (!write.save())
            return write.reshow(response, this, &RulesPage::load);
        changed = write.changed("AccountLabel");
        write.done(response);
        return 1;
    }
    bool changed = false;
};

struct WriteCase {
    const char* min;
    const char* max;
    const char* ring;
    bool saved;
};

TEST(PageWriteTest, RefusedValuesStoreNothingAndComeBackTyped)
{
    const WriteCase kCases[] = {
        {"10000", "20000", "Common", true},
        {"20000", "10000", "Common", false},  // min above max
        {"0", "20000", "Common", false},
        {"10000", "20000", "../../etc/passwd", false},
    };
    for (const WriteCase& c : kCases) {
        TestRoot root;
        RulesPage page;
        FakeRequest request("/servlet?p=account-adv&q=write");
        request.login("admin");
        request.setPost({{"AccountMinRTPPort", c.min}, {"AccountMaxRTPPort", c.max},
                         {"AccountLabel", "<typed>"}, {"AccountRing", c.ring}});
        FakeResponse response;
        page.onRequest(&request, &response);
        EXPECT_EQ(GetConfigValue(FILETYPE_ACCOUNT, "AccountLabel", 0), c.saved ? "<typed>" : "") << c.min;
        EXPECT_EQ(response.status, c.saved ? 0 : 400);
        EXPECT_EQ(response.redirect.empty(), !c.saved);
        if (c.saved) {
            EXPECT_TRUE(page.changed);
            FakeRequest reload("/servlet?p=account-adv&q=load");
            reload.session().attributes = request.session().attributes;
            FakeResponse shown;
            page.onRequest(&reload, &shown);
            EXPECT_EQ(shown.var("saved"), "1");
            EXPECT_EQ(shown.header("Cache-Control"), "no-store");
            continue;
        }
        EXPECT_EQ(response.var("AccountMinRTPPort"), c.min);
        EXPECT_EQ(response.var("AccountLabel"), "&lt;typed&gt;");
        EXPECT_EQ(response.var("AccountMinRTPPort_limits"),
                  "type=\"number\" step=\"1\" min=\"1\" max=\"65535\" required");
        EXPECT_EQ(response.loopSize("fieldErrors"), 1);
        EXPECT_FALSE(response.hasVar("saved"));
    }
}

TEST(PageWriteTest, UserCannotChangeWhatItsLevelHidesOrMakesReadOnly)
{
    TestRoot root;
    configParser_SetConfigString("AdvVoiceEncryption", "3");  // RTP ports: admin only
    configParser_SetConfigString("AccountBasicProxyRequire", "1:3");
    for (const char* identity : {"user", "admin"}) {
        RulesPage page;
        FakeRequest request("/servlet?p=account-adv&q=write");
        request.login(identity);
        request.setPost({{"AccountMinRTPPort", "10000"}, {"AccountProxyRequire", "x"},
                         {"AccountLabel", identity}});
        FakeResponse response;
        LogCapture log;
        page.onRequest(&request, &response);
        bool admin = std::string(identity) == "admin";
        EXPECT_EQ(GetConfigValue(FILETYPE_ACCOUNT, "AccountMinRTPPort", 0), admin ? "10000" : "");
        EXPECT_EQ(GetConfigValue(FILETYPE_ACCOUNT, "AccountProxyRequire", 0), admin ? "x" : "");
        EXPECT_EQ(GetConfigValue(FILETYPE_ACCOUNT, "AccountLabel", 0), identity);
        EXPECT_EQ(log.contains("may not change AccountMinRTPPort"), !admin);
        // The bridge's own list write holds to the same levels.
        static const char* const kOne[] = {"AccountProxyRequire"};
        request.setParam("AccountProxyRequire", "y");
        writeConfigOperate(FILETYPE_ACCOUNT, kOne, 1, &request, 0);
        EXPECT_EQ(GetConfigValue(FILETYPE_ACCOUNT, "AccountProxyRequire", 0), admin ? "y" : "");
    }
    // A page above the identity's level refuses the whole write.
    configParser_SetConfigString("account-adv", "3");
    RulesPage page;
    FakeRequest request("/servlet?p=account-adv&q=write");
    request.login("user");
    request.setPost({{"AccountLabel", "z"}});
    FakeResponse response;
    page.onRequest(&request, &response);
    EXPECT_EQ(response.status, 403);
    EXPECT_EQ(GetConfigValue(FILETYPE_ACCOUNT, "AccountLabel", 0), "admin");
}

TEST(PageWriteTest, BridgeAndIniStoresRefuseLineBreaksAndOverlongValues)
{
    TestRoot root;
    for (const std::string& bad : {std::string("a\nb"), std::string(1 << 20, 'x')}) {
        EXPECT_EQ(writeConfigOperate(FILETYPE_GLOBAL, "AnyField", bad.c_str(), 0), -1);
        _HREGISTRY_* ini = registryOpen("/config/user/voip/sipAccount0.cfg", "account");
        EXPECT_FALSE(RegSetString(ini, "label", bad.c_str(), false));
    }
    EXPECT_FALSE(root.exists("/config/system/config.cfg"));
}

TEST(PageMenu, OffersOnlyPagesThatExist)
{
    TestRoot root;
    FakeRequest request("/servlet?p=status&q=load");
    FakeResponse response;
    RenderPage(&response, "x.htm", AddShowLevel(nullptr, &request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(response.var("menu_account"), "/servlet?p=account-register&amp;q=load&amp;acc=0");
    EXPECT_EQ(response.var("have_security"), "1");
    EXPECT_EQ(response.hasVar("have_contacts-LDAP"), PageExists("contacts-LDAP"));
    EXPECT_FALSE(PageExists("no-such-page"));
}

}  // namespace
