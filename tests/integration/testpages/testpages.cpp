// Pages for testing the host over HTTP, loaded by the host in place of the
// real page library (with --page NAME=FACTORY options). Each answers plain
// text that the tests read back.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "frame/http.h"
#include "platform/paths.h"
#include "platform/tmpl.h"

namespace {

std::string text(const char* value) { return value ? value : "(null)"; }

long long fileSize(const std::string& phone)
{
    struct stat st;
    return stat(phonePath(phone).c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

void answer(HttpResponse* response, const std::string& body)
{
    response->setContentType("text/plain");
    response->print(body.c_str());
}

// "echo": every value of each field named in "show" (comma-separated), one
// line each, plus what the request says about itself.
struct EchoPage final : HttpServlet {
    void init() override {}
    void destory() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override
    {
        std::string out = "url=" + text(request->getRequestURL()) + "\n";
        out += "remote=" + text(request->getRemoteAddr()) + "\n";
        std::string show = text(request->getParameter("show"));
        size_t pos = 0;
        while (pos <= show.size()) {
            size_t comma = show.find(',', pos);
            std::string name = show.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
            out += name + "=";
            const char** values = request->getParameterValues(name.c_str());
            for (int i = 0; values && values[i]; ++i)
                out += (i ? "|" : "") + std::string(values[i]);
            if (!values)
                out += "(null)";
            out += "\n";
            if (comma == std::string::npos)
                break;
            pos = comma + 1;
        }
        answer(response, out);
        return 1;
    }
};

// "upload": stores the field "field" under the pattern "pattern" (when
// given) and moves it to "claim" (a phone path) when asked.
struct UploadPage final : HttpServlet {
    void init() override {}
    void destory() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override
    {
        const char* pattern = request->getParameter("pattern");
        if (pattern)
            request->setUploadFileTemplate(pattern);
        const char* field = request->getParameter("field");
        const char** values = request->getParameterValues(field ? field : "file");
        if (!values || !values[0]) {
            answer(response, "path=(null)\n");
            return 1;
        }
        std::string out = "path=" + std::string(values[0]) + "\n";
        out += "name=" + text(values[1]) + "\n";
        out += "size=" + std::to_string(fileSize(values[0])) + "\n";
        if (const char* claim = request->getParameter("claim")) {
            bool moved = rename(phonePath(values[0]).c_str(), phonePath(claim).c_str()) == 0;
            out += std::string("claimed=") + (moved ? "yes" : "no") + "\n";
        }
        answer(response, out);
        return 1;
    }
};

// "raw": reads the whole body with readBody and reports its length and an
// FNV-1a checksum.
struct RawPage final : HttpServlet {
    void init() override {}
    void destory() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override
    {
        std::vector<char> buffer(64 * 1024);
        uint64_t hash = 1469598103934665603ull;
        long long length = 0;
        int n;
        while ((n = request->readBody(buffer.data(), static_cast<int>(buffer.size()))) > 0) {
            for (int i = 0; i < n; ++i)
                hash = (hash ^ static_cast<unsigned char>(buffer[static_cast<size_t>(i)])) * 1099511628211ull;
            length += n;
        }
        char out[128];
        snprintf(out, sizeof out, "length=%lld\nfnv=%016" PRIx64 "\n", length, hash);
        answer(response, out);
        return 1;
    }
};

// "render": renders the template "t" (under the template folder) with the
// variable "greeting" from the field of that name.
struct RenderPage final : HttpServlet {
    void init() override {}
    void destory() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override
    {
        if (const char* language = request->getParameter("lang"))
            request->setLanguage(language);
        response->setDeviceType("46");
        std::string path = "/phone/www/WEB-INFO/template/" + text(request->getParameter("t"));
        TMPL_varlist* vars = TMPL_add_var(nullptr, "greeting", request->getParameter("greeting"), 0);
        response->render(path.c_str(), vars);
        return 1;
    }
};

// "fixed": a fixed body of "size" bytes (default 4096), for measuring the
// host's own cost.
struct FixedPage final : HttpServlet {
    std::string body;
    void init() override {}
    void destory() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override
    {
        const char* size = request->getParameter("size");
        size_t want = size ? strtoul(size, nullptr, 10) : 4096;
        if (want > (1u << 20))
            want = 1u << 20;
        if (body.size() != want) {
            body.assign(want, 'x');
            for (size_t i = 64; i < want; i += 65)
                body[i] = '\n';
        }
        response->setContentType("text/html");
        response->write(body.data(), 1, body.size());
        return 1;
    }
};

// "session": q=set (user=...), get, timeout (seconds=...), invalidate, renew
// (invalidate, then a new session holding user=...).
struct SessionPage final : HttpServlet {
    void init() override {}
    void destory() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override
    {
        std::string q = text(request->getParameter("q"));
        HttpSession* session = request->getSession(1);
        const char* user = request->getParameter("user");
        if (q == "set" && user) {
            session->setAttribute("user", strdup(user));
        } else if (q == "timeout") {
            const char* seconds = request->getParameter("seconds");
            session->setMaxInactiveInterval(seconds ? atoi(seconds) : 0);
        } else if (q == "invalidate") {
            session->invalidate();
        } else if (q == "renew") {
            session->invalidate();
            session = request->getSession(1);
            if (user)
                session->setAttribute("user", strdup(user));
        }
        const char* current = session->getAttribute("user");
        answer(response, "user=" + text(current) + "\n");
        return 1;
    }
};

// "status": q=error&code=N answers sendError(N); q=redirect redirects.
struct StatusPage final : HttpServlet {
    void init() override {}
    void destory() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override
    {
        std::string q = text(request->getParameter("q"));
        if (q == "error") {
            const char* code = request->getParameter("code");
            response->sendError(code ? atoi(code) : 500);
        } else if (q == "redirect") {
            response->sendRedirect("/servlet?p=status&q=load");
        }
        return 1;
    }
};

}  // namespace

PHONEWEB_EXPORT HttpServlet* createTestEchoServlet() { return new EchoPage; }
PHONEWEB_EXPORT HttpServlet* createTestUploadServlet() { return new UploadPage; }
PHONEWEB_EXPORT HttpServlet* createTestRawServlet() { return new RawPage; }
PHONEWEB_EXPORT HttpServlet* createTestRenderServlet() { return new RenderPage; }
PHONEWEB_EXPORT HttpServlet* createTestFixedServlet() { return new FixedPage; }
PHONEWEB_EXPORT HttpServlet* createTestSessionServlet() { return new SessionPage; }
PHONEWEB_EXPORT HttpServlet* createTestStatusServlet() { return new StatusPage; }
