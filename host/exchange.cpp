#include "host/exchange.h"

#include <cinttypes>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/multipart.h"
#include "host/upload.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/tmpl.h"

const char kSessionCookie[] = "sessionid";

namespace {

// Control characters would end a header line early (header injection).
std::string headerText(const char* text)
{
    std::string out;
    if (!text)
        return out;
    for (const char* p = text; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c >= 0x20 && c != 0x7f)
            out += *p;
    }
    return out;
}

bool sameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// A decimal length without sign or junk; false when it does not fit a long
// (the page library's type, 32 bits on the phone).
bool parseLength(const std::string& text, int64_t& out)
{
    out = 0;
    if (text.empty())
        return true;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        if (out > (INT64_MAX - 9) / 10)
            return false;
        out = out * 10 + (c - '0');
    }
    return out <= LONG_MAX;
}

const size_t kChunk = 64 * 1024;

}  // namespace

// ---------------------------------------------------------------- response

HostResponse::HostResponse(OutputSink& out) : out_(out) {}

const char* HostResponse::reason(int code)
{
    static const struct {
        int code;
        const char* text;
    } kReasons[] = {
        {200, "OK"},           {204, "No Content"},          {302, "Found"},
        {304, "Not Modified"}, {400, "Bad Request"},         {401, "Unauthorized"},
        {403, "Forbidden"},    {404, "Not Found"},           {405, "Method Not Allowed"},
        {413, "Payload Too Large"}, {500, "Internal Server Error"}, {503, "Service Unavailable"},
    };
    for (const auto& entry : kReasons) {
        if (entry.code == code)
            return entry.text;
    }
    return code < 400 ? "OK" : "Error";
}

void HostResponse::setContentType(const char* type)
{
    if (committed_ || !type)
        return;
    contentType_ = headerText(type);
}

void HostResponse::putHeader(const std::string& name, const std::string& value, bool replace)
{
    if (name.empty() || name.find(':') != std::string::npos)
        return;
    if (committed_) {
        log_log(2, 4, "header %s set after the answer began, dropped", name.c_str());
        return;
    }
    if (replace) {
        for (auto& header : headers_) {
            if (sameName(header.first, name)) {
                header.second = value;
                return;
            }
        }
    }
    headers_.emplace_back(name, value);
}

void HostResponse::setHeader(const char* name, const char* value)
{
    putHeader(headerText(name), headerText(value), true);
}

void HostResponse::addHeader(const char* name, const char* value)
{
    putHeader(headerText(name), headerText(value), false);
}

void HostResponse::setCookie(const std::string& value)
{
    putHeader("Set-Cookie", headerText(value.c_str()), true);
}

void HostResponse::sendRedirect(const char* url)
{
    if (closed_)
        return;
    if (committed_ || hasPending_) {
        log_log(2, 4, "redirect after the answer began, dropped");
        commit();
        closed_ = true;
        return;
    }
    status_ = 302;
    putHeader("Location", headerText(url), true);
    commit();
    closed_ = true;
}

void HostResponse::sendError(int code)
{
    if (closed_)
        return;
    if (committed_) {
        log_log(2, 4, "error %d after the answer began, dropped", code);
        closed_ = true;
        return;
    }
    status_ = code >= 400 && code <= 599 ? code : 500;
    if (hasPending_) {
        // The rendered page is the body of this answer.
        commit();
        closed_ = true;
        return;
    }
    contentType_ = "text/html";
    char page[256];
    int size = snprintf(page, sizeof page,
                        "<!DOCTYPE html>\n<html><head><title>%d %s</title></head>"
                        "<body><h1>%d %s</h1></body></html>\n",
                        status_, reason(status_), status_, reason(status_));
    sendBody(page, static_cast<size_t>(size));
    closed_ = true;
}

void HostResponse::print(const char* text)
{
    if (text)
        sendBody(text, strlen(text));
}

size_t HostResponse::write(const void* buffer, size_t size, size_t count)
{
    if (!buffer || size == 0 || count == 0 || count > SIZE_MAX / size)
        return 0;
    return sendBody(static_cast<const char*>(buffer), size * count) ? count : 0;
}

void HostResponse::putChar(int byte)
{
    char c = static_cast<char>(static_cast<unsigned char>(byte));
    sendBody(&c, 1);
}

void HostResponse::render(const char* templatePath, TMPL_varlist* varlist)
{
    if (closed_ || !templatePath) {
        TMPL_free_varlist(varlist);
        return;
    }
    if (!TMPL_get_var(varlist, kLanguageVar))
        varlist = TMPL_add_var(varlist, kLanguageVar, language_.c_str(), 0);
    if (!TMPL_get_var(varlist, kDeviceTypeVar))
        varlist = TMPL_add_var(varlist, kDeviceTypeVar, deviceType_.c_str(), 0);
    std::string text;
    bool ok = TMPL_render_file(phonePath(templatePath), varlist, text);
    TMPL_free_varlist(varlist);
    if (!ok) {
        log_log(2, 3, "cannot render template %s", templatePath);
        if (!committed_)
            status_ = 500;
    }
    if (!committed_ && !hasPending_) {
        pending_ = std::move(text);
        hasPending_ = true;
        return;
    }
    sendBody(text.data(), text.size());
}

void HostResponse::setDeviceType(const char* type) { deviceType_ = type ? type : ""; }

void HostResponse::onCommit(std::function<void()> hook) { onCommit_ = std::move(hook); }

bool HostResponse::commit()
{
    if (committed_)
        return !outputFailed_;
    if (onCommit_)
        onCommit_();
    committed_ = true;
    char status[64];
    snprintf(status, sizeof status, "Status: %d %s\r\n", status_, reason(status_));
    std::string header = status;
    header += "Content-Type: " + contentType_ + "\r\n";
    for (const auto& entry : headers_)
        header += entry.first + ": " + entry.second + "\r\n";
    header += "\r\n";
    if (!out_.write(header.data(), header.size()))
        outputFailed_ = true;
    if (hasPending_) {
        hasPending_ = false;
        if (!outputFailed_ && !pending_.empty() && !out_.write(pending_.data(), pending_.size()))
            outputFailed_ = true;
        std::string().swap(pending_);
    }
    return !outputFailed_;
}

bool HostResponse::sendBody(const char* data, size_t size)
{
    if (closed_ || outputFailed_ || !commit())
        return false;
    if (size > 0 && !out_.write(data, size))
        outputFailed_ = true;
    return !outputFailed_;
}

void HostResponse::fail(int code)
{
    hasPending_ = false;  // a broken exchange never sends half a page
    pending_.clear();
    if (!committed_)
        sendError(code);
    closed_ = true;
}

void HostResponse::finish()
{
    commit();
    closed_ = true;
}

// ----------------------------------------------------------------- request

HostRequest::HostRequest(RequestInfo info, BodySource& body, SessionStore& sessions,
                         HostResponse& response, HostLimits limits)
    : info_(std::move(info)), body_(body), sessions_(sessions), response_(response),
      limits_(std::move(limits))
{
    url_ = "/servlet?" + info_.query;
    for (auto& field : parseFormFields(info_.query))
        params_.add(field.first, std::move(field.second));
    lengthValid_ = parseLength(info_.contentLength, contentLength_);
    remaining_ = lengthValid_ ? contentLength_ : 0;
    response_.onCommit([this] { beforeCommit(); });
}

HostRequest::~HostRequest()
{
    response_.onCommit(nullptr);
    removeStoredFiles(uploads_);
}

bool HostRequest::admit()
{
    if (!lengthValid_) {
        markBroken("unusable Content-Length");
        return false;
    }
    if (parseHeaderValue(info_.contentType).token == "application/x-www-form-urlencoded" &&
        contentLength_ > limits_.maxFormBody) {
        markBroken("form body too large");
        return false;
    }
    return true;
}

bool HostRequest::admitUpgrade()
{
    const char* action = params_.first("q");
    if (!action || std::string(action) != "upgrade" || contentLength_ <= 0)
        return true;
    HttpSession* session = getSession(0);
    const char* user = session ? session->getAttribute("user") : nullptr;
    if (user && std::string(user) == "admin")
        return true;
    // In safe mode the phone waits for a firmware from whoever reaches it.
    char bootMode[16] = "";
    userenv_get("BOOTMODE", bootMode, sizeof bootMode);
    if (strcmp(bootMode, "safemode") == 0)
        return true;
    log_log(2, 4, "upgrade body from %s refused: not an admin session", info_.remoteAddr.c_str());
    bodyState_ = Body::Done;
    response_.fail(403);
    return false;
}

void HostRequest::finish()
{
    removeStoredFiles(uploads_);
    response_.finish();
    sessions_.endRequest();
}

void HostRequest::markBroken(const char* why)
{
    if (!broken_)
        log_log(2, 4, "bad request from %s: %s", info_.remoteAddr.c_str(), why);
    broken_ = true;
    bodyState_ = Body::Done;
    response_.fail(400);
}

long HostRequest::readSource(char* buffer, size_t n)
{
    if (remaining_ <= 0 || n == 0)
        return 0;
    if (static_cast<uint64_t>(n) > static_cast<uint64_t>(remaining_))
        n = static_cast<size_t>(remaining_);
    long got = body_.read(buffer, n);
    if (got > 0) {
        remaining_ -= got;
        return got;
    }
    markBroken(got == 0 ? "body shorter than its length" : "body read failed or stalled");
    return -1;
}

void HostRequest::parseBody()
{
    if (bodyState_ != Body::Unread)
        return;
    HeaderValue type = parseHeaderValue(info_.contentType);
    if (type.token == "application/x-www-form-urlencoded") {
        if (remaining_ > limits_.maxFormBody) {
            markBroken("form body too large");
            return;
        }
        formBody_.resize(static_cast<size_t>(remaining_));
        size_t got = 0;
        while (remaining_ > 0) {
            long n = readSource(&formBody_[got], formBody_.size() - got);
            if (n <= 0)
                return;
            got += static_cast<size_t>(n);
        }
        for (auto& field : parseFormFields(formBody_))
            params_.add(field.first, std::move(field.second));
        bodyState_ = Body::Buffered;
    } else if (type.token == "multipart/form-data") {
        const std::string* boundary = type.param("boundary");
        if (!boundary)
            markBroken("multipart body without boundary");
        else
            parseMultipart(*boundary);
    }
}

void HostRequest::parseMultipart(const std::string& boundary)
{
    UploadReceiver receiver(uploadPattern_, limits_.defaultUploadPattern, limits_.maxMultipartText);
    MultipartParser parser(boundary, receiver);
    std::vector<char> chunk(kChunk);
    bool ok = true;
    while (ok && remaining_ > 0) {
        long n = readSource(chunk.data(), chunk.size());
        if (n <= 0) {
            receiver.discard();
            return;
        }
        ok = parser.feed(chunk.data(), static_cast<size_t>(n));
    }
    if (!ok || !parser.finish()) {
        receiver.discard();
        markBroken(MultipartParser::describe(parser.error()));
        return;
    }
    for (auto& field : receiver.fields)
        params_.add(field.first, std::move(field.second));
    uploads_.insert(uploads_.end(), receiver.files.begin(), receiver.files.end());
    receiver.files.clear();
    bodyState_ = Body::Parsed;
}

const char* HostRequest::getParameter(const char* name)
{
    if (!name)
        return nullptr;
    // A field in the query is answered without touching the body, so that
    // the filter's look-ups leave an upload to the page.
    if (const char* value = params_.first(name))
        return value;
    parseBody();
    return params_.first(name);
}

const char** HostRequest::getParameterValues(const char* name)
{
    if (!name)
        return nullptr;
    parseBody();
    return params_.all(name);
}

const char* HostRequest::getRequestURL() { return url_.c_str(); }

const char* HostRequest::getRemoteAddr() { return info_.remoteAddr.c_str(); }

const char* HostRequest::getContentType() { return info_.contentType.c_str(); }

long HostRequest::getContentLength() { return lengthValid_ ? static_cast<long>(contentLength_) : 0; }

void HostRequest::setLanguage(const char* fileName) { response_.setLanguage(fileName ? fileName : ""); }

HttpSession* HostRequest::getSession(int create)
{
    if (session_ && session_->valid())
        return session_;
    if (!cookieLooked_) {
        cookieLooked_ = true;
        std::string id = cookieValue(info_.cookie, kSessionCookie);
        if (!id.empty())
            session_ = sessions_.find(id);
        if (session_)
            return session_;
    }
    if (!create)
        return nullptr;
    // A new id every time, even after invalidate() in this request: a session
    // id known before a login is worth nothing after it.
    session_ = sessions_.create();
    if (response_.committed())
        log_log(2, 4, "session created after the answer began; the client will not get it");
    response_.setCookie(std::string(kSessionCookie) + "=" + session_->id() +
                        "; Path=/; HttpOnly; SameSite=Strict");
    return session_;
}

void HostRequest::beforeCommit()
{
    // A session ended in this request and not replaced: tell the browser to
    // forget its cookie.
    if (session_ && !session_->valid())
        response_.setCookie(std::string(kSessionCookie) +
                            "=; Path=/; Max-Age=0; HttpOnly; SameSite=Strict");
}

void HostRequest::setUploadFileTemplate(const char* pattern) { uploadPattern_ = pattern ? pattern : ""; }

int HostRequest::readBody(char* buffer, int n)
{
    if (!buffer || n < 1)
        return 0;
    if (bodyState_ == Body::Buffered) {
        size_t count = std::min(static_cast<size_t>(n), formBody_.size() - formOffset_);
        memcpy(buffer, formBody_.data() + formOffset_, count);
        formOffset_ += count;
        return static_cast<int>(count);
    }
    if (bodyState_ == Body::Unread)
        bodyState_ = Body::Raw;
    if (bodyState_ != Body::Raw)
        return 0;
    long got = readSource(buffer, static_cast<size_t>(n));
    return got > 0 ? static_cast<int>(got) : 0;
}
