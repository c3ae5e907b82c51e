// Fuzzes the Action URI text handling: trust patterns, command types, the
// item rebuilding and the address suffix.
//
// Input: a trust pattern, a newline, an address, a newline, then the query.
// Checks what must hold for every input: a pattern with anything but digits,
// dots and stars never matches, a match covers an address of digits and
// dots only, rebuilt items stay within their limit, and the suffix never
// overruns the command buffer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "remote/actionuri.h"

namespace {

std::string TakeLine(std::string& rest)
{
    size_t end = rest.find('\n');
    std::string line = rest.substr(0, end);
    rest.erase(0, end == std::string::npos ? rest.size() : end + 1);
    return line;
}

bool Only(const std::string& text, const char* allowed)
{
    return text.find_first_not_of(allowed) == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string rest(reinterpret_cast<const char*>(data), size);
    std::string pattern = TakeLine(rest);
    std::string address = TakeLine(rest);
    // The functions take C texts: cut at the first zero as a caller would.
    pattern = pattern.c_str();
    address = address.c_str();
    std::string query = rest.c_str();

    int match = MatchTrustPattern(pattern.c_str(), address.c_str());
    if (match == 1 && (!Only(pattern, "0123456789.*") || !Only(address, "0123456789.")))
        abort();
    if (match == -1)
        abort();  // the expressions built are always valid

    char type[kURITypeSize];
    getURIType(query.c_str(), type);
    if (strlen(type) >= kURITypeSize || (type[0] && query.compare(0, strlen(type), type) != 0))
        abort();

    std::string text;
    if (RebuildActionItems(query.c_str(), kRebuildItemLimit, text)) {
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find('&', start);
            if (end == std::string::npos)
                end = text.size();
            if (end - start > kActionItemMax)
                abort();
            start = end + 1;
        }
    }

    char command[kActionCommandMax + 1];
    snprintf(command, sizeof command, "%s", query.c_str());
    if (AddIPtoURI(command, sizeof command, address.c_str()) == 1 &&
        strlen(command) != std::min(query.size(), kActionCommandMax) + 5 + address.size())
        abort();
    return 0;
}
