// Contract between the web server host and the page library.
//
// The host owns requests, responses and sessions; the library only uses them
// through these operations. Handlers are created by exported factories and are
// never deleted by the library (hence no virtual destructors on the handler
// bases).
#pragma once

#include <cstddef>

struct TMPL_varlist;

class HttpSession {
public:
    // The session keeps (and later frees with free()) the heap copy passed in.
    virtual void setAttribute(const char* name, char* value) = 0;
    virtual const char* getAttribute(const char* name) = 0;
    virtual void invalidate() = 0;
    virtual void setMaxInactiveInterval(int seconds) = 0;

protected:
    ~HttpSession() = default;
};

class HttpRequest {
public:
    virtual const char* getParameter(const char* name) = 0;
    // Null-terminated array of every value of the field, or null. For an
    // upload field entry 0 is the stored file's path and entry 1 the client's
    // file name. The stored path is a phone path made from the upload
    // pattern (map it with phonePath to open it); the client's file name is
    // cut to the part after its last "/" or "\". Uploads still at their
    // stored path when the request ends are removed.
    virtual const char** getParameterValues(const char* name) = 0;
    // The URL text from "/servlet?" on.
    virtual const char* getRequestURL() = 0;
    virtual const char* getRemoteAddr() = 0;
    virtual const char* getContentType() = 0;
    virtual long getContentLength() = 0;
    virtual void setLanguage(const char* fileName) = 0;
    virtual HttpSession* getSession(int create) = 0;
    // Pattern ending in "XXXXXX"; each uploaded file gets a new file made from
    // it. Takes effect for upload fields read after the call. The pattern and
    // the stored file's path (entry 0 above) are phone paths ("/tmp/..."),
    // which the host maps under the root like every other phone path.
    virtual void setUploadFileTemplate(const char* pattern) = 0;
    // Reads up to n raw body bytes; returns the count, below 1 for nothing.
    virtual int readBody(char* buffer, int n) = 0;

protected:
    ~HttpRequest() = default;
};

class HttpResponse {
public:
    virtual void setContentType(const char* type) = 0;
    virtual void setHeader(const char* name, const char* value) = 0;
    virtual void addHeader(const char* name, const char* value) = 0;
    virtual void sendRedirect(const char* url) = 0;
    virtual void sendError(int code) = 0;
    virtual void print(const char* text) = 0;
    virtual size_t write(const void* buffer, size_t size, size_t count) = 0;
    virtual void putChar(int byte) = 0;
    // Fills the template (a phone path, mapped under the root by the host)
    // and sends it. Takes ownership of the varlist. The host adds
    // "LANGUAGE" (the request's setLanguage name) and "DEVICE_TYPE"
    // (setDeviceType) unless the page set them.
    virtual void render(const char* templatePath, TMPL_varlist* varlist) = 0;
    virtual void setDeviceType(const char* type) = 0;

protected:
    ~HttpResponse() = default;
};

class HttpServlet {
public:
    virtual void init() = 0;
    virtual int onRequest(HttpRequest* request, HttpResponse* response) = 0;
    virtual void destory() = 0;
};

// The request filter: onRequest returns 1 to pass the request on to the page,
// 0 when the response is complete.
class HttpListener {
public:
    virtual void init() = 0;
    virtual int onRequest(HttpRequest* request, HttpResponse* response) = 0;
    virtual void destory() = 0;
};

#define PHONEWEB_EXPORT extern "C" __attribute__((visibility("default")))
