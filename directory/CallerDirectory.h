// Names of callers from the local directory, for the call history.
#pragma once

#include <string>

class CallerDirectory {
public:
    // Takes in the directory changes other processes marked first.
    CallerDirectory();
    // The contact name of a number, "" when no contact has it.
    std::string nameOf(const std::string& number);
};
