#include "tools/phonesim/answerfiles.h"

#include <cstring>

#include "platform/paths.h"

namespace phonesim {

namespace {

constexpr char kUserStore[] = "/config/system/config.cfg";
constexpr char kPhonecfgFile[] = "/tmp/phonecfg.ini";
constexpr char kCstaResponseFile[] = "/tmp/CSTAResponseXml.xml";
constexpr char kCstaNamespace[] = "http://www.ecma-international.org/standards/ecma-323/csta/ed3";

// The local name of the document's root element, "" when there is none.
std::string RootElementName(const std::string& document)
{
    size_t at = 0;
    for (;;) {
        at = document.find('<', at);
        if (at == std::string::npos || at + 1 >= document.size())
            return "";
        char next = document[at + 1];
        if (next != '?' && next != '!')
            break;
        // Skip the declaration, comments and the doctype.
        at = document.find('>', at);
        if (at == std::string::npos)
            return "";
    }
    static const char kNameChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-.:";
    size_t start = at + 1;
    size_t end = start;
    while (end < document.size() && strchr(kNameChars, document[end]) && document[end] != '\0')
        ++end;
    std::string name = document.substr(start, end - start);
    size_t colon = name.rfind(':');
    if (colon != std::string::npos)
        name.erase(0, colon + 1);
    // A name must not begin with a digit, "-" or ".".
    if (!name.empty() && strchr("0123456789-.", name[0]))
        return "";
    return name;
}

}  // namespace

std::string PhonecfgText()
{
    std::string settings;
    readWholeFile(phonePath(kUserStore), settings);
    if (!settings.empty() && settings.back() != '\n')
        settings += '\n';
    return "# phonecfg.ini exported by the phone\n" + settings;
}

std::string CstaResponseText(const std::string& request, int result)
{
    std::string size = "<!-- request of " + std::to_string(request.size()) + " bytes -->\n";
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    if (result == 0) {
        return text + "<CSTAErrorCode xmlns=\"" + kCstaNamespace + "\">\n" + size +
               "<operation>generic</operation>\n</CSTAErrorCode>\n";
    }
    std::string name = RootElementName(request);
    std::string root = (name.empty() ? std::string("CSTA") : name) + "Response";
    return text + "<" + root + " xmlns=\"" + kCstaNamespace + "\">\n" + size + "</" + root + ">\n";
}

void WriteAnswerFiles(const BusMessage& message, bool answered, int result)
{
    if (!answered || message.kind != "send")
        return;
    if (message.id == kMsgExportPhonecfg && result == 1)
        writeFileAtomic(phonePath(kPhonecfgFile), PhonecfgText());
    else if (message.id == kMsgCstaRequest)
        writeFileAtomic(phonePath(kCstaResponseFile), CstaResponseText(message.data, result));
}

}  // namespace phonesim
