// Small text helpers shared by the platform stand-ins and the host.
#pragma once

#include <string>
#include <vector>

// The text without the given characters at either end.
std::string trim(const std::string& text, const char* blanks = " \t");
// ASCII lower case; other bytes stay as they are.
std::string lower(std::string text);
// The lines of a text split at '\n', each without a '\r' before it. A last
// line without '\n' counts; an empty text has no lines.
std::vector<std::string> splitLines(const std::string& text);
