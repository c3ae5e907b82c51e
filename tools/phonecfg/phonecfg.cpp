// phonecfg [--root DIR] get FIELD [--account N]
// phonecfg [--root DIR] set FIELD VALUE [--account N]
//
// Reads or writes one setting of the phone's configuration by its web field
// name. Exit status 0 on success, 2 on any error.
#include "platform/configparser.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kMaxAccount = 64;

const char kUsage[] =
    "usage: phonecfg [--root DIR] get FIELD [--account N]\n"
    "       phonecfg [--root DIR] set FIELD VALUE [--account N]\n";

int fail(const std::string& message)
{
    fprintf(stderr, "phonecfg: %s\n", message.c_str());
    return 2;
}

bool parseAccount(const char* text, int& account)
{
    errno = 0;
    char* end = nullptr;
    long value = strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value < 0 || value >= kMaxAccount)
        return false;
    account = static_cast<int>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> words;
    int account = -1;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--root" || arg == "--account") {
            if (i + 1 >= argc)
                return fail(arg + " needs a value");
            const char* value = argv[++i];
            if (arg == "--root" && setenv("PHONEWEB_ROOT", value, 1) != 0)
                return fail("cannot use the root");
            if (arg == "--account" && !parseAccount(value, account))
                return fail("the account must be a number from 0 to " + std::to_string(kMaxAccount - 1));
        } else if (arg == "-h" || arg == "--help") {
            fputs(kUsage, stdout);
            return 0;
        } else {
            words.push_back(arg);
        }
    }
    bool get = words.size() == 2 && words[0] == "get";
    bool set = words.size() == 3 && words[0] == "set";
    if (!get && !set) {
        fputs(kUsage, stderr);
        return 2;
    }
    if (words[1].empty())
        return fail("the field name is empty");
    std::string name = account < 0 ? words[1]
                                   : configParser_GetAccountConfigName(words[1].c_str(), account);
    if (get) {
        // A typing error must not read as an empty setting.
        if (!configParser_HasConfig(name.c_str()))
            return fail("unknown field " + name + " (neither stored nor a factory default)");
        printf("%s\n", configParser_GetConfigString(name.c_str()).c_str());
        return 0;
    }
    int result = configParser_SetConfigString(name.c_str(), words[2].c_str());
    if (result < 0)
        return fail("cannot store " + name);
    if (result == 0)
        fputs("unchanged\n", stderr);
    return 0;
}
