#include "tools/phonesim/simdsskey.h"

#include "platform/msgids.h"
#include "platform/paths.h"

namespace phonesim {

std::string BlfListText(const std::vector<std::pair<std::string, std::string>>& section,
                        unsigned int wparam)
{
    static const char* const kSets[] = {"line.", "memory.", "exp."};
    if (wparam > 2)
        return "";
    std::string prefix = kSets[wparam];
    std::string text;
    for (const auto& entry : section) {
        if (entry.first.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::string record = entry.first.substr(prefix.size());
        // The fields are tagged; "?" and "$" would split records, so drop them.
        const char kTags[] = {'V', 'L', 'E'};
        size_t start = 0;
        for (char tag : kTags) {
            size_t bar = entry.second.find('|', start);
            std::string field = start <= entry.second.size() ? entry.second.substr(start, bar - start) : "";
            std::string clean;
            for (char c : field)
                if (c != '?' && c != '$')
                    clean += c;
            record += std::string("?") + tag + clean;
            start = bar == std::string::npos ? entry.second.size() + 1 : bar + 1;
        }
        text += (text.empty() ? "" : "$") + record;
    }
    return text;
}

void WriteBlfListFile(const std::vector<std::pair<std::string, std::string>>& section,
                      const BusMessage& message, bool answered)
{
    if (answered && message.kind == "send" && message.id == kMsgKeyStatusList)
        writeFileAtomic(phonePath("/tmp/tmpBLFListValues"), BlfListText(section, message.wparam));
}

}  // namespace phonesim
