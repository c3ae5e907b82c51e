#include "tools/phonesim/directory.h"

#include "platform/contactmanager.h"
#include "platform/msgids.h"
#include "platform/registry.h"

namespace phonesim {

namespace {

// Bits of the change mark: 1 the contact file, 2 the group file.
constexpr int kMarkContacts = 1;
constexpr int kMarkGroups = 2;

void markChanged(int bits)
{
    _HREGISTRY_* mark = registryOpen("/tmp/contact_update_mark.ini", "update");
    if (!mark)
        return;
    registrySetInt(mark, "type", registryGetInt(mark, "type", 0) | bits);
    registryFlush(mark);
}

}  // namespace

bool IsDirectoryExchange(const BusMessage& message)
{
    return message.kind == "send" && message.id == kMsgConfigChanged &&
           message.wparam == kDirectoryExchange;
}

int ServeDirectoryExchange(int lparam)
{
    NS_DIRECTORY::CContactLocalManager* manager = NS_DIRECTORY::CContactLocalManager::GetInstance();
    int result = NS_DIRECTORY::kExchangeInvalidFile;
    switch (lparam) {
    case 0:
        result = manager->ImportXml(kExchangeFile, true, true);
        break;
    case 1:
        return manager->ExportXml(kExchangeFile);
    case 2:
    case 3:
        result = manager->ImportXml(kExchangeFile, false, lparam == 3);
        break;
    default:
        return result;
    }
    if (result == NS_DIRECTORY::kExchangeOk)
        markChanged(kMarkContacts | kMarkGroups);
    return result;
}

}  // namespace phonesim
