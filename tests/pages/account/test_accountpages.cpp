// The registration, basic and advanced account pages driven through the host
// fakes, with a scripted phone on the bus.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "frame/configbridge.h"
#include "pages/account/AccountAdvServlet.h"
#include "pages/account/AccountBasicServlet.h"
#include "pages/account/AccountRegisterLyncServlet.h"
#include "pages/account/AccountRegisterServlet.h"
#include "platform/configparser.h"
#include "platform/registry.h"
#include "tests/support/buspeer.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

namespace {

constexpr unsigned int kConfigChanged = 0x10007;
constexpr unsigned int kAccountStatus = 0x30006;
constexpr unsigned int kAskTalking = 0x30007;

std::string Stored(const char* field, int account)
{
    return GetConfigValue(FILETYPE_ACCOUNT, field, account);
}

void Store(const char* field, int account, const std::string& value)
{
    configParser_SetConfigString(configParser_GetAccountConfigName(field, account).c_str(),
                                 value.c_str());
}

// A phone root with six accounts (the default phone type) and a phone
// process that is not in a call.
class AccountPage : public ::testing::Test {
protected:
    AccountPage() : phone({"app_vpPhone"})
    {
        phone.reply(kAskTalking, 1);
    }

    // Messages other than the talking question, in order.
    std::vector<BusMessage> changes() const
    {
        std::vector<BusMessage> out;
        for (const BusMessage& m : phone.messages())
            if (m.id != kAskTalking && m.id != kAccountStatus)
                out.push_back(m);
        return out;
    }

    TestRoot root;
    BusPeer phone;
};

// ---- Account index of every page ---------------------------------------------

struct PageCase {
    const char* page;
    std::function<HttpServlet*()> create;
};

std::vector<PageCase> AllPages()
{
    return {{"account-register", createAccountRegisterServlet},
            {"account-basic", createAccountBasicServlet},
            {"account-adv", createAccountAdvServlet}};
}

TEST_F(AccountPage, LoadWithABadAccountAnswersNoSuchAccount)
{
    for (const PageCase& page : AllPages()) {
        std::unique_ptr<HttpServlet> servlet(page.create());
        for (const char* acc : {"-1", "6", "../x", "1abc", "", "99999999999"}) {
            FakeRequest request(std::string("/servlet?p=") + page.page + "&q=load");
            request.setParam("acc", acc);
            FakeResponse response;
            LogCapture log;
            EXPECT_EQ(servlet->onRequest(&request, &response), 0) << page.page << " " << acc;
            EXPECT_EQ(response.body, "no such account!") << page.page << " " << acc;
            EXPECT_EQ(response.renderCount, 0) << page.page << " " << acc;
            EXPECT_TRUE(log.contains("get accountID is illegal"));
        }
        FakeRequest request(std::string("/servlet?p=") + page.page + "&q=load");
        FakeResponse response;
        LogCapture log;
        EXPECT_EQ(servlet->onRequest(&request, &response), 0);
        EXPECT_FALSE(response.answered()) << page.page;
        EXPECT_TRUE(log.contains("get accountID is null")) << page.page;

        // Actions differing in case are not found.
        FakeRequest other(std::string("/servlet?p=") + page.page + "&q=Load&acc=0");
        FakeResponse notFound;
        servlet->onRequest(&other, &notFound);
        EXPECT_EQ(notFound.status, 404) << page.page;
    }
}

TEST_F(AccountPage, WriteWithABadAccountStoresNothingAnywhere)
{
    for (const PageCase& page : AllPages()) {
        std::unique_ptr<HttpServlet> servlet(page.create());
        for (const char* acc : {"-1", "6", "../x", "../../config/system/x", "0/../1", "1 "}) {
            FakeRequest request(std::string("/servlet?p=") + page.page + "&q=write");
            request.setPost({{"var_accountID", acc},
                             {"AccountLabel", "Changed"},
                             {"server1", "evil.example"},
                             {"AccountOutboundProxy", "evil.example"},
                             {"AccountProxyRequire", "x"},
                             {"AccountExpire", "1"}});
            FakeResponse response;
            EXPECT_EQ(servlet->onRequest(&request, &response), 0) << page.page << " " << acc;
            EXPECT_TRUE(response.redirect.empty());
        }
    }
    EXPECT_FALSE(root.exists("/config/system/config.cfg"));
    EXPECT_FALSE(root.exists("/config/user/voip"));
    EXPECT_FALSE(root.exists("/config/user/x.cfg"));
    EXPECT_TRUE(changes().empty());
}

TEST_F(AccountPage, WriteDuringACallChangesNothing)
{
    phone.reply(kAskTalking, 0);
    for (const PageCase& page : AllPages()) {
        std::unique_ptr<HttpServlet> servlet(page.create());
        FakeRequest request(std::string("/servlet?p=") + page.page + "&q=write");
        request.setPost({{"var_accountID", "0"}, {"AccountLabel", "x"}, {"AccountExpire", "1"}});
        FakeResponse response;
        EXPECT_EQ(servlet->onRequest(&request, &response), 1);
        EXPECT_EQ(response.var("noticeLabel"), "setTimeout$notice$Talking, Please wait...");
    }
    EXPECT_FALSE(root.exists("/config/system/config.cfg"));
    EXPECT_TRUE(changes().empty());
}

TEST_F(AccountPage, AFailedStoreIsNotReportedAsSuccess)
{
    configParser_FailNextWrites(-1);
    for (const PageCase& page : AllPages()) {
        std::unique_ptr<HttpServlet> servlet(page.create());
        FakeRequest request(std::string("/servlet?p=") + page.page + "&q=write");
        request.setPost({{"var_accountID", "1"}, {"AccountLabel", "x"}, {"AccountRing", "Common"},
                         {"AccountExpire", "3600"}});
        FakeResponse response;
        LogCapture log;
        EXPECT_EQ(servlet->onRequest(&request, &response), 1);
        EXPECT_TRUE(response.redirect.empty()) << page.page;
        EXPECT_EQ(response.var("noticeLabel"),
                  std::string("setTimeout$") + page.page + "$Error:The settings could not be saved!");
    }
    configParser_FailNextWrites(0);

    // The account file alone failing counts too.
    registryFailNextWrites(-1);
    AccountRegisterServlet servlet;
    FakeRequest request("/servlet?p=account-register&q=write");
    request.setPost({{"var_accountID", "1"}, {"server1", "sip.example"}});
    FakeResponse response;
    EXPECT_EQ(servlet.onRequest(&request, &response), 1);
    EXPECT_TRUE(response.redirect.empty());
    EXPECT_NE(response.var("noticeLabel").find("could not be saved"), std::string::npos);
    registryFailNextWrites(0);
}

// ---- Registration --------------------------------------------------------------

TEST_F(AccountPage, RegisterLoadShowsFieldsServersAndState)
{
    phone.reply(kAccountStatus, 2);
    Store("AccountLabel", 1, "<Desk & Co>");
    Store("AccountSIPServerHost", 1, "configured.example");
    root.write("/config/user/voip/sipAccount1.cfg",
               "[sipserver1]\nserver=one.example\nport=5070\ntransport=2\n"
               "[sipserver2]\nserver=two.example\nRetryCounts=7\n"
               "[outboundProxy1]\nserver=proxy.example\n");
    AccountRegisterServlet servlet;
    FakeRequest request("/servlet?p=account-register&q=load&acc=1");
    request.login("admin");
    FakeResponse response;
    ASSERT_EQ(servlet.onRequest(&request, &response), 1);
    EXPECT_EQ(response.rendered, "/phone/www/WEB-INFO/template/account-register.htm");
    EXPECT_EQ(response.var("AccountLabel"), "&lt;Desk &amp; Co&gt;");
    EXPECT_EQ(response.var("AccountStatus"), "Registered");
    EXPECT_EQ(response.var("server1"), "one.example");
    EXPECT_EQ(response.var("port1"), "5070");
    EXPECT_EQ(response.var("expires1"), "3600");
    EXPECT_EQ(response.var("AccountTransport"), "2");
    EXPECT_EQ(response.var("RetryCounts1"), "3");
    EXPECT_EQ(response.var("server2"), "two.example");
    EXPECT_EQ(response.var("port2"), "5060");
    EXPECT_EQ(response.var("RetryCounts2"), "7");
    EXPECT_EQ(response.var("AccountOutboundProxy"), "proxy.example");
    EXPECT_EQ(response.var("var_accountID"), "1");
    EXPECT_EQ(response.loopColumn("accountLoop", "selected"),
              (Texts{"0", "1", "0", "0", "0", "0"}));
    EXPECT_EQ(response.var("ShowLevel").rfind("account-register=", 0), 0u);
    EXPECT_FALSE(response.hasVar("AccountPassword"));
    ASSERT_FALSE(phone.messages().empty());
    EXPECT_EQ(phone.messages()[0].id, kAccountStatus);
    EXPECT_EQ(phone.messages()[0].wparam, 1u);
}

TEST_F(AccountPage, RegisterLoadFallsBackToTheConfiguredServer)
{
    Store("AccountSIPServerHost", 0, "pbx.example");
    Store("AccountSIPServerPort", 0, "5062");
    Store("AccountTransport", 0, "1");
    Store("AccountExpire", 0, "600");
    Store("AccountOutboundProxy", 0, "out.example");
    root.write("/config/user/voip/sipAccount0.cfg", "[sipserver1]\nRetryCounts=5\n");
    AccountRegisterServlet servlet;
    FakeRequest request("/servlet?p=account-register&q=load&acc=0");
    FakeResponse response;
    ASSERT_EQ(servlet.onRequest(&request, &response), 1);
    EXPECT_EQ(response.var("server1"), "pbx.example");
    EXPECT_EQ(response.var("port1"), "5062");
    EXPECT_EQ(response.var("AccountTransport"), "1");
    EXPECT_EQ(response.var("expires1"), "600");
    EXPECT_EQ(response.var("RetryCounts1"), "5");
    EXPECT_EQ(response.var("server2"), "");
    EXPECT_EQ(response.var("AccountOutboundProxy"), "out.example");

    // With a server in the file the file wins.
    root.write("/config/user/voip/sipAccount2.cfg", "[sipserver2]\nserver=second.example\n");
    Store("AccountSIPServerHost", 2, "pbx.example");
    FakeRequest second("/servlet?p=account-register&q=load&acc=2");
    FakeResponse secondResponse;
    ASSERT_EQ(servlet.onRequest(&second, &secondResponse), 1);
    EXPECT_EQ(secondResponse.var("server1"), "");
    EXPECT_EQ(secondResponse.var("server2"), "second.example");
}

TEST_F(AccountPage, RegisterWriteKeepsTheMaskedPasswordAndWritesTheAccountFile)
{
    Store("AccountPassword", 2, "secret");
    AccountRegisterServlet servlet;
    FakeRequest request("/servlet?p=account-register&q=write");
    request.setPost({{"var_accountID", "2"},
                     {"AccountPassword", "********"},
                     {"AccountLabel", "Sales"},
                     {"server1", "sip.example"},
                     {"port1", "5080"},
                     {"expires1", "120"},
                     {"AccountTransport", "1"},
                     {"server2", "backup.example"},
                     {"AccountOutboundProxy", "proxy.example"}});
    FakeResponse response;
    LogCapture log;
    ASSERT_EQ(servlet.onRequest(&request, &response), 1);
    EXPECT_EQ(response.redirect, "/servlet?p=account-register&q=load&acc=2");
    EXPECT_EQ(Stored("AccountPassword", 2), "secret");
    EXPECT_EQ(Stored("AccountLabel", 2), "Sales");
    EXPECT_EQ(Stored("AccountSIPServerHost", 2), "sip.example");
    EXPECT_EQ(Stored("AccountSIPServerPort", 2), "5080");
    EXPECT_TRUE(log.contains("Account 3 register has changed!"));

    std::string ini = root.read("/config/user/voip/sipAccount2.cfg");
    EXPECT_NE(ini.find("sip.example"), std::string::npos);
    EXPECT_NE(ini.find("backup.example"), std::string::npos);
    EXPECT_NE(ini.find("proxy.example"), std::string::npos);
    EXPECT_EQ(ini.find("RetryCounts"), std::string::npos);  // not posted, not written
    FakeRequest reload("/servlet?p=account-register&q=load&acc=2");
    FakeResponse reloaded;
    ASSERT_EQ(servlet.onRequest(&reload, &reloaded), 1);
    EXPECT_EQ(reloaded.var("expires1"), "120");
    EXPECT_EQ(reloaded.var("AccountTransport"), "1");
    EXPECT_EQ(reloaded.var("server2"), "backup.example");

    ASSERT_TRUE(phone.waitForCount(2));
    std::vector<BusMessage> sent = changes();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].kind, "broadcast");
    EXPECT_EQ(sent[0].id, kConfigChanged);
    EXPECT_EQ(sent[0].wparam, 3u);
    EXPECT_EQ(sent[0].lparam, 2);

    FakeRequest change("/servlet?p=account-register&q=write");
    change.setPost({{"var_accountID", "2"}, {"AccountPassword", "n3w-s3cret"}});
    FakeResponse changed;
    ASSERT_EQ(servlet.onRequest(&change, &changed), 1);
    EXPECT_EQ(Stored("AccountPassword", 2), "n3w-s3cret");
    for (const LogCapture::Line& line : log.lines) {
        EXPECT_EQ(line.text.find("secret"), std::string::npos) << line.text;
        EXPECT_EQ(line.text.find("s3cret"), std::string::npos) << line.text;
    }
}

TEST_F(AccountPage, AskStatusAsksThePhoneOnlyForAnEnabledAccount)
{
    phone.reply(kAccountStatus, 2);
    Store("AccountEnable", 1, "1");
    Store("AccountEnable", 0, "0");
    std::unique_ptr<HttpServlet> pages[] = {std::unique_ptr<HttpServlet>(createAccountRegisterServlet()),
                                            std::unique_ptr<HttpServlet>(createAccountRegisterLyncServlet())};
    for (auto& servlet : pages) {
        phone.clear();
        FakeRequest disabled("/servlet?p=account-register&q=askstatus&acc=0");
        FakeResponse off;
        EXPECT_EQ(servlet->onRequest(&disabled, &off), 1);
        EXPECT_EQ(off.body, "0");
        EXPECT_EQ(phone.count(), 0u);

        FakeRequest enabled("/servlet?p=account-register&q=askstatus&acc=1");
        FakeResponse on;
        EXPECT_EQ(servlet->onRequest(&enabled, &on), 1);
        EXPECT_EQ(on.body, "2");
        ASSERT_EQ(phone.count(), 1u);
        EXPECT_EQ(phone.messages()[0].wparam, 1u);

        for (const char* acc : {"", "-1", "6", "x"}) {
            FakeRequest bad("/servlet?p=account-register&q=askstatus");
            if (*acc)
                bad.setParam("acc", acc);
            FakeResponse none;
            servlet->onRequest(&bad, &none);
            EXPECT_EQ(none.body, "") << acc;
        }
    }
}

TEST_F(AccountPage, AskStatusDoesNotWaitForASilentPhone)
{
    phone.silence(kAccountStatus);
    Store("AccountEnable", 3, "1");
    AccountRegisterServlet servlet;
    FakeRequest request("/servlet?p=account-register&q=askstatus&acc=3");
    FakeResponse response;
    EXPECT_EQ(servlet.onRequest(&request, &response), 1);
    EXPECT_EQ(response.body, "0");
}

TEST_F(AccountPage, LyncLoadAndWriteDoNothing)
{
    AccountRegisterLyncServlet servlet;
    for (const char* q : {"load", "write"}) {
        FakeRequest request(std::string("/servlet?q=") + q + "&acc=0&var_accountID=0&AccountLabel=x");
        FakeResponse response;
        EXPECT_EQ(servlet.onRequest(&request, &response), 1);
        EXPECT_EQ(response.body, "");
        EXPECT_EQ(response.renderCount, 0);
        EXPECT_TRUE(response.redirect.empty());
    }
    EXPECT_EQ(Stored("AccountLabel", 0), "");
}

// ---- Basic ---------------------------------------------------------------------------

TEST_F(AccountPage, BasicLoadListsRingTonesWithTheAccountsChoice)
{
    root.write("/phone/resource/sysdata/sound/Ring1.wav", "");
    root.write("/data/userdata/sound/Mine.wav", "");
    Store("AccountRing", 0, "Config:Mine.wav");
    Store("AccountSendAnonymous", 0, "1");
    AccountBasicServlet servlet;
    FakeRequest request("/servlet?p=account-basic&q=load&acc=0");
    FakeResponse response;
    ASSERT_EQ(servlet.onRequest(&request, &response), 1);
    EXPECT_EQ(response.rendered, "/phone/www/WEB-INFO/template/account-basic.htm");
    EXPECT_EQ(response.loopColumn("ringTypeloop", "selValue"),
              (Texts{"Common", "Resource:Ring1.wav", "Config:Mine.wav"}));
    EXPECT_EQ(response.loopColumn("ringTypeloop", "selected"), (Texts{"", "", "selected"}));
    EXPECT_EQ(response.var("AccountSendAnonymous"), "1");
    EXPECT_EQ(response.var("var_accountID"), "0");
    EXPECT_EQ(response.var("ShowLevel").rfind("account-basic=", 0), 0u);
}

TEST_F(AccountPage, BasicWriteTakesCodesOnlyWithoutTheCentralService)
{
    const struct {
        const char* active;
        const char* expectedCode;
    } kCases[] = {{"0", "*72"}, {"1", ""}};
    root.write("/phone/resource/sysdata/sound/Ring1.wav", "RIFF");
    for (const auto& c : kCases) {
        configParser_SetConfigString("BSFTActive", c.active);
        Store("AccountAnonymousCallOnCode", 1, "");
        AccountBasicServlet servlet;
        FakeRequest request("/servlet?p=account-basic&q=write");
        request.setPost({{"var_accountID", "1"},
                         {"AccountAnonymousCallOnCode", "*72"},
                         {"AccountMissCallLog", "0"},
                         {"AccountRing", "Resource:Ring1.wav"}});
        FakeResponse response;
        ASSERT_EQ(servlet.onRequest(&request, &response), 1);
        EXPECT_EQ(response.redirect, "/servlet?p=account-basic&q=load&acc=1");
        EXPECT_EQ(Stored("AccountAnonymousCallOnCode", 1), c.expectedCode) << c.active;
        EXPECT_EQ(Stored("AccountMissCallLog", 1), "0");
        EXPECT_EQ(Stored("AccountRing", 1), "Resource:Ring1.wav");
    }
    // Only a ring the page offers is stored; the form comes back with why.
    AccountBasicServlet servlet;
    FakeRequest request("/servlet?p=account-basic&q=write");
    request.setPost({{"var_accountID", "1"}, {"AccountRing", "Config:../../x.wav"}});
    FakeResponse response;
    servlet.onRequest(&request, &response);
    EXPECT_EQ(response.status, 400);
    EXPECT_EQ(response.loopVar("fieldErrors", 0, "field"), "AccountRing");
    EXPECT_EQ(Stored("AccountRing", 1), "Resource:Ring1.wav");
}

TEST_F(AccountPage, BasicWriteTellsThePhoneOfAChangedAutoAnswer)
{
    AccountBasicServlet servlet;
    for (int round = 0; round < 2; ++round) {
        phone.clear();
        FakeRequest request("/servlet?p=account-basic&q=write");
        request.setPost({{"var_accountID", "4"}, {"AccountAutoAnswerSwitch", "1"}});
        FakeResponse response;
        ASSERT_EQ(servlet.onRequest(&request, &response), 1);
        // The first write changes the switch; the second leaves it as it was.
        size_t expected = round == 0 ? 2 : 1;
        ASSERT_TRUE(phone.waitForCount(expected + 1));
        std::vector<BusMessage> sent = changes();
        ASSERT_EQ(sent.size(), expected);
        if (round == 0) {
            EXPECT_EQ(sent[0].kind, "post");
            EXPECT_EQ(sent[0].wparam, 13u);
        }
        EXPECT_EQ(sent.back().kind, "broadcast");
        EXPECT_EQ(sent.back().wparam, 3u);
        EXPECT_EQ(sent.back().lparam, 4);
    }
}

// ---- Advanced ----------------------------------------------------------------------

TEST_F(AccountPage, AdvancedVoiceMailTravelsUnderTheNameWithTheAccountDigit)
{
    Store("AccountVoiceMailNumber", 2, "*97");
    AccountAdvServlet servlet;
    FakeRequest load("/servlet?p=account-adv&q=load&acc=2");
    FakeResponse loaded;
    ASSERT_EQ(servlet.onRequest(&load, &loaded), 1);
    EXPECT_EQ(loaded.var("MessageVoiceNumber"), "*97");
    EXPECT_EQ(loaded.var("var_accountID"), "2");
    EXPECT_TRUE(loaded.hasVar("AccountEnableOutDialogBLF"));
    EXPECT_TRUE(loaded.hasVar("SipVoiceEncryptType"));
    EXPECT_EQ(loaded.var("ShowLevel").rfind("account-adv=", 0), 0u);

    FakeRequest write("/servlet?p=account-adv&q=write");
    write.setPost({{"var_accountID", "2"},
                   {"MessageVoiceNumber", "wrong"},
                   {"MessageVoiceNumber0", "wrong"},
                   {"MessageVoiceNumber2", "8000"},
                   {"AccountExpire", "900"}});
    FakeResponse written;
    ASSERT_EQ(servlet.onRequest(&write, &written), 1);
    EXPECT_EQ(written.redirect, "/servlet?p=account-adv&q=load&acc=2");
    EXPECT_EQ(Stored("AccountVoiceMailNumber", 2), "8000");
    EXPECT_EQ(Stored("AccountVoiceMailNumber", 0), "");
    EXPECT_EQ(Stored("AccountExpire", 2), "900");

    ASSERT_TRUE(phone.waitForCount(3));
    std::vector<BusMessage> sent = changes();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].wparam, 2u);
    EXPECT_EQ(sent[0].lparam, 0);
    EXPECT_EQ(sent[1].wparam, 3u);
    EXPECT_EQ(sent[1].lparam, 2);
}

TEST_F(AccountPage, AdvancedWriteWithABadAccountPrintsTheRefusal)
{
    AccountAdvServlet servlet;
    FakeRequest request("/servlet?p=account-adv&q=write");
    request.setPost({{"var_accountID", "6"}, {"AccountExpire", "1"}});
    FakeResponse response;
    LogCapture log;
    EXPECT_EQ(servlet.onRequest(&request, &response), 0);
    EXPECT_EQ(response.body, "no such account!");
    EXPECT_TRUE(log.contains("get accountID is illegal"));
}

}  // namespace
