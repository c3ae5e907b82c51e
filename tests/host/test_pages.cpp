#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include "host/pages.h"
#include "tests/host/exchange_fakes.h"
#include "tests/support/testroot.h"

namespace {

// Handlers live in static storage: the registry never deletes what a
// factory made (the library owns it).
struct Counting final : HttpServlet {
    int inits = 0;
    int requests = 0;
    int destroys = 0;
    const char* answer = "";
    bool throws = false;
    void init() override { ++inits; }
    int onRequest(HttpRequest* request, HttpResponse* response) override
    {
        ++requests;
        if (throws) {
            request->setUploadFileTemplate("/tmp/u_XXXXXX");
            request->getParameterValues("f");
            throw std::runtime_error("page failed");
        }
        response->print(answer);
        return 1;
    }
    void destory() override { ++destroys; }
};

struct Filter final : HttpListener {
    int pass = 1;
    int inits = 0;
    int destroys = 0;
    void init() override { ++inits; }
    int onRequest(HttpRequest*, HttpResponse* response) override
    {
        if (!pass)
            response->sendRedirect("/servlet?p=login&q=loginForm");
        return pass;
    }
    void destory() override { ++destroys; }
};

Counting status;
Counting shared;
Counting thrower;
Filter filter;

HttpServlet* makeStatus() { return &status; }
HttpServlet* makeShared() { return &shared; }
HttpServlet* makeThrower() { return &thrower; }
HttpServlet* makeNothing() { return nullptr; }
HttpListener* makeFilter() { return &filter; }

PageRegistry::Lookup library(bool withFilter)
{
    return [withFilter](const char* symbol) -> void* {
        static const std::map<std::string, void*> symbols = {
            {"createStatusServlet", reinterpret_cast<void*>(&makeStatus)},
            {"createLoginServlet", reinterpret_cast<void*>(&makeNothing)},
            {"createShared", reinterpret_cast<void*>(&makeShared)},
            {"createThrower", reinterpret_cast<void*>(&makeThrower)},
        };
        if (withFilter && strcmp(symbol, "createLoginListener") == 0)
            return reinterpret_cast<void*>(&makeFilter);
        auto it = symbols.find(symbol);
        return it == symbols.end() ? nullptr : it->second;
    };
}

Answer serve(const PageRegistry& registry, SessionStore& sessions, const std::string& query,
             const std::string& contentType = "", const std::string& body = "")
{
    RequestInfo info;
    info.query = query;
    info.contentType = contentType;
    info.contentLength = body.empty() ? "" : std::to_string(body.size());
    StringBody source(body);
    StringOutput out;
    serveExchange(registry, sessions, info, source, out);
    return Answer::parse(out.text);
}

}  // namespace

TEST(PageTable, EveryPageOnce)
{
    std::set<std::string> pages;
    for (size_t i = 0; i < kPageTableSize; ++i)
        EXPECT_TRUE(pages.insert(kPageTable[i].page).second) << "duplicate " << kPageTable[i].page;
}

// The handlers are static: each test starts from fresh counts.
class HostPages : public ::testing::Test {
protected:
    void SetUp() override
    {
        status = Counting();
        shared = Counting();
        thrower = Counting();
        filter = Filter();
    }
    TestRoot root;
};

TEST_F(HostPages, MissingAndNullFactoriesAnswer404)
{
    PageRegistry registry;
    registry.load(library(false));
    SessionStore sessions;
    status.answer = "status page";
    EXPECT_EQ(serve(registry, sessions, "p=status&q=load").body, "status page");
    EXPECT_EQ(serve(registry, sessions, "p=login&q=loginForm").status, 404);   // factory gives null
    EXPECT_EQ(serve(registry, sessions, "p=security&q=load").status, 404);     // not exported
    EXPECT_EQ(serve(registry, sessions, "p=no-such-page").status, 404);
    EXPECT_EQ(serve(registry, sessions, "q=load").status, 404);
    EXPECT_EQ(registry.listener(), nullptr);
    EXPECT_EQ(status.inits, 1);
    registry.shutdown();
    EXPECT_EQ(status.destroys, 1);
}

TEST_F(HostPages, PagesSharingAFactoryShareOneHandler)
{
    PageRegistry registry;
    registry.load(library(false), {{"one", "createShared"}, {"two", "createShared"}, {"status", "createShared"}});
    SessionStore sessions;
    shared.answer = "shared";
    EXPECT_EQ(serve(registry, sessions, "p=one").body, "shared");
    EXPECT_EQ(serve(registry, sessions, "p=two").body, "shared");
    EXPECT_EQ(serve(registry, sessions, "p=status").body, "shared");  // an extra replaces a table entry
    EXPECT_EQ(registry.find("one"), registry.find("two"));
    EXPECT_EQ(shared.inits, 1);
    EXPECT_EQ(shared.requests, 3);
    EXPECT_EQ(registry.handlerCount(), 1u);
    registry.shutdown();
    EXPECT_EQ(shared.destroys, 1);
}

TEST_F(HostPages, FilterDecidesFirst)
{
    PageRegistry registry;
    registry.load(library(true));
    SessionStore sessions;
    ASSERT_EQ(registry.listener(), &filter);
    EXPECT_EQ(filter.inits, 1);
    filter.pass = 0;
    Answer refused = serve(registry, sessions, "p=status&q=load");
    EXPECT_EQ(refused.status, 302);
    EXPECT_EQ(status.requests, 0);
    filter.pass = 1;
    EXPECT_EQ(serve(registry, sessions, "p=status&q=load").status, 200);
    EXPECT_EQ(status.requests, 1);
    registry.shutdown();
    EXPECT_EQ(filter.destroys, 1);
}

TEST_F(HostPages, ExceptionFromAPageIsAServerErrorAndLeavesNoUpload)
{
    root.write("/tmp/.keep", "");
    PageRegistry registry;
    registry.load(library(false), {{"boom", "createThrower"}});
    SessionStore sessions;
    thrower.throws = true;
    std::string body = "--b\r\nContent-Disposition: form-data; name=\"f\"; filename=\"a\"\r\n\r\nx\r\n--b--";
    Answer answer = serve(registry, sessions, "p=boom", "multipart/form-data; boundary=b", body);
    EXPECT_EQ(answer.status, 500);
    EXPECT_EQ(thrower.requests, 1);
    EXPECT_FALSE(root.exists("/tmp/u_" + std::string(6, 'X')));
    size_t left = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root.real("/tmp"))) {
        (void)entry;
        ++left;
    }
    EXPECT_EQ(left, 1u);
    registry.shutdown();
}
