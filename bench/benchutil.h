// What every bench program shares: a timed loop and a temporary phone root.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "frame/http.h"

namespace bench {

// A session of a logged-in admin.
class AdminSession : public HttpSession {
public:
    void setAttribute(const char*, char* value) override { free(value); }
    const char* getAttribute(const char*) override { return "admin"; }
    void invalidate() override {}
    void setMaxInactiveInterval(int) override {}
};

// A request of the admin with a fixed URL and the fields set in `fields`.
class Request : public HttpRequest {
public:
    explicit Request(const char* url) : url_(url) {}
    std::map<std::string, std::string> fields;
    const char* getParameter(const char* name) override
    {
        auto it = fields.find(name);
        return it == fields.end() ? nullptr : it->second.c_str();
    }
    const char** getParameterValues(const char*) override { return nullptr; }
    const char* getRequestURL() override { return url_; }
    const char* getRemoteAddr() override { return "127.0.0.1"; }
    const char* getContentType() override { return ""; }
    long getContentLength() override { return 0; }
    void setLanguage(const char*) override {}
    HttpSession* getSession(int) override { return &session_; }
    void setUploadFileTemplate(const char*) override {}
    int readBody(char*, int) override { return 0; }

private:
    const char* url_;
    AdminSession session_;
};

// Runs body(i) for i in 0 .. rounds-1 and prints the mean time per call.
template <typename Body>
void measure(const char* what, int rounds, Body body)
{
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i)
        body(i);
    double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    printf("%-48s %10.2f us/op  (%d ops)\n", what, us / rounds, rounds);
}

// A fresh folder under the system's temporary folder, removed at the end.
// With setRoot it also becomes PHONEWEB_ROOT.
class TempDir {
public:
    explicit TempDir(bool setRoot = true)
    {
        path_ = (std::filesystem::temp_directory_path() / "phoneweb-bench-XXXXXX").string();
        if (!mkdtemp(path_.data())) {
            perror("mkdtemp");
            exit(1);
        }
        if (setRoot)
            setenv("PHONEWEB_ROOT", path_.c_str(), 1);
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace bench

using bench::measure;
