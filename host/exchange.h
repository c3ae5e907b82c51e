// One HTTP exchange as the page library sees it: the host's HttpRequest and
// HttpResponse over an abstract body source and output sink, so that the
// FastCGI loop and the unit tests drive the same code.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

#include "frame/http.h"
#include "host/form.h"
#include "host/session.h"
#include "host/upload.h"

// The request body as it arrives.
class BodySource {
public:
    // Up to n bytes: the count, 0 at the end, below 0 when the client went
    // away or stalled.
    virtual long read(char* buffer, size_t n) = 0;

protected:
    ~BodySource() = default;
};

// Where the answer goes (the FastCGI output stream).
class OutputSink {
public:
    virtual bool write(const char* data, size_t size) = 0;

protected:
    ~OutputSink() = default;
};

// What the web server tells about the request.
struct RequestInfo {
    std::string query;          // QUERY_STRING, undecoded
    std::string remoteAddr;
    std::string contentType;
    std::string contentLength;  // as sent; empty when none
    std::string cookie;         // the Cookie header
};

struct HostLimits {
    // Form bodies are read into memory; larger ones are refused.
    int64_t maxFormBody = 1 << 20;
    // The text fields of one multipart body, together.
    size_t maxMultipartText = 1 << 20;
    // Where uploads go when the page named no pattern.
    std::string defaultUploadPattern = "/tmp/upload_XXXXXX";
};

extern const char kSessionCookie[];

class HostResponse final : public HttpResponse {
public:
    explicit HostResponse(OutputSink& out);

    void setContentType(const char* type) override;
    void setHeader(const char* name, const char* value) override;
    void addHeader(const char* name, const char* value) override;
    void sendRedirect(const char* url) override;
    void sendError(int code) override;
    void print(const char* text) override;
    size_t write(const void* buffer, size_t size, size_t count) override;
    void putChar(int byte) override;
    void render(const char* templatePath, TMPL_varlist* varlist) override;
    void setDeviceType(const char* type) override;

    // Template variables the host adds to every render.
    static constexpr const char* kLanguageVar = "LANGUAGE";
    static constexpr const char* kDeviceTypeVar = "DEVICE_TYPE";
    void setLanguage(std::string fileName) { language_ = std::move(fileName); }
    // Replaces the Set-Cookie header (the session cookie is the only one).
    void setCookie(const std::string& value);

    // Runs once, just before the header goes out.
    void onCommit(std::function<void()> hook);

    // Ends a broken exchange: answers `code` unless the header is already
    // out, and drops whatever the page sends afterwards.
    void fail(int code);
    // Sends the header of an answer that has no body yet (an empty 200 when
    // the page answered nothing) and flushes.
    void finish();

    int status() const { return status_; }
    bool committed() const { return committed_; }
    bool closed() const { return closed_; }
    static const char* reason(int code);

private:
    bool sendBody(const char* data, size_t size);
    bool commit();
    void putHeader(const std::string& name, const std::string& value, bool replace);

    OutputSink& out_;
    // A rendered page waits here until more output, the end of the request
    // or an error status: a page may answer with a form and then a status,
    // as the login page does after a failed login (the form with 401).
    std::string pending_;
    bool hasPending_ = false;
    int status_ = 200;
    std::string contentType_ = "text/html";
    std::vector<std::pair<std::string, std::string>> headers_;
    std::string language_;
    std::string deviceType_;
    bool committed_ = false;  // the header is out
    bool closed_ = false;     // the answer is complete; later output is dropped
    bool outputFailed_ = false;
    std::function<void()> onCommit_;
};

class HostRequest final : public HttpRequest {
public:
    HostRequest(RequestInfo info, BodySource& body, SessionStore& sessions, HostResponse& response,
                HostLimits limits = HostLimits());
    ~HostRequest();
    HostRequest(const HostRequest&) = delete;
    HostRequest& operator=(const HostRequest&) = delete;

    const char* getParameter(const char* name) override;
    const char** getParameterValues(const char* name) override;
    const char* getRequestURL() override;
    const char* getRemoteAddr() override;
    const char* getContentType() override;
    long getContentLength() override;
    void setLanguage(const char* fileName) override;
    HttpSession* getSession(int create) override;
    void setUploadFileTemplate(const char* pattern) override;
    int readBody(char* buffer, int n) override;

    // Checks that need no page: a usable length, a form body within its cap.
    // False after answering 400 (or 413).
    bool admit();
    // The firmware upload is the one body the web server streams to the
    // host, which serves one request at a time: only a logged-in admin's
    // may hold it. False after answering any other (403) before its body
    // is read.
    bool admitUpgrade();
    // Ends the exchange: removes uploads no page moved away, forgets
    // invalidated sessions, completes the answer.
    void finish();
    bool broken() const { return broken_; }

private:
    enum class Body { Unread, Buffered, Parsed, Raw, Done };

    void parseBody();
    void parseMultipart(const std::string& boundary);
    void markBroken(const char* why);
    long readSource(char* buffer, size_t n);
    void beforeCommit();

    RequestInfo info_;
    BodySource& body_;
    SessionStore& sessions_;
    HostResponse& response_;
    HostLimits limits_;

    std::string url_;
    int64_t contentLength_ = 0;
    int64_t remaining_ = 0;  // body bytes not yet taken from the source
    bool lengthValid_ = true;
    Body bodyState_ = Body::Unread;
    std::string formBody_;    // a buffered form body, served again by readBody
    size_t formOffset_ = 0;
    ParameterStore params_;
    std::string uploadPattern_;
    std::vector<StoredFile> uploads_;

    HostSession* session_ = nullptr;
    bool cookieLooked_ = false;
    bool broken_ = false;
};
