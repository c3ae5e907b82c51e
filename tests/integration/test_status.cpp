// The status page over HTTP with phonesim playing the phone: the questions
// on the bus and the one time-out the page allows itself.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/integration/harness.h"

namespace {

size_t Count(const std::string& text, const std::string& word)
{
    size_t count = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++count;
    return count;
}

class StatusOverHttp : public PhoneStackTest {
protected:
    std::string statusPage()
    {
        login();
        HttpAnswer answer = http.get("/servlet?p=status&q=load");
        EXPECT_EQ(200, answer.status) << answer.error;
        return answer.body;
    }

    // The accounts asked for their status (0x30006), in order.
    std::vector<std::string> asked()
    {
        std::vector<std::string> accounts;
        for (const std::string& line : stack.busLog()) {
            size_t at = line.find("\"id\":196614,\"wparam\":");
            if (at != std::string::npos && line.find("\"kind\":\"send\"") != std::string::npos)
                accounts.push_back(line.substr(at + 21, line.find(',', at + 21) - at - 21));
        }
        return accounts;
    }
};

TEST_F(StatusOverHttp, EveryAccountAskedOnceInOrder)
{
    std::string page = statusPage();
    // The factory enables only the first account.
    EXPECT_EQ(1u, Count(page, ">Registered</span>")) << page;
    EXPECT_EQ(5u, Count(page, ">Disabled</span>"));
    EXPECT_EQ((std::vector<std::string>{"0", "1", "2", "3", "4", "5"}), asked());
}

TEST_F(StatusOverHttp, AfterOneTimeOutTheRestIsUnknownWithoutAsking)
{
    stack.root().write("/tmp/phonesim/state.ini", "[account]\nstatus.0=3\nstatus.1=none\nstatus.2=2\n");
    std::string page = statusPage();
    EXPECT_EQ(1u, Count(page, ">Register Failed</span>")) << page;
    EXPECT_EQ(5u, Count(page, ">Unknown</span>"));
    EXPECT_EQ((std::vector<std::string>{"0", "1"}), asked());
}

}  // namespace
