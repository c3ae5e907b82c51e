#include "tests/support/fakes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "host/form.h"
#include "platform/system.h"
#include "platform/tmpl.h"

namespace {

LogCapture* activeCapture = nullptr;

void CaptureSink(int, int level, const char* line)
{
    if (activeCapture)
        activeCapture->lines.push_back({level, line ? line : ""});
}

}  // namespace

// ---- FakeSession -----------------------------------------------------------

void FakeSession::setAttribute(const char* name, char* value)
{
    if (name)
        attributes[name] = value ? value : "";
    free(value);
}

const char* FakeSession::getAttribute(const char* name)
{
    auto found = name ? attributes.find(name) : attributes.end();
    return found == attributes.end() ? nullptr : found->second.c_str();
}

void FakeSession::invalidate()
{
    attributes.clear();
    invalidated = true;
}

void FakeSession::setMaxInactiveInterval(int seconds)
{
    maxInactiveInterval = seconds;
}

// ---- FakeRequest -----------------------------------------------------------

FakeRequest::FakeRequest(const std::string& url) : url_(url)
{
    size_t query = url.find('?');
    if (query == std::string::npos)
        return;
    // The query is split and decoded as the host does it.
    for (auto& field : parseFormFields(url.substr(query + 1)))
        params_[field.first].push_back(std::move(field.second));
}

FakeRequest::~FakeRequest() = default;

FakeRequest& FakeRequest::setPost(std::initializer_list<std::pair<std::string, std::string>> fields)
{
    for (const auto& field : fields)
        params_[field.first].push_back(field.second);
    return *this;
}

FakeRequest& FakeRequest::setParam(const std::string& name, const std::string& value)
{
    params_[name] = Texts{value};
    return *this;
}

FakeRequest& FakeRequest::removeParam(const std::string& name)
{
    params_.erase(name);
    return *this;
}

FakeRequest& FakeRequest::setUpload(const std::string& field, const std::string& storedPath,
                                    const std::string& clientName)
{
    params_[field] = Texts{storedPath, clientName};
    return *this;
}

FakeRequest& FakeRequest::setBody(const std::string& body)
{
    body_ = body;
    bodyRead_ = 0;
    return *this;
}

FakeRequest& FakeRequest::setContentLength(long length)
{
    contentLength_ = length;
    return *this;
}

FakeRequest& FakeRequest::setContentTypeHeader(const std::string& type)
{
    contentType_ = type;
    return *this;
}

FakeRequest& FakeRequest::setRemoteAddr(const std::string& address)
{
    remoteAddr_ = address;
    return *this;
}

FakeRequest& FakeRequest::login(const std::string& identity)
{
    session_.attributes["user"] = identity;
    return *this;
}

const char* FakeRequest::getParameter(const char* name)
{
    auto found = name ? params_.find(name) : params_.end();
    if (found == params_.end() || found->second.empty())
        return nullptr;
    return found->second.front().c_str();
}

const char** FakeRequest::getParameterValues(const char* name)
{
    auto found = name ? params_.find(name) : params_.end();
    if (found == params_.end() || found->second.empty())
        return nullptr;
    std::vector<const char*>& array = valueArrays_[name];
    array.clear();
    for (const std::string& value : found->second)
        array.push_back(value.c_str());
    array.push_back(nullptr);
    return array.data();
}

long FakeRequest::getContentLength()
{
    if (contentLength_ >= 0)
        return contentLength_;
    return static_cast<long>(body_.size());
}

HttpSession* FakeRequest::getSession(int)
{
    ++sessionRequests;
    return &session_;
}

void FakeRequest::setUploadFileTemplate(const char* pattern)
{
    uploadTemplates.push_back(pattern ? pattern : "");
}

int FakeRequest::readBody(char* buffer, int n)
{
    if (!buffer || n < 1 || bodyRead_ >= body_.size())
        return 0;
    size_t count = std::min(static_cast<size_t>(n), body_.size() - bodyRead_);
    memcpy(buffer, body_.data() + bodyRead_, count);
    bodyRead_ += count;
    return static_cast<int>(count);
}

// ---- FakeResponse ----------------------------------------------------------

FakeResponse::~FakeResponse()
{
    TMPL_free_varlist(varlist_);
}

void FakeResponse::setHeader(const char* name, const char* value)
{
    headers.emplace_back(name ? name : "", value ? value : "");
}

void FakeResponse::addHeader(const char* name, const char* value)
{
    headers.emplace_back(name ? name : "", value ? value : "");
}

void FakeResponse::sendRedirect(const char* url)
{
    redirect = url ? url : "";
}

void FakeResponse::print(const char* text)
{
    if (text)
        body += text;
}

size_t FakeResponse::write(const void* buffer, size_t size, size_t count)
{
    if (!buffer)
        return 0;
    body.append(static_cast<const char*>(buffer), size * count);
    return count;
}

void FakeResponse::render(const char* templatePath, TMPL_varlist* varlist)
{
    TMPL_free_varlist(varlist_);
    varlist_ = varlist;
    rendered = templatePath ? templatePath : "";
    ++renderCount;
}

bool FakeResponse::answered() const
{
    return status != 0 || !redirect.empty() || !body.empty() || renderCount > 0;
}

std::string FakeResponse::header(const std::string& name) const
{
    std::string value;
    for (const auto& entry : headers) {
        if (entry.first == name)
            value = entry.second;
    }
    return value;
}

std::string FakeResponse::var(const std::string& name) const
{
    return VarOf(varlist_, name);
}

bool FakeResponse::hasVar(const std::string& name) const
{
    return varlist_ && TMPL_get_var(varlist_, name.c_str());
}

int FakeResponse::loopSize(const std::string& loop) const
{
    const TMPL_loop* found = varlist_ ? TMPL_get_loop(varlist_, loop.c_str()) : nullptr;
    return found ? TMPL_loop_size(found) : -1;
}

std::string FakeResponse::loopVar(const std::string& loop, int row, const std::string& name) const
{
    const TMPL_loop* found = varlist_ ? TMPL_get_loop(varlist_, loop.c_str()) : nullptr;
    const TMPL_varlist* rowList = found ? TMPL_loop_row(found, row) : nullptr;
    const char* value = rowList ? TMPL_get_var(rowList, name.c_str()) : nullptr;
    return value ? value : "";
}

Texts FakeResponse::loopColumn(const std::string& loop, const std::string& name) const
{
    return LoopColumn(varlist_ ? TMPL_get_loop(varlist_, loop.c_str()) : nullptr, name);
}

Texts LoopColumn(const TMPL_loop* loop, const std::string& name)
{
    Texts column;
    int rows = loop ? TMPL_loop_size(loop) : 0;
    for (int row = 0; row < rows; ++row) {
        const char* value = TMPL_get_var(TMPL_loop_row(loop, row), name.c_str());
        column.push_back(value ? value : "");
    }
    return column;
}

std::string VarOf(const TMPL_varlist* varlist, const std::string& name)
{
    const char* value = varlist ? TMPL_get_var(varlist, name.c_str()) : nullptr;
    return value ? value : "";
}

void TmplFree::operator()(TMPL_varlist* list) const
{
    TMPL_free_varlist(list);
}

void TmplFree::operator()(TMPL_loop* loop) const
{
    TMPL_free_loop(loop);
}

// ---- LogCapture ------------------------------------------------------------

LogCapture::LogCapture()
{
    activeCapture = this;
    log_set_sink(CaptureSink);
}

LogCapture::~LogCapture()
{
    log_set_sink(nullptr);
    activeCapture = nullptr;
}

bool LogCapture::contains(const std::string& text) const
{
    return std::any_of(lines.begin(), lines.end(),
                       [&](const Line& line) { return line.text.find(text) != std::string::npos; });
}
