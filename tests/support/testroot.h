// A temporary phone root for one test: created empty, set as PHONEWEB_ROOT,
// removed with everything under it when the object goes.
#pragma once

#include <string>

class TestRoot {
public:
    TestRoot();
    ~TestRoot();
    TestRoot(const TestRoot&) = delete;
    TestRoot& operator=(const TestRoot&) = delete;

    const std::string& path() const { return path_; }
    // The real path of a phone path ("/config/x" -> "<root>/config/x").
    std::string real(const std::string& phonePath) const { return path_ + phonePath; }
    // Writes a file at a phone path, creating its folders.
    void write(const std::string& phonePath, const std::string& content) const;
    // The file's content, empty when missing.
    std::string read(const std::string& phonePath) const;
    bool exists(const std::string& phonePath) const;

private:
    std::string path_;
    std::string previous_;
    bool hadPrevious_ = false;
};
