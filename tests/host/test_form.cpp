#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "host/form.h"

using Fields = std::vector<std::pair<std::string, std::string>>;

TEST(FormDecode, Escapes)
{
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"plain", "plain"},
        {"a+b", "a b"},
        {"%41%62%2f", "Ab/"},
        {"%e4%C3", "\xe4\xc3"},
        {"100%", "100%"},          // escape cut off at the end
        {"%4", "%4"},
        {"%G1x", "%G1x"},          // not hex
        {"%%41", "%A"},
        {"a%00b", "a%00b"},        // never a zero byte inside a value
        {"%2B+%20", "+  "},
        {"%0D%0A", "\r\n"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formDecode(c.in.data(), c.in.size()), c.out) << c.in;
}

TEST(FormFields, SplitsNamesAndValues)
{
    const struct {
        std::string in;
        Fields out;
    } cases[] = {
        {"p=status&q=load", {{"p", "status"}, {"q", "load"}}},
        {"a=1&a=2&a=", {{"a", "1"}, {"a", "2"}, {"a", ""}}},
        {"flag&x=1", {{"flag", ""}, {"x", "1"}}},
        {"&&a=1&&", {{"a", "1"}}},
        {"=orphan&b=2", {{"b", "2"}}},
        {"k%20ey=v%3Dw=x", {{"k ey", "v=w=x"}}},
        {"name=John+Smith&mail=j%40x.org", {{"name", "John Smith"}, {"mail", "j@x.org"}}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseFormFields(c.in), c.out) << c.in;
}

TEST(HeaderValue, TokenAndParameters)
{
    HeaderValue type = parseHeaderValue("Multipart/Form-Data; boundary=----abc123");
    EXPECT_EQ(type.token, "multipart/form-data");
    ASSERT_NE(type.param("boundary"), nullptr);
    EXPECT_EQ(*type.param("boundary"), "----abc123");

    HeaderValue quoted = parseHeaderValue("multipart/form-data; charset=utf-8; BOUNDARY=\"a b;c\"");
    ASSERT_NE(quoted.param("boundary"), nullptr);
    EXPECT_EQ(*quoted.param("boundary"), "a b;c");
    EXPECT_EQ(*quoted.param("charset"), "utf-8");
    EXPECT_EQ(quoted.param("name"), nullptr);

    HeaderValue odd = parseHeaderValue("form-data; bare; name=\"unterminated");
    EXPECT_EQ(odd.token, "form-data");
    ASSERT_NE(odd.param("name"), nullptr);
    EXPECT_EQ(*odd.param("name"), "unterminated");
    EXPECT_EQ(parseHeaderValue("").token, "");
}

TEST(Cookies, FindsOneByName)
{
    EXPECT_EQ(cookieValue("a=1; sessionid=abc; b=2", "sessionid"), "abc");
    EXPECT_EQ(cookieValue("sessionid=abc", "sessionid"), "abc");
    EXPECT_EQ(cookieValue("xsessionid=abc; sessionid2=d", "sessionid"), "");
    EXPECT_EQ(cookieValue("", "sessionid"), "");
    EXPECT_EQ(cookieValue(" sessionid = x ;", "sessionid"), "x");
}

TEST(ParameterStore, ValuesStayValidAndOrdered)
{
    ParameterStore store;
    EXPECT_EQ(store.first("a"), nullptr);
    EXPECT_EQ(store.all("a"), nullptr);
    store.add("a", "1");
    const char* first = store.first("a");
    const char** before = store.all("a");
    // Many later values must not move what was handed out (short strings
    // live inside the string object).
    for (int i = 0; i < 1000; ++i)
        store.add(i % 2 ? "a" : "b", std::to_string(i));
    EXPECT_STREQ(first, "1");
    EXPECT_STREQ(before[0], "1");
    EXPECT_EQ(before[1], nullptr);
    const char** after = store.all("a");
    EXPECT_STREQ(after[0], "1");
    EXPECT_STREQ(after[1], "1");
    EXPECT_STREQ(after[2], "3");
    size_t count = 0;
    while (after[count])
        ++count;
    EXPECT_EQ(count, 501u);
}
