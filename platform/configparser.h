// Configuration parser: every setting is addressed by its web field name.
//
// Values come from the user store "/config/system/config.cfg" and, for
// settings never written there, from the factory file
// "/phone/factory/config.cfg". Both are text files of "name=value" lines
// ("#" starts a comment line; "\\", "\n" and "\r" escape those characters
// in values). Per-account settings are stored under the account's own name,
// "<field>.<account>" (configParser_GetAccountConfigName); the factory file
// may give one default for every account as "<field>.*".
#pragma once

#include <string>
#include <utility>
#include <vector>

std::string configParser_GetConfigString(const char* name);
// True when the user store or the factory file holds the name.
bool configParser_HasConfig(const char* name);
// Stores the value; 1 when the stored value changed, 0 when it was already
// that value, -1 when the store could not be written.
int configParser_SetConfigString(const char* name, const char* value);
std::string configParser_GetAccountConfigName(const char* name, int account);
// The value read as a decimal integer; 0 when unset or not a number.
int configParser_GetConfigInt(const char* name);

// Stores several values with one save (one write and fsync of the store),
// all or nothing. `changed` (when given) gets one entry per item: 1 changed,
// 0 already that value. Returns how many changed, or -1 when the store could
// not be written (then nothing changed).
int configParser_SetConfigStrings(const std::vector<std::pair<std::string, std::string>>& items,
                                  std::vector<int>* changed = nullptr);

// Test hook: the next `count` saves fail as if the disk were full and leave
// the store as it was (-1: every save fails until called again with 0).
void configParser_FailNextWrites(int count);

// Starts a new request of a single-threaded server. From the first call on,
// each store file is checked for changes on disk at most once per request
// instead of at every read (a page reads a hundred settings; two stat calls
// each dominated the page's cost). Writes through this parser are seen at
// once either way. Processes that never call it check at every read.
void configParser_BeginRequest();
