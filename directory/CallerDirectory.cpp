#include "directory/CallerDirectory.h"

// Replaced by the contact manager's look-up once the local directory lands.
CallerDirectory::CallerDirectory() {}

std::string CallerDirectory::nameOf(const std::string&)
{
    return std::string();
}
