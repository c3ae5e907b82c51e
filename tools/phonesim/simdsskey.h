// The BLF-list exchange file the phone leaves before it answers the key
// status query: the values of the BLF List keys of one key set, from the
// "[blflist]" section of phonesim's state file.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/msgbus.h"

namespace phonesim {

// Entries "<set>.<key number> = value|label|extension", set "line",
// "memory" or "exp" (wparam 0, 1, 2 of the query). The text is records
// "<key number>?V<value>?L<label>?E<extension>" joined by "$".
std::string BlfListText(const std::vector<std::pair<std::string, std::string>>& section,
                        unsigned int wparam);

// Writes "/tmp/tmpBLFListValues" for an answered key status query.
void WriteBlfListFile(const std::vector<std::pair<std::string, std::string>>& section,
                      const BusMessage& message, bool answered);

}  // namespace phonesim
