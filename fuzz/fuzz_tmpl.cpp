// Fuzzes the template parser and renderer.
//
// Input: the template text, then NUL-separated name/value pairs:
//   template \0 name \0 value \0 name \0 value ...
// A plain name becomes a variable. A name starting with '@' becomes a loop of
// that name with as many rows as its value has characters (at most 4), each
// holding the variables given so far. A loop "rows" of three rows holds all
// variables with the row number appended.
//
// Includes resolve in a scratch folder with a few fixed files, one of them
// including itself and one malformed. Each input is rendered twice from text
// and twice from a file (parsed, then from the parse cache); all must agree.
#include "platform/tmpl.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string scratch;

void removeScratch()
{
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
}

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) {
        fprintf(stderr, "cannot write %s\n", path.c_str());
        abort();
    }
}

const std::string& scratchDir()
{
    if (!scratch.empty())
        return scratch;
    std::string pattern = (fs::temp_directory_path() / "fuzz-tmpl-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        abort();
    scratch = pattern;
    atexit(removeScratch);
    const char* const files[][2] = {
        {"inc.htm", "[<TMPL_VAR a ESCAPE=HTML>]"},
        {"self.htm", "x<TMPL_INCLUDE self.htm>"},
        {"bad.htm", "ok\n<TMPL_IF a>"},
        {"sub/rows.htm", "<TMPL_LOOP rows><TMPL_VAR __counter__><TMPL_INCLUDE leaf.htm></TMPL_LOOP>"},
        {"sub/leaf.htm", "<TMPL_IF a><TMPL_VAR a ESCAPE=JS><TMPL_ELSE>none</TMPL_IF>"},
    };
    fs::create_directories(scratch + "/sub");
    for (const auto& file : files)
        writeFile(scratch + "/" + file[0], file[1]);
    return scratch;
}

TMPL_varlist* buildVars(const std::vector<std::string>& parts)
{
    TMPL_varlist* vars = nullptr;
    std::vector<std::pair<std::string, std::string>> plain;
    auto rowOf = [&plain](const std::string& suffix) {
        TMPL_varlist* row = TMPL_add_var(nullptr, 0);
        for (const auto& var : plain)
            row = TMPL_add_var(row, var.first.c_str(), (var.second + suffix).c_str(), 0);
        return row;
    };
    for (size_t i = 1; i + 1 < parts.size() && i < 64; i += 2) {
        const std::string& name = parts[i];
        const std::string& value = parts[i + 1];
        if (!name.empty() && name[0] == '@') {
            TMPL_loop* loop = nullptr;
            for (size_t r = 0; r < value.size() && r < 4; ++r)
                loop = TMPL_add_varlist(loop, rowOf(std::to_string(r)));
            vars = TMPL_add_loop(vars, name.c_str() + 1, loop);
        } else {
            vars = TMPL_add_var(vars, name.c_str(), value.c_str(), 0);
            plain.emplace_back(name, value);
        }
    }
    TMPL_loop* rows = nullptr;
    for (int r = 0; r < 3; ++r)
        rows = TMPL_add_varlist(rows, rowOf(std::to_string(r)));
    return TMPL_add_loop(vars, "rows", rows);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& dir = scratchDir();
    std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
        size_t nul = input.find('\0', start);
        parts.push_back(input.substr(start, nul == std::string::npos ? std::string::npos : nul - start));
        if (nul == std::string::npos)
            break;
        start = nul + 1;
    }
    const std::string& text = parts[0];
    TMPL_varlist* vars = buildVars(parts);

    std::string path = dir + "/input.htm";
    writeFile(path, text);

    std::string first, second, fromFile, cached;
    bool ok1 = TMPL_render_string(text, dir, vars, first);
    bool ok2 = TMPL_render_string(text, dir, vars, second);
    bool ok3 = TMPL_render_file(path, vars, fromFile);
    bool ok4 = TMPL_render_file(path, vars, cached);
    fs::remove(path);
    TMPL_free_varlist(vars);
    // Nothing may outlive the input, or libFuzzer checks for leaks after each.
    TMPL_clear_cache();
    if (ok1 != ok2 || first != second || ok1 != ok3 || (ok1 && first != fromFile) || ok3 != ok4 ||
        fromFile != cached) {
        fprintf(stderr, "renders disagree: %d/%d/%d/%d\n", ok1, ok2, ok3, ok4);
        abort();
    }
    return 0;
}
