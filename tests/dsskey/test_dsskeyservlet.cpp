// The page "dsskey" through the host fakes: which key set a request
// reaches, refused pages and modules, the type-change answer and the reset.
#include "dsskey/DssKeyServlet.h"
#include "tests/dsskey/dsskeytest.h"
#include "platform/tmpl.h"
#include "tests/support/fakes.h"

namespace {

class DsskeyPage : public DsskeyTest {
public:
    DsskeyPage() { page.init(); }
    FakeResponse& Get(const std::string& query)
    {
        FakeRequest request("/servlet?p=dsskey&" + query);
        request.login("admin");
        response = std::make_unique<FakeResponse>();
        page.onRequest(&request, response.get());
        return *response;
    }
    FakeResponse& Post(const std::string& query, std::initializer_list<std::pair<std::string, std::string>> form)
    {
        FakeRequest request("/servlet?p=dsskey&" + query);
        request.login("admin").setPost(form);
        response = std::make_unique<FakeResponse>();
        page.onRequest(&request, response.get());
        return *response;
    }

    FakeResponse& As(const char* identity, const std::string& query,
                     std::initializer_list<std::pair<std::string, std::string>> form = {})
    {
        FakeRequest request("/servlet?p=dsskey&" + query);
        request.login(identity).setPost(form);
        response = std::make_unique<FakeResponse>();
        page.onRequest(&request, response.get());
        return *response;
    }

    DssKeyServlet page;
    std::unique_ptr<FakeResponse> response;
};

std::string Template(const FakeResponse& r)
{
    return r.rendered.substr(r.rendered.rfind('/') + 1);
}

TEST_F(DsskeyPage, RequestReachesItsKeySet)
{
    struct Case { const char* phoneType; const char* query; int status; const char* shown; };
    const Case kCases[] = {
        {"46", "q=load&model=1", 0, "dsskey-linekey.htm"},  {"46", "q=load", 0, "dsskey-linekey.htm"},
        {"46", "q=load&model=abc", 0, "dsskey-linekey.htm"}, {"46", "q=load&model=0", 404, ""},
        {"26", "q=load", 404, ""},                          {"19", "q=load&model=1", 0, "dsskey-programkey.htm"},
        {"46", "q=load&model=3&extno=2", 0, "dsskey-ext.htm"}, {"46", "q=load&model=7", 404, ""},
        {"46", "q=load&model=1&linepage=4", 404, ""},        {"46", "q=load&model=1&linepage=0", 404, ""},
        {"46", "q=load&model=1&linepage=1x", 404, ""},       {"46", "q=load&model=3&extno=../1", 404, ""},
        {"46", "q=load&model=3&extno=-1", 404, ""},          {"46", "q=Load&model=1", 404, ""},
    };
    for (const Case& c : kCases) {
        root.write("/config/system/phonetype", c.phoneType);
        FakeResponse& r = Get(c.query);
        EXPECT_EQ(r.status, c.status) << c.query;
        EXPECT_EQ(Template(r), c.shown) << c.query;
    }
}

TEST_F(DsskeyPage, LinePageShowsItsKeys)
{
    Set("BSFTActive", "1");
    root.write("/tmp/tmpBLFListValues", "");
    FakeResponse& r = Get("q=load&model=1&linepage=2");
    EXPECT_EQ(r.loopColumn("TRLoop", "row"), (Texts{"10", "11", "12", "13", "14", "15", "16", "17", "18"}));
    EXPECT_EQ(r.var("linepage"), "2");
    EXPECT_EQ(r.loopSize("TypeLoop"), 41);
    EXPECT_FALSE(root.exists("/tmp/tmpBLFListValues"));
    EXPECT_EQ(phone.messages().front().id, kMsgKeyStatusList);
    FakeResponse& first = Get("q=load&model=1");
    EXPECT_EQ(first.loopVar("TRLoop", 0, "selType"), "15");
    EXPECT_EQ(first.loopVar("TRLoop", 0, "withvaluelist"), "true");
    EXPECT_EQ(first.loopVar("TRLoop", 1, "valueEnable"), "true");
    FakeResponse& ext = Get("q=load&model=3&extno=2");
    EXPECT_EQ(ext.loopColumn("extLoop", "selected"), (Texts{"0", "1"}));
    EXPECT_EQ(ext.loopSize("TRLoop"), 38);
    EXPECT_EQ(ext.loopVar("TRLoop", 19, "middle"), "true");
}

TEST_F(DsskeyPage, WriteStoresOnlyKeysOfItsPage)
{
    FakeResponse& refused = Post("q=write", {{"model", "1"}, {"selType_1", "13"}, {"memValue_1", "9"}});
    EXPECT_EQ(refused.redirect, "");
    EXPECT_EQ(Xml("linekey.xml", 1, "type"), "15");
    for (const char* page : {"4", "0", "-2", "1 ", ""}) {
        Post("q=write", {{"model", "1"}, {"linepage", page}, {"selType_1", "13"}});
        EXPECT_EQ(Xml("linekey.xml", 1, "type"), "15") << page;
    }
    Post("q=write", {{"model", "3"}, {"extno", "0"}, {"selType_0", "13"}});
    EXPECT_FALSE(root.exists("/config/data/expkey-1.xml"));

    EXPECT_EQ(Post("q=write", {{"model", "1"}, {"linepage", "2"}, {"DsskeyLength", "<b>"}, {"selType_10", "13"}})
                  .status, 400);
    EXPECT_EQ(Xml("linekey.xml", 10, "type"), "0");
    for (const std::string& label : {std::string("a\nb"), std::string(100, 'x')})
        EXPECT_EQ(Post("q=write", {{"model", "1"}, {"linepage", "2"}, {"selType_10", "13"}, {"memLabel_10", label}})
                      .status, 400);
    EXPECT_EQ(Xml("linekey.xml", 10, "type"), "0");
    phone.clear();
    FakeResponse& r = Post("q=write", {{"model", "1"}, {"linepage", "2"}, {"EnablePageTips", "1"},
                                       {"DsskeyLength", "0"}, {"selType_10", "13"},
                                       {"memValue_10", "55"}, {"selLine_10", "1"}, {"selType_1", "13"},
                                       {"selType_11", "49"}, {"selType_30", "13"}});
    EXPECT_EQ(r.redirect, "/servlet?p=dsskey&model=1&q=load&linepage=2");
    EXPECT_EQ(Xml("linekey.xml", 10, "type") + Xml("linekey.xml", 10, "value"), "1355");
    EXPECT_EQ(Xml("linekey.xml", 1, "type"), "15");
    EXPECT_EQ(Xml("linekey.xml", 11, "type"), "0");
    EXPECT_EQ(Xml("linekey.xml", 30, "type"), "");
    EXPECT_EQ(configParser_GetConfigString("EnablePageTips"), "1");
    ASSERT_TRUE(phone.waitForCount(4));  // talking question, 91, then the keys' 10 and 2
    EXPECT_EQ(phone.messages()[1].wparam, 91u);
}

TEST_F(DsskeyPage, TypeChangedAnswer)
{
    root.write("/config/system/phonetype", "20");
    Dsskey_M7X_Model model;
    ZRList<DssKey> keys;
    keys.push_back(Posted(3, 13, "", "0"));
    ASSERT_TRUE(model.SetDsskeyList(DSSK_LINE, &keys, 1, false));
    FakeResponse& r = Get("q=typeChanged&model=1&keyindex=3&dktype=15");
    EXPECT_EQ(r.contentType, "text/json");
    EXPECT_EQ(r.body, "{controller:{keyindex:3,dktype:15,bValue:1,bLine:1,bLabel:0,bExt:0},"
                      "attrvalue:{strvalue:\"\",strline:\"0\",strlabel:\"\",strext:\"\"},"
                      "valuelist:{keys:[\"0\",\"1\",\"2\"],values:[\"default\",\"float\",\"lock\"]},"
                      "linelist:{keys:[\"0\",\"1\"],values:[\"Line 1\",\"Line 2\"]}}");

    root.write("/config/system/phonetype", "46");
    keys.clear();
    keys.push_back(Posted(4, 13, "50%\"</script>", "0\"x", "a\\\"b\n%"));
    ASSERT_TRUE(Dsskey_M7X_Model().SetDsskeyList(DSSK_LINE, &keys, 1, false));
    std::string body = Get("q=typeChanged&model=1&keyindex=4&dktype=13").body;
    EXPECT_NE(body.find("strvalue:\"50%%\\\"\\u003c/script\\u003e\",strline:\"0\\\"x\""), std::string::npos) << body;
    EXPECT_NE(body.find("strlabel:\"a\\\\\\\"b\\u000a%%\""), std::string::npos) << body;

    root.write("/config/data/remote_phonebook_list.xml", "<list><item name='Sales\"}]'/></list>");
    body = Get("q=typeChanged&model=1&keyindex=4&dktype=22").body;
    EXPECT_NE(body.find("values:[\"Sales\\\"}]\"]"), std::string::npos) << body;

    for (const char* query : {"keyindex=28&model=1&dktype=13", "keyindex=11&model=2&dktype=13",
                              "keyindex=38&model=3&extno=1&dktype=13", "keyindex=0&model=3&extno=3&dktype=13",
                              "keyindex=1&model=1&dktype=49", "keyindex=1&model=1", "keyindex=1&dktype=13"})
        EXPECT_EQ(Get(std::string("q=typeChanged&") + query).body, "") << query;
}

TEST_F(DsskeyPage, MeetMePinNeverReachesTheBrowser)
{
    Post("q=write", {{"model", "1"}, {"linepage", "1"}, {"selType_5", "55"}, {"memValue_5", "3000"},
                     {"selLine_5", "0"}, {"memExt_5", "4321"}});
    EXPECT_EQ(Xml("linekey.xml", 5, "pickup_value"), "4321");
    EXPECT_EQ(Get("q=load&model=1").loopVar("TRLoop", 4, "memExt"), "********");
    for (const char* type : {"55", "16"})
        EXPECT_NE(Get(std::string("q=typeChanged&model=1&keyindex=5&dktype=") + type).body.find("strext:\"********\""),
                  std::string::npos) << type;
}

TEST_F(DsskeyPage, ResetRestoresProgrammableKeys)
{
    Post("q=write", {{"model", "2"}, {"selType_1", "0"}});
    EXPECT_EQ(Xml("programkey.xml", 1, "type"), "0");
    EXPECT_EQ(Post("q=reset", {{"model", "1"}}).var("noticeLabel"), "setTimeout$dsskey$Error: Write dsskey config error!");
    phone.clear();
    EXPECT_EQ(Post("q=reset", {{"model", "2"}}).redirect, "/servlet?p=dsskey&model=2&q=load");
    EXPECT_EQ(Xml("programkey.xml", 1, "type"), "28");
    ASSERT_TRUE(phone.waitForCount(2));  // the talking question, then the broadcast
    EXPECT_EQ(phone.messages().back().wparam, 31u);
    root.write("/config/data/programkey.xml", "kept");
    std::remove(root.real("/phone/factory/data/programkey.xml").c_str());
    EXPECT_NE(Post("q=reset", {{"model", "2"}}).var("noticeLabel"), "");
    EXPECT_EQ(root.read("/config/data/programkey.xml"), "kept");
}

// The key set's tab and level item decide who may see and change it.
TEST_F(DsskeyPage, AccessLevelsOfTheKeySets)
{
    Set("dsskey-programkey", "1:3");
    Set("DSSKeyExtKey", "3");
    EXPECT_NE(As("user", "q=reset", {{"model", "2"}}).var("noticeLabel").find("jurisdiction"), std::string::npos);
    As("user", "q=write", {{"model", "2"}, {"selType_1", "0"}});
    EXPECT_EQ(Xml("programkey.xml", 1, "type"), "28");
    EXPECT_EQ(As("user", "q=load&model=2").status, 0);
    EXPECT_EQ(As("user", "q=load&model=3&extno=1").status, 403);
    EXPECT_EQ(As("user", "q=typeChanged&model=3&extno=1&keyindex=0&dktype=13").body, "");
    EXPECT_EQ(As("admin", "q=write", {{"model", "2"}, {"selType_1", "0"}}).redirect, "/servlet?p=dsskey&model=2&q=load");
}

// Every template renders and carries the fields the write reads back.
TEST_F(DsskeyPage, TemplatesPostTheFieldsTheWriteReads)
{
    struct Case { const char* query; const char* file; int key; };
    const Case kCases[] = {{"model=1&linepage=2", "dsskey-linekey.htm", 10}, {"model=2", "dsskey-programkey.htm", 14},
                           {"model=3&extno=1", "dsskey-ext.htm", 0}, {"model=1", "dsskey-memorykey.htm", 1}};
    for (const Case& c : kCases) {
        std::string out;
        EXPECT_TRUE(TMPL_render_file(std::string(PHONEWEB_SOURCE_DIR) + "/www/WEB-INFO/template/" + c.file,
                                     Get(std::string("q=load&") + c.query).varlist(), out)) << out;
        for (const char* field : {"selType_", "memValue_", "selLine_", "memLabel_", "memExt_"})
            EXPECT_NE(out.find(std::string("name=\"") + field + std::to_string(c.key) + "\""), std::string::npos)
                << c.file << " " << field;
        EXPECT_NE(out.find("</html>"), std::string::npos) << c.file;
    }
}

}  // namespace
