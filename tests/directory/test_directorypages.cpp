// Favorites, call history, network call log and remote directory pages.
#include <gtest/gtest.h>

#include <string>

#include "directory/ContactsBroadsoftServlet.h"
#include "directory/ContactsCallInfoServlet.h"
#include "directory/ContactsCalllogServlet.h"
#include "directory/ContactsFavoriteServlet.h"
#include "directory/ContactsRemoteServlet.h"
#include "platform/configparser.h"
#include "platform/msgids.h"
#include "tests/support/buspeer.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"
#include "tools/phonesim/simcalls.h"

namespace {

constexpr char kFavorites[] = "/config/data/favorite_setting.xml";

std::string Item(const char* id, const char* name, const char* priority, const char* enable)
{
    return std::string("<item id_name=\"") + id + "\" display_name=\"" + name + "\" priority=\"" +
           priority + "\" enable=\"" + enable + "\"/>";
}

class DirectoryPages : public ::testing::Test {
protected:
    void SetUp() override { phone.reply(kMsgAskTalking, 1); }

    template <typename Page>
    void Run(Page& page, FakeRequest& request, FakeResponse& response)
    {
        page.onRequest(&request.login("admin"), &response);
    }

    TestRoot root;
    BusPeer phone{{"app_vpPhone"}};
};

TEST_F(DirectoryPages, FavoritesKeepHiddenEntriesAndOrderByPriorityText)
{
    root.write(kFavorites, "<root_favorite_set>" + Item("ldap", "", "10", "1") +
                               Item("networkcalllog", "Net", "7", "1") + Item("history", "", "9", "1") +
                               Item("odd&lt;id&gt;", "", "", "0") + "</root_favorite_set>");
    root.write("/config/data/super_search.xml", "<root_super_search/>");
    ContactsFavoriteServlet page;
    FakeRequest load("/servlet?p=contacts-favorite&q=load");
    FakeResponse loaded;
    Run(page, load, loaded);
    // "10" sorts before "9" as text; the hidden entry is not listed.
    EXPECT_EQ(loaded.loopColumn("enabledLoop", "selValue"), (Texts{"ldap", "history"}));
    EXPECT_EQ(loaded.loopColumn("enabledLoop", "selName"), (Texts{"LDAP", "History"}));
    EXPECT_EQ(loaded.loopColumn("disabledLoop", "selName"), (Texts{"odd&lt;id&gt;"}));

    FakeRequest write("/servlet?p=contacts-favorite&q=write");
    write.setPost({{"enabled", "history"}, {"enabled", "ldap"}, {"disabled", "odd<id>"}});
    FakeResponse written;
    Run(page, write, written);
    std::string file = root.read(kFavorites);
    EXPECT_LT(file.find("id_name=\"odd&lt;id>\""), file.find("id_name=\"history\" display_name=\"History\" priority=\"1\""));
    EXPECT_LT(file.find("id_name=\"ldap\" display_name=\"LDAP\" priority=\"2\""),
              file.find("id_name=\"networkcalllog\" display_name=\"Net\" priority=\"7\" enable=\"1\""));
    // Nothing posted for the search file: it stays as it was.
    EXPECT_EQ(root.read("/config/data/super_search.xml"), "<root_super_search/>");

    configParser_SetConfigString("BSFTActive", "1");
    FakeResponse all;
    FakeRequest again("/servlet?p=contacts-favorite&q=load");
    Run(page, again, all);
    EXPECT_EQ(all.loopColumn("enabledLoop", "selValue"), (Texts{"history", "ldap", "networkcalllog"}));
}

TEST_F(DirectoryPages, CallHistoryNamesNumbersAndEscaping)
{
    root.write("/config/data/call_data.xml",
               "<calls>"
               "<item type=\"1\" local_sip_name=\"1001\" local_sip_server=\"\" remote_display_name=\"\" remote_sip_name=\"2042\" remote_sip_server=\"\"/>"
               "<item type=\"2\" local_sip_name=\"1001\" local_sip_server=\"pbx\" remote_display_name=\"&lt;script&gt;x\" remote_sip_name=\"2000\" remote_sip_server=\"pbx\" born_tick=\"0\"/>"
               "<item type=\"5\" remote_sip_name=\"9\"/><other type=\"1\"/>"
               "<item type=\"2\" remote_sip_name=\"" + std::string(200, '7') + "\" remote_sip_server=\"pbx\"/>"
               "</calls>");
    ContactsCallInfoServlet page;
    FakeRequest load("/servlet?p=contacts-callinfo&q=load");
    FakeResponse response;
    Run(page, load, response);
    EXPECT_EQ(response.loopColumn("callloop", "Number"), (Texts{"2042"}));
    EXPECT_EQ(response.loopColumn("callloop", "LocalIdentity"), (Texts{"1001@"}));
    EXPECT_EQ(response.loopColumn("receiveloop", "index"), (Texts{"1", "2"}));
    EXPECT_EQ(response.loopVar("receiveloop", 0, "Name"), "&lt;script&gt;x");
    EXPECT_EQ(response.loopVar("receiveloop", 1, "Number").size(), 127u);
    EXPECT_LE(response.loopSize("missloop"), 0);

    const struct {
        const char *directory, *display, *number, *shown;
    } names[] = {{"Anna", "Caller", "1", "Anna"}, {"", "Caller", "1", "Caller"}, {"", "", "1", "1"}};
    for (const auto& n : names)
        EXPECT_EQ(CallerName(n.directory, n.display, n.number), n.shown);
    EXPECT_EQ(CutTo127(std::string(126, 'a') + "\xC3\xA4"), std::string(126, 'a'));
}

TEST_F(DirectoryPages, CallChecksItsFieldsBeforeDialing)
{
    phone.reply(kMsgMakeCall, 1);
    configParser_SetConfigString("AURILimitIP", "127.0.0.1");
    ContactsCallInfoServlet page;
    const struct {
        const char* query;
        const char* answer;
    } cases[] = {
        {"num=2042&acc=0", "call success"}, {"num=2042", "call failed"},
        {"num=2042&acc=99", "call failed"}, {"num=&acc=0", "call failed"},
        {"num=2042&acc=-1", "call failed"},
    };
    for (const auto& c : cases) {
        FakeRequest request(std::string("/servlet?p=contacts-callinfo&q=call&") + c.query);
        FakeResponse response;
        Run(page, request, response);
        EXPECT_EQ(response.body, c.answer) << c.query;
    }
    FakeRequest stranger("/servlet?p=contacts-callinfo&q=call&num=1&acc=0");
    stranger.setRemoteAddr("192.0.2.7");
    FakeResponse refused;
    Run(page, stranger, refused);
    EXPECT_EQ(refused.body, "call failed");
    size_t calls = 0;
    for (const BusMessage& m : phone.messages())
        calls += m.id == kMsgMakeCall && m.wparam == 1100 && m.data.c_str() == std::string("2042");
    EXPECT_EQ(calls, 1u);
}

TEST_F(DirectoryPages, NetworkCallLogEntriesByPosition)
{
    root.write("/config/data/broadsoft_calllog_list.xml",
               "<r><item name=\"A\" server=\"s\" port=\"1\" user_name=\"u\" password=\"pw\"/>"
               "<item name=\"B\" server=\"t\" port=\"2\" user_name=\"v\"/></r>");
    ContactsCalllogServlet page;
    const struct {
        const char* post;
        const char* notice;
    } writes[] = {
        {"z=-1&DisplayName=x&Server=x&Port=x&UserName=x&PassWord=x", "setTimeout$contacts-calllog$Error:Item is wrong!"},
        {"z=5&DisplayName=x&Server=x&Port=x&UserName=x&PassWord=x", "setTimeout$contacts-calllog$Error:Item is wrong!"},
        {"z=0&DisplayName=x", "setTimeout$contacts-calllog$Error:Item is wrong!"},
        {"z=0&DisplayName=C&Server=s2&Port=3&UserName=w&PassWord=********", ""},
        {"z=1&DisplayName=D&Server=t&Port=2&UserName=v&PassWord=new", ""},
    };
    for (const auto& w : writes) {
        FakeRequest request(std::string("/servlet?p=contacts-calllog&q=write&") + w.post);
        FakeResponse response;
        Run(page, request, response);
        EXPECT_EQ(response.var("noticeLabel"), w.notice) << w.post;
    }
    std::string file = root.read("/config/data/broadsoft_calllog_list.xml");
    EXPECT_NE(file.find("name=\"C\" server=\"s2\" port=\"3\" user_name=\"w\" password=\"pw\""), std::string::npos);
    EXPECT_EQ(file.find("new"), std::string::npos);  // no attribute is made up
    FakeRequest load("/servlet?p=contacts-calllog&q=load&z=-3");
    FakeResponse loaded;
    Run(page, load, loaded);
    EXPECT_EQ(loaded.var("DisplayName"), "C");
    EXPECT_EQ(loaded.var("PassWord"), "********");
    EXPECT_EQ(loaded.var("var_calllogAccount"), "0");
}

TEST_F(DirectoryPages, BroadsoftCustomListsAndMessages)
{
    configParser_SetConfigString("BsftCustom", "1");
    configParser_SetConfigString("BsftCustomListStatus", "3");
    configParser_SetConfigString("BsftCustomListAll", "a,b,c");
    configParser_SetConfigString("BsftCustomListUse", "b");
    ContactsBroadsoftServlet page;
    FakeRequest load("/servlet?p=contacts-broadsoft&q=load");
    FakeResponse loaded;
    Run(page, load, loaded);
    EXPECT_EQ(loaded.loopColumn("CustomLoop", "checked"), (Texts{"0", "1", "0"}));
    EXPECT_EQ(loaded.var("customcount"), "3");
    EXPECT_EQ(loaded.var("bNeedtoAskStatus"), "false");

    const struct {
        const char* post;
        unsigned int message;
    } writes[] = {{"NetworkDirectoryGroupDisplayname=Team", 49}, {"AccountBroadsoftXSIHostAddr=x", 54},
                  {"AccountBroadsoftXSIPassword=********", 55}, {"z=yes&activeCustomList=a,c,", 55}};
    for (const auto& w : writes) {
        phone.clear();
        FakeRequest request(std::string("/servlet?p=contacts-broadsoft&q=write&") + w.post);
        FakeResponse response;
        Run(page, request, response);
        ASSERT_TRUE(phone.waitForCount(2)) << w.post;
        EXPECT_EQ(phone.messages().back().wparam, w.message) << w.post;
    }
    EXPECT_EQ(configParser_GetConfigString("BsftCustomListUse"), "a,c");
    configParser_SetConfigString("BsftCustomListStatus", "4");
    configParser_SetConfigString("BsftCustomListFailReason", "no route");
    FakeRequest ask("/servlet?p=contacts-broadsoft&q=askstatus");
    FakeResponse answer;
    Run(page, ask, answer);
    EXPECT_EQ(answer.body, "4,no route");
}

TEST_F(DirectoryPages, RemoteBooksOnlyTheFirstFive)
{
    std::string items;
    for (int i = 0; i < 7; ++i)
        items += "<item name=\"n" + std::to_string(i) + "\" url=\"u\"/>";
    root.write("/config/data/remote_phonebook_list.xml", "<r>" + items + "</r>");
    ContactsRemoteServlet page;
    FakeRequest write("/servlet?p=contacts-remote&q=write&RemotePhoneBook4Name=four&RemotePhoneBook4URL=u"
                      "&RemotePhoneBook5Name=five&RemotePhoneBook5URL=u");
    FakeResponse written;
    Run(page, write, written);
    std::string file = root.read("/config/data/remote_phonebook_list.xml");
    EXPECT_NE(file.find("four"), std::string::npos);
    EXPECT_EQ(file.find("five"), std::string::npos);
}

TEST(PhonesimCalls, MakeCallLandsInTheHistory)
{
    TestRoot root;
    configParser_SetConfigString("AccountUserName.1", "1002");
    BusMessage call;
    call.id = kMsgMakeCall;
    call.wparam = 1101;
    call.data = std::string("2042@pbx", 9);
    EXPECT_TRUE(phonesim::RecordCall(call, 1234));
    EXPECT_NE(root.read("/config/data/call_data.xml")
                  .find("type=\"1\" local_sip_name=\"1002\" local_sip_server=\"\" remote_display_name=\"\" "
                        "remote_sip_name=\"2042\" remote_sip_server=\"pbx\" born_tick=\"1234\""),
              std::string::npos);
    call.id = kMsgHangUp;
    EXPECT_FALSE(phonesim::RecordCall(call, 1));
}

}  // namespace
