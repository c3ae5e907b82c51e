#include "tests/support/webusers.h"

#include <stdexcept>

#include "auth/filePassword.h"
#include "platform/configparser.h"
#include "platform/paths.h"

void SeedWebUsers(bool varEnabled)
{
    configParser_SetConfigString("UserNameAdmin", "admin");
    configParser_SetConfigString("UserNameVar", "var");
    configParser_SetConfigString("UserNameUser", "user");
    configParser_SetConfigString("AdvancedVarEnabled", varEnabled ? "1" : "0");
    configParser_SetConfigString("ReLogOffTime", "");
    makeDirs(phonePath("/config/data"));
    filePassword file(kPasswordFile);
    for (const char* name : {"admin", "var", "user", "guest"})
        file.SetUserPassword(name, name);
    if (file.SaveToFile(kPasswordFile) != 1)
        throw std::runtime_error("cannot write the test password file");
}
