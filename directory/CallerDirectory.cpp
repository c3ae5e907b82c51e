#include "directory/CallerDirectory.h"

#include "directory/ContactsCommon.h"
#include "platform/contactmanager.h"

CallerDirectory::CallerDirectory()
{
    ContactManagerUpToDate();
}

std::string CallerDirectory::nameOf(const std::string& number)
{
    NS_DIRECTORY::CContactLocalManager* manager = NS_DIRECTORY::CContactLocalManager::GetInstance();
    return manager ? manager->GetContactNameByPhoneNumber(number.c_str()) : std::string();
}
