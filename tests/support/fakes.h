// In-memory stand-ins for the host objects, recording what a page does:
//
//   FakeRequest request("/servlet?p=account-adv&q=load&acc=1");
//   request.login("admin");
//   FakeResponse response;
//   servlet.onRequest(&request, &response);
//   EXPECT_EQ(response.rendered, "/phone/www/WEB-INFO/template/account-adv.htm");
//   EXPECT_EQ(response.var("var_accountID"), "1");
//   EXPECT_EQ(response.loopColumn("accountLoop", "selected"), (Texts{"0", "1", "0"}));
#pragma once

#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "frame/http.h"

struct TMPL_varlist;
struct TMPL_loop;
typedef std::vector<std::string> Texts;

class FakeSession : public HttpSession {
public:
    void setAttribute(const char* name, char* value) override;
    const char* getAttribute(const char* name) override;
    void invalidate() override;
    void setMaxInactiveInterval(int seconds) override;

    std::map<std::string, std::string> attributes;
    bool invalidated = false;
    int maxInactiveInterval = -1;
};

class FakeRequest : public HttpRequest {
public:
    // The URL from "/servlet?" on; its query fields become parameters
    // (URL-decoded).
    explicit FakeRequest(const std::string& url = "/servlet?");
    ~FakeRequest();
    FakeRequest(const FakeRequest&) = delete;
    FakeRequest& operator=(const FakeRequest&) = delete;

    // Form fields; a name given again gets a further value.
    FakeRequest& setPost(std::initializer_list<std::pair<std::string, std::string>> fields);
    // Replaces every value of a field.
    FakeRequest& setParam(const std::string& name, const std::string& value);
    FakeRequest& removeParam(const std::string& name);
    // An upload field: value 0 is the stored file's path, value 1 the
    // client's file name.
    FakeRequest& setUpload(const std::string& field, const std::string& storedPath,
                           const std::string& clientName);
    // The raw body; also the content length unless one is set.
    FakeRequest& setBody(const std::string& body);
    FakeRequest& setContentLength(long length);
    FakeRequest& setContentTypeHeader(const std::string& type);
    FakeRequest& setRemoteAddr(const std::string& address);
    // Sets the session attribute "user" (an identity word).
    FakeRequest& login(const std::string& identity);

    FakeSession& session() { return session_; }

    const char* getParameter(const char* name) override;
    const char** getParameterValues(const char* name) override;
    const char* getRequestURL() override { return url_.c_str(); }
    const char* getRemoteAddr() override { return remoteAddr_.c_str(); }
    const char* getContentType() override { return contentType_.c_str(); }
    long getContentLength() override;
    void setLanguage(const char* fileName) override { language = fileName ? fileName : ""; }
    HttpSession* getSession(int create) override;
    void setUploadFileTemplate(const char* pattern) override;
    int readBody(char* buffer, int n) override;

    std::string language;
    Texts uploadTemplates;  // every pattern set, in order
    int sessionRequests = 0;

private:
    std::string url_;
    std::string remoteAddr_ = "127.0.0.1";
    std::string contentType_;
    std::string body_;
    size_t bodyRead_ = 0;
    long contentLength_ = -1;
    std::map<std::string, Texts> params_;
    std::map<std::string, std::vector<const char*>> valueArrays_;
    FakeSession session_;
};

class FakeResponse : public HttpResponse {
public:
    FakeResponse() = default;
    ~FakeResponse();
    FakeResponse(const FakeResponse&) = delete;
    FakeResponse& operator=(const FakeResponse&) = delete;

    void setContentType(const char* type) override { contentType = type ? type : ""; }
    void setHeader(const char* name, const char* value) override;
    void addHeader(const char* name, const char* value) override;
    void sendRedirect(const char* url) override;
    void sendError(int code) override { status = code; }
    void print(const char* text) override;
    size_t write(const void* buffer, size_t size, size_t count) override;
    void putChar(int byte) override { body += static_cast<char>(byte); }
    void render(const char* templatePath, TMPL_varlist* varlist) override;
    void setDeviceType(const char* type) override { deviceType = type ? type : ""; }

    // Whether the page answered at all (status, redirect, body or render).
    bool answered() const;
    // The header's value ("" when not set; the last one set wins).
    std::string header(const std::string& name) const;

    // The rendered variable, "" when absent; hasVar tells them apart.
    std::string var(const std::string& name) const;
    bool hasVar(const std::string& name) const;
    // Rows of a rendered loop, -1 when there is no such loop.
    int loopSize(const std::string& loop) const;
    std::string loopVar(const std::string& loop, int row, const std::string& name) const;
    // One variable of every row of the loop.
    Texts loopColumn(const std::string& loop, const std::string& name) const;
    const TMPL_varlist* varlist() const { return varlist_; }

    int status = 0;  // the code of sendError, 0 when none
    std::string contentType;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string redirect;
    std::string body;
    std::string rendered;  // the template path of the last render
    int renderCount = 0;
    std::string deviceType;

private:
    TMPL_varlist* varlist_ = nullptr;
};

// One variable of every row of a loop (none for a null loop).
Texts LoopColumn(const TMPL_loop* loop, const std::string& name);
// A variable of a varlist, "" when absent or the list is null.
std::string VarOf(const TMPL_varlist* varlist, const std::string& name);

// Owners for lists a test builds or receives.
struct TmplFree {
    void operator()(TMPL_varlist* list) const;
    void operator()(TMPL_loop* loop) const;
};
typedef std::unique_ptr<TMPL_varlist, TmplFree> OwnedVarlist;
typedef std::unique_ptr<TMPL_loop, TmplFree> OwnedLoop;

// Captures log lines for the life of the object.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    bool contains(const std::string& text) const;
    struct Line {
        int level;
        std::string text;
    };
    std::vector<Line> lines;
};
