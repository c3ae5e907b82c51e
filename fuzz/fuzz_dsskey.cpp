// Fuzzes what the key page reads from the phone and writes for its script:
// the BLF-list exchange text and the quoting of the type-change answer.
//
// Input: a key number, a newline, then the exchange text. Checks that a
// found record's fields lie inside the text and hold no separator, that a
// miss leaves the fields empty, and that every text quoted for the script
// stays one string: no bare quote, control or markup character, and every
// backslash starts an escape.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dsskey/DssKeyModel.h"
#include "dsskey/DssKeyServlet.h"

namespace {

void CheckQuoted(const std::string& text)
{
    std::string quoted = DsskeyScriptText(text);
    for (size_t i = 0; i < quoted.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(quoted[i]);
        if (c < 0x20 || c == 0x7F || c == '"' || c == '<' || c == '>')
            abort();
        if (c == '\\') {
            if (i + 1 >= quoted.size() || !strchr("\\\"u", quoted[i + 1]))
                abort();
            ++i;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t line = input.find('\n');
    long long wanted = strtoll(input.substr(0, line).c_str(), nullptr, 10);
    int number = wanted < 0 || wanted > 1000000 ? 0 : static_cast<int>(wanted);
    std::string text = line == std::string::npos ? "" : input.substr(line + 1);
    std::string fields[3] = {"x", "y", "z"};
    bool found = ParseBlfListRecord(text, number, fields);
    for (const std::string& field : fields) {
        if (!found && !field.empty())
            abort();
        if (field.find_first_of("?$") != std::string::npos || text.find(field) == std::string::npos)
            abort();
        CheckQuoted(field);
    }
    CheckQuoted(text);
    return 0;
}
