#include "tests/support/testroot.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TestRoot::TestRoot()
{
    std::string pattern = (fs::temp_directory_path() / "phoneweb-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    if (const char* old = getenv("PHONEWEB_ROOT")) {
        previous_ = old;
        hadPrevious_ = true;
    }
    setenv("PHONEWEB_ROOT", path_.c_str(), 1);
}

TestRoot::~TestRoot()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
    if (hadPrevious_)
        setenv("PHONEWEB_ROOT", previous_.c_str(), 1);
    else
        unsetenv("PHONEWEB_ROOT");
}

void TestRoot::write(const std::string& phonePath, const std::string& content) const
{
    fs::path file = real(phonePath);
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string TestRoot::read(const std::string& phonePath) const
{
    std::ifstream in(real(phonePath), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool TestRoot::exists(const std::string& phonePath) const
{
    return fs::exists(real(phonePath));
}
