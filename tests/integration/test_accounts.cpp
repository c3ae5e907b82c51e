// The account pages over HTTP, with phonesim playing the phone.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/integration/harness.h"

namespace {

const char kAccountBroadcast0[] = "{\"to\":\"*\",\"id\":65543,\"wparam\":3,\"lparam\":0,\"kind\":\"broadcast\"}";
const char kAccountBroadcast1[] = "{\"to\":\"*\",\"id\":65543,\"wparam\":3,\"lparam\":1,\"kind\":\"broadcast\"}";

class AccountsOverHttp : public ::testing::Test {
protected:
    static Stack::Options RealPages()
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

    // A page; logs in first where the stack asks for a login.
    HttpAnswer page(const std::string& path)
    {
        HttpAnswer answer = http.get(path);
        if (answer.status != 200 || answer.body.find("loginForm") != std::string::npos) {
            http.postForm("/servlet?p=login&q=login", "username=admin&pwd=admin&jumpto=status");
            answer = http.get(path);
        }
        EXPECT_EQ(200, answer.status) << answer.error;
        return answer;
    }

    // The bus log holds the line; phonesim logs posts as they arrive, so
    // give it a moment after the answer.
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

    Stack stack{RealPages()};
    HttpClient http = stack.client();
};

TEST_F(AccountsOverHttp, RegisterWriteWithTheMaskKeepsThePassword)
{
    page("/servlet?p=account-register&q=load&acc=0");
    HttpAnswer written = http.postForm("/servlet?p=account-register&q=write",
                                       "var_accountID=0&AccountPassword=********"
                                       "&AccountLabel=Front+Desk&server1=sip.test&port1=5070");
    EXPECT_EQ(302, written.status) << written.body;
    EXPECT_EQ("/servlet?p=account-register&q=load&acc=0",
              written.header("Location").substr(written.header("Location").find("/servlet")));
    std::string stored = stack.root().read("/config/system/config.cfg");
    EXPECT_NE(std::string::npos, stored.find("AccountLabel.0=Front Desk")) << stored;
    EXPECT_EQ(std::string::npos, stored.find("AccountPassword")) << stored;
    EXPECT_NE(std::string::npos,
              stack.root().read("/config/user/voip/sipAccount0.cfg").find("sip.test"));
    EXPECT_TRUE(busLogHas(kAccountBroadcast0));

    std::string shown = page("/servlet?p=account-register&q=load&acc=0").body;
    EXPECT_NE(std::string::npos, shown.find("value=\"Front Desk\""));
    EXPECT_NE(std::string::npos, shown.find("value=\"sip.test\""));
    EXPECT_EQ(std::string::npos, shown.find("1001\" autocomplete"));  // the password is not shown
}

TEST_F(AccountsOverHttp, ReorderedCodecsShowInTheNewOrder)
{
    std::string before = page("/servlet?p=account-codec&q=load&acc=1").body;
    EXPECT_LT(before.find(">PCMU</option>"), before.find(">G729</option>"));
    HttpAnswer written = http.postForm("/servlet?p=account-codec&q=write",
                                       "var_accountID=1&enabled=G729%3A3%2CPCMU%3A0%2Copus%3A9"
                                       "&disabled=PCMA%3A1%2CG722%3A2");
    EXPECT_EQ(302, written.status) << written.body;
    EXPECT_TRUE(busLogHas(kAccountBroadcast1));

    std::string after = page("/servlet?p=account-codec&q=load&acc=1").body;
    EXPECT_NE(std::string::npos, after.find("name=\"enabled\" value=\"G729:3,PCMU:0,opus:9\""))
        << after;
    EXPECT_NE(std::string::npos, after.find("PCMA:1,G722:2,"));
    // Other accounts keep the factory order.
    std::string other = page("/servlet?p=account-codec&q=load&acc=0").body;
    EXPECT_NE(std::string::npos, other.find("name=\"enabled\" value=\"PCMU:0,PCMA:1,G722:2,G729:3\""));
}

TEST_F(AccountsOverHttp, AskStatusOfADisabledAccountAsksNoPhone)
{
    stack.root().write("/tmp/phonesim/state.ini", "[account]\nstatus.0=3\nstatus.1=2\n");
    page("/servlet?p=account-register&q=load&acc=0");
    size_t logged = stack.busLog().size();
    // The factory enables only the first account.
    EXPECT_EQ("0", http.get("/servlet?p=account-register&q=askstatus&acc=1").body);
    EXPECT_EQ("3", http.get("/servlet?p=account-register&q=askstatus&acc=0").body);
    std::vector<std::string> lines = stack.busLog();
    ASSERT_GE(lines.size(), logged);
    std::vector<std::string> asked(lines.begin() + static_cast<long>(logged), lines.end());
    EXPECT_EQ((std::vector<std::string>{
                  "{\"to\":\"app_vpPhone\",\"id\":196614,\"wparam\":0,\"lparam\":0,\"kind\":\"send\"}"}),
              asked);
}

}  // namespace
