// A call placed from the call history page reaches the phone and comes back
// in the history, as phonesim plays the phone.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/integration/harness.h"

namespace {

TEST(CallHistoryOverHttp, PlacedCallAppearsOnReload)
{
    Stack::Options options;
    options.testPages = false;
    Stack stack(options);
    HttpClient http = stack.client();
    http.postForm("/servlet?p=login&q=login", "username=admin&pwd=admin&jumpto=status");
    EXPECT_EQ(http.get("/servlet?p=contacts-callinfo&q=load").body.find("5550123"), std::string::npos);
    EXPECT_EQ(http.get("/servlet?p=contacts-callinfo&q=call&num=5550123&acc=0").body, "call success");
    std::string page;
    for (int i = 0; i < 50 && page.find("5550123") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        page = http.get("/servlet?p=contacts-callinfo&q=load").body;
    }
    EXPECT_NE(page.find("<td>5550123</td>"), std::string::npos) << stack.serverLog();
    EXPECT_NE(page.find("1001@pbx.example.com"), std::string::npos);
}

}  // namespace
