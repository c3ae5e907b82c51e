#include "tools/phonesim/simcalls.h"

#include <pugixml.hpp>

#include <iterator>
#include <sstream>
#include <string>

#include "platform/configparser.h"
#include "platform/msgids.h"
#include "platform/paths.h"

namespace phonesim {

namespace {

constexpr char kHistoryFile[] = "/config/data/call_data.xml";
// The phone keeps this many calls; older ones drop out.
constexpr int kMaxCalls = 100;

// The pages add 100 (directory) or 1100 (call history) to the account.
int AccountOf(unsigned int wparam)
{
    return static_cast<int>(wparam >= 1100 ? wparam - 1100 : wparam >= 100 ? wparam - 100 : wparam);
}

std::string AccountValue(const char* field, int account)
{
    return configParser_GetConfigString(configParser_GetAccountConfigName(field, account).c_str());
}

}  // namespace

bool RecordCall(const BusMessage& message, long long now)
{
    if (message.id != kMsgMakeCall)
        return false;
    std::string dialed(message.data.c_str());  // up to the first zero byte
    if (dialed.empty())
        return false;
    std::string number = dialed, server;
    size_t at = dialed.find('@');
    if (at != std::string::npos) {
        number = dialed.substr(0, at);
        server = dialed.substr(at + 1);
    }
    int account = AccountOf(message.wparam);
    std::string path = phonePath(kHistoryFile);
    pugi::xml_document document;
    document.load_file(path.c_str());
    pugi::xml_node root = document.first_child();
    if (!root)
        root = document.append_child("root_call_data");
    pugi::xml_node item = root.append_child("item");
    item.append_attribute("type") = "1";
    item.append_attribute("local_sip_name") = AccountValue("AccountUserName", account).c_str();
    item.append_attribute("local_sip_server") = AccountValue("AccountSIPServerHost", account).c_str();
    item.append_attribute("remote_display_name") = "";
    item.append_attribute("remote_sip_name") = number.c_str();
    item.append_attribute("remote_sip_server") = server.c_str();
    item.append_attribute("born_tick") = now;
    auto items = root.children("item");
    for (auto calls = std::distance(items.begin(), items.end()); calls > kMaxCalls; --calls)
        root.remove_child(root.child("item"));
    std::ostringstream text;
    document.save(text, "\t");
    return makeDirs(path.substr(0, path.rfind('/'))) && writeFileAtomic(path, text.str());
}

}  // namespace phonesim
