// The status page over HTTP, with phonesim playing the phone.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tests/integration/harness.h"

namespace {

// A flat JSON object of string and integer members, as phonesim logs them.
// Returns false for anything that is not exactly that.
bool ParseFlatJson(const std::string& text, std::map<std::string, std::string>& members)
{
    size_t i = 0;
    auto skip = [&] {
        while (i < text.size() && isspace(static_cast<unsigned char>(text[i])))
            ++i;
    };
    auto string = [&](std::string& out) {
        if (i >= text.size() || text[i] != '"')
            return false;
        for (++i; i < text.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(text[i]);
            if (c == '"') {
                ++i;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (++i >= text.size())
                return false;
            char e = text[i];
            if (e == 'u') {
                if (i + 4 >= text.size())
                    return false;
                for (int k = 1; k <= 4; ++k)
                    if (!isxdigit(static_cast<unsigned char>(text[i + k])))
                        return false;
                out += '?';
                i += 4;
            } else if (std::string("\"\\/bfnrt").find(e) != std::string::npos) {
                out += e;
            } else {
                return false;
            }
        }
        return false;
    };
    skip();
    if (i >= text.size() || text[i++] != '{')
        return false;
    for (bool first = true;; first = false) {
        skip();
        if (i < text.size() && text[i] == '}' && first) {
            ++i;
            break;
        }
        std::string key;
        std::string value;
        if (!string(key))
            return false;
        skip();
        if (i >= text.size() || text[i++] != ':')
            return false;
        skip();
        if (i < text.size() && text[i] == '"') {
            if (!string(value))
                return false;
        } else {
            size_t start = i;
            if (i < text.size() && text[i] == '-')
                ++i;
            while (i < text.size() && isdigit(static_cast<unsigned char>(text[i])))
                ++i;
            value = text.substr(start, i - start);
            if (value.empty() || value == "-")
                return false;
        }
        if (!members.emplace(key, value).second)
            return false;
        skip();
        if (i < text.size() && text[i] == ',') {
            ++i;
            continue;
        }
        if (i < text.size() && text[i] == '}') {
            ++i;
            break;
        }
        return false;
    }
    skip();
    return i == text.size();
}

size_t Count(const std::string& text, const std::string& word)
{
    size_t count = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++count;
    return count;
}

class StatusOverHttp : public ::testing::Test {
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

    // The status page; logs in first where the stack asks for a login.
    std::string statusPage()
    {
        HttpAnswer answer = http.get("/servlet?p=status&q=load");
        if (answer.status != 200) {
            http.postForm("/servlet?p=login&q=login", "username=admin&pwd=admin&jumpto=status");
            answer = http.get("/servlet?p=status&q=load");
        }
        EXPECT_EQ(200, answer.status) << answer.error;
        return answer.body;
    }

    Stack stack{RealPages()};
    HttpClient http = stack.client();
};

TEST_F(StatusOverHttp, ShowsConfiguredValuesAndAccountStates)
{
    std::string page = statusPage();
    EXPECT_NE(std::string::npos, page.find("<td id=\"firmware\">1.4.2.7</td>")) << page;
    EXPECT_NE(std::string::npos, page.find("<td id=\"wanIPAddress\">192.168.1.100</td>"));
    EXPECT_NE(std::string::npos, page.find("<td id=\"mac\">00:11:22:33:44:55</td>"));
    EXPECT_NE(std::string::npos, page.find("<td>1001</td>"));
    EXPECT_NE(std::string::npos, page.find("<td>pbx.example.com</td>"));
    // The factory enables only the first account.
    EXPECT_EQ(1u, Count(page, ">Registered</span>"));
    EXPECT_EQ(5u, Count(page, ">Disabled</span>"));
    EXPECT_NE(std::string::npos, page.find("XK51 1"));

    // The phone's state changes: the words follow.
    stack.root().write("/tmp/phonesim/state.ini", "[account]\nstatus.0=3\nstatus.4=1\n");
    stack.root().write("/config/system/config.cfg", "PhoneFirmware=9.8.7.6\nNetworkIPAddressMode=1\n");
    page = statusPage();
    EXPECT_EQ(0u, Count(page, ">Registered</span>"));
    EXPECT_EQ(1u, Count(page, ">Register Failed</span>"));
    EXPECT_EQ(1u, Count(page, ">Registering</span>"));
    EXPECT_NE(std::string::npos, page.find("<td id=\"firmware\">9.8.7.6</td>"));
    EXPECT_EQ(std::string::npos, page.find("id=\"wanIPAddress\""));
    EXPECT_NE(std::string::npos, page.find("<td id=\"ipv6WanIP\">fd00:1:2:3::100/64</td>"));
}

TEST_F(StatusOverHttp, BusLogLinesAreWellFormed)
{
    statusPage();
    std::vector<std::string> lines = stack.busLog();
    ASSERT_FALSE(lines.empty());
    std::vector<std::string> asked;
    for (const std::string& line : lines) {
        std::map<std::string, std::string> members;
        ASSERT_TRUE(ParseFlatJson(line, members)) << line;
        for (const char* key : {"to", "id", "wparam", "lparam", "kind"})
            EXPECT_EQ(1u, members.count(key)) << key << " in " << line;
        EXPECT_TRUE(members["kind"] == "post" || members["kind"] == "send" ||
                    members["kind"] == "broadcast")
            << line;
        if (members["id"] == "196614" && members["kind"] == "send")  // 0x30006
            asked.push_back(members["to"] + ":" + members["wparam"]);
    }
    EXPECT_EQ((std::vector<std::string>{"app_vpPhone:0", "app_vpPhone:1", "app_vpPhone:2",
                                        "app_vpPhone:3", "app_vpPhone:4", "app_vpPhone:5"}),
              asked);
}

TEST(FlatJson, RejectsWhatIsNotOneObject)
{
    std::map<std::string, std::string> members;
    EXPECT_TRUE(ParseFlatJson("{\"a\":\"x\\u0001\",\"b\":-3}", members));
    for (const char* bad : {"", "{", "{\"a\":1,}", "{\"a\":1}x", "{\"a\":\"\x01\"}", "{\"a\":\"\\q\"}",
                            "{\"a\":1,\"a\":2}", "{a:1}", "{\"a\":}"}) {
        members.clear();
        EXPECT_FALSE(ParseFlatJson(bad, members)) << bad;
    }
}

}  // namespace
