#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/exchange.h"
#include "platform/system.h"
#include "platform/paths.h"
#include "platform/tmpl.h"
#include "tests/host/exchange_fakes.h"
#include "tests/support/testroot.h"

namespace fs = std::filesystem;

namespace {

const char kMultipart[] = "multipart/form-data; boundary=XyZ";
const char kForm[] = "application/x-www-form-urlencoded";
const char kTemplates[] = "/phone/www/WEB-INFO/template/";

std::string filePart(const std::string& name, const std::string& fileName, const std::string& data)
{
    return "--XyZ\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\"" + fileName +
           "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + data + "\r\n";
}

std::string textPart(const std::string& name, const std::string& value)
{
    return "--XyZ\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

const std::string kEnd = "--XyZ--\r\n";

std::string cookieId(const Answer& answer)
{
    auto it = answer.headers.find("Set-Cookie");
    if (it == answer.headers.end())
        return "";
    return it->second.substr(strlen("sessionid="), it->second.find(';') - strlen("sessionid="));
}

// One exchange over a temporary phone root.
class Exchange : public ::testing::Test {
protected:
    void start(const std::string& query, const std::string& contentType = "",
               const std::string& body = "", size_t piece = 1 << 20, long failAfter = -1,
               const std::string& cookie = "", const std::string& contentLength = "-")
    {
        RequestInfo info;
        info.query = query;
        info.remoteAddr = "127.0.0.1";
        info.contentType = contentType;
        info.contentLength = contentLength == "-" ? (body.empty() ? "" : std::to_string(body.size()))
                                                  : contentLength;
        info.cookie = cookie;
        request.reset();
        response.reset();
        out.text.clear();
        source = std::make_unique<StringBody>(body, piece, failAfter);
        response = std::make_unique<HostResponse>(out);
        request = std::make_unique<HostRequest>(info, *source, sessions, *response, limits);
    }
    void startWithCookie(const std::string& query, const std::string& id)
    {
        start(query, "", "", 1 << 20, -1, "other=1; sessionid=" + id);
    }
    Answer finish()
    {
        request->finish();
        return Answer::parse(out.text);
    }
    // Every value of a field joined with "|"; "(null)" when absent.
    std::string values(const char* name)
    {
        const char** all = request->getParameterValues(name);
        if (!all)
            return "(null)";
        std::string joined;
        for (int i = 0; all[i]; ++i)
            joined += (i ? "|" : "") + std::string(all[i]);
        return joined;
    }
    std::string readAll(int chunk)
    {
        std::string raw;
        std::vector<char> buffer(static_cast<size_t>(chunk));
        int n;
        while ((n = request->readBody(buffer.data(), chunk)) > 0)
            raw.append(buffer.data(), static_cast<size_t>(n));
        return raw;
    }
    size_t filesIn(const std::string& phoneFolder)
    {
        size_t count = 0;
        std::error_code ignored;
        for (auto it = fs::directory_iterator(root.real(phoneFolder), ignored); it != fs::directory_iterator();
             ++it)
            ++count;
        return count;
    }

    TestRoot root;
    SessionStore sessions;
    HostLimits limits;
    StringOutput out;
    std::unique_ptr<StringBody> source;
    std::unique_ptr<HostResponse> response;
    std::unique_ptr<HostRequest> request;
};

}  // namespace

// ------------------------------------------------------------- parameters

TEST_F(Exchange, QueryParameters)
{
    start("p=status&q=load&acc=1&acc=2&name=a%20b");
    EXPECT_STREQ(request->getRequestURL(), "/servlet?p=status&q=load&acc=1&acc=2&name=a%20b");
    EXPECT_STREQ(request->getParameter("name"), "a b");
    EXPECT_EQ(request->getParameter("missing"), nullptr);
    EXPECT_EQ(request->getParameter(nullptr), nullptr);
    EXPECT_EQ(values("acc"), "1|2");
    EXPECT_EQ(request->getContentLength(), 0);
    EXPECT_STREQ(request->getRemoteAddr(), "127.0.0.1");
    EXPECT_EQ(finish().status, 200);
    start("");
    EXPECT_STREQ(request->getRequestURL(), "/servlet?");
}

TEST_F(Exchange, FormBodyFieldsFollowTheQuery)
{
    start("p=x&a=q", "application/x-www-form-urlencoded; charset=UTF-8", "a=b1&c=%41+B&a=b2");
    EXPECT_STREQ(request->getParameter("a"), "q");  // the query answers first
    EXPECT_STREQ(request->getParameter("c"), "A B");
    EXPECT_EQ(values("a"), "q|b1|b2");
}

// The push request reads its raw body after the filter looked for "p" in it;
// a body read raw first has no fields.
TEST_F(Exchange, RawBodyAndFormFieldsShareOneBody)
{
    start("push", kForm, "xml=<Item>a+b</Item>");
    EXPECT_EQ(request->getParameter("p"), nullptr);
    EXPECT_EQ(readAll(7), "xml=<Item>a+b</Item>");

    start("p=x", kForm, "a=1");
    char buffer[16];
    EXPECT_EQ(request->readBody(buffer, sizeof buffer), 3);
    EXPECT_EQ(request->readBody(buffer, sizeof buffer), 0);
    EXPECT_EQ(request->getParameter("a"), nullptr);
    EXPECT_EQ(request->readBody(nullptr, 5), 0);
    EXPECT_EQ(request->readBody(buffer, 0), 0);

    start("p=upload&q=upgrade", kMultipart, filePart("f", "a.bin", "data") + kEnd);
    EXPECT_STREQ(request->getParameter("p"), "upload");
    EXPECT_EQ(source->consumed(), 0u);  // query look-ups leave the body alone
}

TEST_F(Exchange, RefusedBeforeThePage)
{
    const struct {
        const char* what;
        std::string contentType;
        std::string contentLength;
    } cases[] = {
        {"length with junk", "text/plain", "12abc"},
        {"negative length", "text/plain", "-1"},
        {"length beyond a long", "text/plain", "99999999999999999999999"},
        {"form body over the cap", kForm, std::to_string((1 << 20) + 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start("p=x", c.contentType, "", 1 << 20, -1, "", c.contentLength);
        EXPECT_FALSE(request->admit());
        EXPECT_EQ(finish().status, 400);
    }
    start("p=x", kForm, "", 1 << 20, -1, "", std::to_string(1 << 20));
    EXPECT_TRUE(request->admit());

    start("p=x", kForm, "a=1&b=2", 1 << 20, -1, "", "100");  // shorter than said
    EXPECT_EQ(request->getParameter("a"), nullptr);
    EXPECT_TRUE(request->broken());
    EXPECT_EQ(finish().status, 400);
}

// ---------------------------------------------------------------- uploads

TEST_F(Exchange, UploadLandsUnderThePatternAndVanishesUnclaimed)
{
    root.write("/tmp/up/.keep", "");
    std::string payload(100000, 'z');
    start("p=x", kMultipart,
          textPart("title", "My file") + filePart("file", "C:\\Users\\me\\a.bin", payload) + kEnd, 4096);
    request->setUploadFileTemplate("/tmp/up/file_XXXXXX");
    const char** stored = request->getParameterValues("file");
    ASSERT_NE(stored, nullptr);
    std::string path = stored[0];
    EXPECT_EQ(path.rfind("/tmp/up/file_", 0), 0u) << path;
    EXPECT_EQ(path.size(), strlen("/tmp/up/file_XXXXXX"));
    EXPECT_STREQ(stored[1], "a.bin");
    EXPECT_EQ(stored[2], nullptr);
    EXPECT_STREQ(request->getParameter("title"), "My file");
    EXPECT_EQ(root.read(path), payload);
    EXPECT_EQ(finish().status, 200);
    EXPECT_FALSE(root.exists(path));
    EXPECT_EQ(filesIn("/tmp/up"), 1u);  // only .keep
}

TEST_F(Exchange, ClaimedUploadStays)
{
    root.write("/tmp/up/.keep", "");
    start("p=x", kMultipart, filePart("a", "a.txt", "AAA") + filePart("b", "b.txt", "BBB") + kEnd);
    request->setUploadFileTemplate("/tmp/up/file_XXXXXX");
    std::string a = request->getParameterValues("a")[0];
    std::string b = request->getParameterValues("b")[0];
    ASSERT_EQ(rename(phonePath(a).c_str(), phonePath("/tmp/up/kept.txt").c_str()), 0);
    // A new file that took the old name is not the upload and stays too.
    root.write(a, "someone else's");
    finish();
    EXPECT_EQ(root.read("/tmp/up/kept.txt"), "AAA");
    EXPECT_EQ(root.read(a), "someone else's");
    EXPECT_FALSE(root.exists(b));
}

// A pattern without "XXXXXX" or not a phone path falls back to the default;
// an upload into a missing folder or from an empty file input leaves the
// field absent.
TEST_F(Exchange, UploadPatternsAndUploadsThatDoNotHappen)
{
    root.write("/tmp/.keep", "");
    for (const char* pattern : {static_cast<const char*>(nullptr), "/tmp/no-x-at-end", "relative_XXXXXX"}) {
        start("p=x", kMultipart, filePart("f", "a.txt", "data") + kEnd);
        if (pattern)
            request->setUploadFileTemplate(pattern);
        EXPECT_EQ(values("f").rfind("/tmp/upload_", 0), 0u) << values("f");
        finish();
        EXPECT_EQ(filesIn("/tmp"), 1u);
    }
    start("p=x", kMultipart, filePart("f", "a.txt", "data") + textPart("t", "v") + kEnd);
    request->setUploadFileTemplate("/nowhere/f_XXXXXX");
    EXPECT_EQ(values("f"), "(null)");
    EXPECT_STREQ(request->getParameter("t"), "v");
    EXPECT_FALSE(request->broken());

    start("p=x", kMultipart, filePart("f", "", "") + kEnd);
    EXPECT_EQ(values("f"), "(null)");
    EXPECT_EQ(filesIn("/tmp"), 1u);
}

// Broken bodies answer 400, expose no body field and leave no file.
TEST_F(Exchange, BrokenMultipartBodies)
{
    root.write("/tmp/up/.keep", "");
    std::string good = textPart("t", "v") + filePart("f", "a.bin", std::string(50000, 'q')) + kEnd;
    const struct {
        const char* what;
        std::string contentType;
        std::string body;
        std::string contentLength;
        long failAfter;
    } cases[] = {
        {"body shorter than its length", kMultipart, good.substr(0, 30000), std::to_string(good.size()), -1},
        {"client goes away", kMultipart, good, "-", 30000},
        {"no closing boundary", kMultipart, good.substr(0, good.size() - kEnd.size()), "-", -1},
        {"no boundary parameter", "multipart/form-data", good, "-", -1},
        {"wrong boundary", "multipart/form-data; boundary=other", good, "-", -1},
        {"header block too large", kMultipart, "--XyZ\r\nX-Pad: " + std::string(20000, 'p') + "\r\n\r\nv\r\n" + kEnd,
         "-", -1},
        {"text fields over the cap", kMultipart, textPart("t", std::string((1 << 20) + 1, 't')) + kEnd, "-", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start("p=x&keep=1", c.contentType, c.body, 8192, c.failAfter, "", c.contentLength);
        request->setUploadFileTemplate("/tmp/up/file_XXXXXX");
        EXPECT_EQ(request->getParameter("t"), nullptr);
        EXPECT_EQ(values("f"), "(null)");
        EXPECT_STREQ(request->getParameter("keep"), "1");
        EXPECT_TRUE(request->broken());
        response->print("page output after the failure is dropped");
        Answer answer = finish();
        EXPECT_EQ(answer.status, 400);
        EXPECT_EQ(answer.body.find("dropped"), std::string::npos);
        EXPECT_EQ(filesIn("/tmp/up"), 1u);
    }
}

TEST_F(Exchange, UpgradeBodyOnlyFromAnAdminOrInSafeMode)
{
    start("p=settings-upgrade&q=upgrade", kMultipart, "image");
    EXPECT_FALSE(request->admitUpgrade());
    ASSERT_EQ(userenv_set("BOOTMODE", "safemode"), 0);
    start("p=settings-upgrade&q=upgrade", kMultipart, "image");
    EXPECT_TRUE(request->admitUpgrade()) << "the recovery road needs no login";
}

TEST_F(Exchange, RawBodyInPiecesAndStalled)
{
    std::string body(300000, '\0');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>(i * 7);
    start("p=x&q=upgrade", kMultipart, body, 1000);
    EXPECT_TRUE(readAll(65536) == body);
    EXPECT_FALSE(request->broken());
    EXPECT_EQ(values("f"), "(null)");  // after a raw read the body is gone for fields

    start("p=x&q=upgrade", "application/octet-stream", std::string(5000, 'a'), 1000, 2500);
    EXPECT_EQ(readAll(1000).size(), 2500u);
    EXPECT_TRUE(request->broken());
    char buffer[8];
    EXPECT_EQ(request->readBody(buffer, sizeof buffer), 0);
    EXPECT_EQ(finish().status, 400);
}

// --------------------------------------------------------------- response

TEST_F(Exchange, HeaderWaitsForTheFirstBodyByte)
{
    start("p=x");
    Answer nothing = finish();
    EXPECT_EQ(nothing.status, 200);
    EXPECT_EQ(nothing.headers["Content-Type"], "text/html");
    EXPECT_EQ(nothing.body, "");

    start("p=x");
    response->setContentType("application/octet-stream");
    response->setHeader("Content-disposition", "attachment; filename=\"config.bin\"");
    response->setHeader("Expires", "0");
    response->setHeader("expires", "1");  // replaces, whatever the case
    EXPECT_TRUE(out.text.empty());
    EXPECT_EQ(response->write("ab", 1, 2), 2u);
    response->putChar('c');
    response->putChar(0x1ff);  // only the low byte
    response->print("d");
    response->print(nullptr);
    response->setHeader("X-Late", "dropped");
    response->setContentType("text/plain");
    char byte = 'x';
    EXPECT_EQ(response->write(&byte, SIZE_MAX / 2, 3), 0u);
    EXPECT_EQ(response->write(&byte, 0, 3), 0u);
    EXPECT_EQ(response->write(nullptr, 1, 1), 0u);
    Answer answer = finish();
    EXPECT_EQ(answer.headers["Content-Type"], "application/octet-stream");
    EXPECT_EQ(answer.headers["Content-disposition"], "attachment; filename=\"config.bin\"");
    EXPECT_EQ(answer.headers["Expires"], "1");
    EXPECT_FALSE(answer.has("X-Late"));
    EXPECT_EQ(answer.body, "abc\xff" "d");
}

TEST_F(Exchange, HeaderInjectionIsStripped)
{
    start("p=x");
    response->setHeader("X-Test", "a\r\nSet-Cookie: evil=1");
    response->sendRedirect("/servlet?p=login&q=loginForm&jumpto=x\r\nSet-Cookie: evil=2");
    Answer answer = finish();
    EXPECT_EQ(answer.status, 302);
    EXPECT_EQ(answer.headers["Location"], "/servlet?p=login&q=loginForm&jumpto=xSet-Cookie: evil=2");
    EXPECT_EQ(answer.headers["X-Test"], "aSet-Cookie: evil=1");
    EXPECT_FALSE(answer.has("Set-Cookie"));
}

TEST_F(Exchange, RedirectAndErrorCompleteTheAnswer)
{
    start("p=x");
    response->sendRedirect("/servlet?p=status&q=load");
    response->print("ignored");
    response->sendError(404);
    Answer redirect = finish();
    EXPECT_EQ(redirect.status, 302);
    EXPECT_EQ(redirect.body, "");

    start("p=x");
    response->addHeader("WWW-Authenticate", "Basic realm=\"VOIP PHONE\"");
    response->sendError(401);
    response->print("ignored");
    Answer error = finish();
    EXPECT_EQ(error.status, 401);
    EXPECT_EQ(error.headers["WWW-Authenticate"], "Basic realm=\"VOIP PHONE\"");
    EXPECT_NE(error.body.find("401 Unauthorized"), std::string::npos);
    EXPECT_EQ(error.body.find("ignored"), std::string::npos);

    start("p=x");
    response->print("partial");
    response->sendError(500);  // too late for a status: the answer just ends
    response->print("more");
    Answer late = finish();
    EXPECT_EQ(late.status, 200);
    EXPECT_EQ(late.body, "partial");
}

TEST_F(Exchange, RenderPassesLanguageAndDeviceType)
{
    root.write(std::string(kTemplates) + "t.htm",
               "<TMPL_VAR NAME=greeting>|<TMPL_VAR NAME=LANGUAGE>|<TMPL_VAR NAME=DEVICE_TYPE>");
    start("p=x");
    request->setLanguage("1.English");
    response->setDeviceType("46");
    response->render("/phone/www/WEB-INFO/template/t.htm", TMPL_add_var(nullptr, "greeting", "hi", 0));
    Answer answer = finish();
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "hi|1.English|46");

    start("p=x");
    response->render("/phone/www/WEB-INFO/template/none.htm", TMPL_add_var(nullptr, "a", "b", 0));
    EXPECT_EQ(finish().status, 500);
    start("p=x");
    response->render(nullptr, TMPL_add_var(nullptr, "a", "b", 0));  // freed, nothing sent
    EXPECT_EQ(finish().status, 200);
}

// A page may answer with a form and then an error status (a failed login
// shows the form with 401); later output follows the page.
TEST_F(Exchange, RenderedPageWaitsForTheStatus)
{
    root.write(std::string(kTemplates) + "form.htm", "<form><TMPL_VAR NAME=notice></form>");
    start("p=x");
    response->render("/phone/www/WEB-INFO/template/form.htm", TMPL_add_var(nullptr, "notice", "bad", 0));
    response->sendError(401);
    Answer refused = finish();
    EXPECT_EQ(refused.status, 401);
    EXPECT_EQ(refused.body, "<form>bad</form>");

    start("p=x");
    response->render("/phone/www/WEB-INFO/template/form.htm", TMPL_add_var(nullptr, "notice", "", 0));
    response->print("!");
    response->sendError(401);  // the page is out: too late for a status
    Answer sent = finish();
    EXPECT_EQ(sent.status, 200);
    EXPECT_EQ(sent.body, "<form></form>!");
}

// --------------------------------------------------------------- sessions

TEST_F(Exchange, SessionCookieReuseAndPlantedIds)
{
    start("p=x");
    EXPECT_EQ(request->getSession(0), nullptr);
    HttpSession* session = request->getSession(1);
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(request->getSession(1), session);
    session->setAttribute("user", strdup("admin"));
    Answer first = finish();
    for (const char* flag : {"; Path=/", "; HttpOnly", "; SameSite=Strict"})
        EXPECT_NE(first.headers["Set-Cookie"].find(flag), std::string::npos) << flag;
    std::string id = cookieId(first);
    EXPECT_EQ(id.size(), 32u);

    startWithCookie("p=x", id);
    ASSERT_NE(request->getSession(1), nullptr);
    EXPECT_STREQ(request->getSession(1)->getAttribute("user"), "admin");
    EXPECT_FALSE(finish().has("Set-Cookie"));  // nothing new to tell

    std::string planted = "0123456789abcdef0123456789abcdef";
    startWithCookie("p=x", planted);
    ASSERT_NE(request->getSession(1), nullptr);
    std::string given = cookieId(finish());
    EXPECT_EQ(given.size(), 32u);
    EXPECT_NE(given, planted);  // an unknown id is never adopted
}

TEST_F(Exchange, FreshSessionAtLoginAndNoneAfterLogout)
{
    start("p=x");
    request->getSession(1)->setAttribute("user", strdup("user"));
    std::string before = cookieId(finish());

    startWithCookie("p=login", before);
    request->getSession(1)->invalidate();
    HttpSession* fresh = request->getSession(1);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->getAttribute("user"), nullptr);
    fresh->setAttribute("user", strdup("admin"));
    std::string after = cookieId(finish());
    EXPECT_EQ(after.size(), 32u);
    EXPECT_NE(after, before);
    // The id known before the login is worth nothing now.
    startWithCookie("p=x", before);
    EXPECT_EQ(request->getSession(0), nullptr);
    startWithCookie("p=x", after);
    ASSERT_NE(request->getSession(0), nullptr);
    EXPECT_STREQ(request->getSession(0)->getAttribute("user"), "admin");

    startWithCookie("p=logout", after);
    request->getSession(1)->invalidate();
    response->sendRedirect("/servlet?p=login&q=loginForm");
    Answer answer = finish();
    EXPECT_NE(answer.headers["Set-Cookie"].find("Max-Age=0"), std::string::npos);
    EXPECT_EQ(sessions.size(), 0u);
}
