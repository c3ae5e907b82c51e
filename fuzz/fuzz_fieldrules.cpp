// Fuzzes the field rules and access levels the frame applies to posted text.
//
// Input: a field name, a newline, then the value (also read as a level).
// Checks what must hold for every input: an accepted value is at most 1023
// characters without control characters, an accepted port is a number in
// 1 .. 65535, an accepted host holds no blank, and a level that does not
// begin with a digit shows nothing.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "frame/fieldrules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t end = input.find('\n');
    std::string field = input.substr(0, end);
    std::string value = end == std::string::npos ? std::string() : input.substr(end + 1);
    value = value.substr(0, value.find('\0'));
    field = field.substr(0, field.find('\0'));

    for (const char* name : {field.c_str(), "AccountSIPListenPort", "AccountStunServerHost",
                             "AccountExpire", "AccountTransport", "AnyField"}) {
        if (CheckFieldValue(name, value.c_str()))
            continue;
        if (value.size() > kConfigValueMax)
            abort();
        for (unsigned char c : value)
            if (c < 0x20 || c == 0x7f)
                abort();
        if (strcmp(name, "AccountSIPListenPort") == 0) {
            long port = strtol(value.c_str(), nullptr, 10);
            if (port < 1 || port > 65535)
                abort();
        }
        if (strcmp(name, "AccountStunServerHost") == 0 && value.find(' ') != std::string::npos)
            abort();
    }
    FindFieldRule(field.c_str());
    for (int rank = 1; rank <= 3; ++rank) {
        FieldAccess access = LevelAccess(value, rank);
        if (!value.empty() && (value[0] < '0' || value[0] > '9') && access != FieldAccess::Hidden)
            abort();
    }
    return 0;
}
