// What every bench program shares: a timed loop and a temporary phone root.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace bench {

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
