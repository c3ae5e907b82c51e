#include "remote/pushxml.h"

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/http.h"
#include "platform/configparser.h"
#include "platform/msgbus.h"
#include "platform/msgids.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "remote/filereply.h"

namespace {

constexpr char kPhoneThread[] = "app_vpPhone";
constexpr char kPushXmlFile[] = "/tmp/XmlBrowserFile.xml";
constexpr char kCstaResponseFile[] = "/tmp/CSTAResponseXml.xml";
constexpr char kPushPrefix[] = "xml=";

enum class BodyStatus { Read, Missing, TooLarge };

// Reads the whole body the request announces. A body over kRemoteBodyMax is
// refused before any of it is read; the host streams the body, so one
// readBody may deliver less than asked.
BodyStatus ReadRequestBody(HttpRequest* request, std::vector<char>& body)
{
    body.clear();
    long length = request->getContentLength();
    if (length < 1)
        return BodyStatus::Missing;
    if (length > kRemoteBodyMax)
        return BodyStatus::TooLarge;
    body.resize(static_cast<size_t>(length));
    size_t got = 0;
    while (got < body.size()) {
        int n = request->readBody(body.data() + got, static_cast<int>(body.size() - got));
        if (n < 1)
            break;
        got += static_cast<size_t>(n);
    }
    body.resize(got);
    return got > 0 ? BodyStatus::Read : BodyStatus::Missing;
}

void TrimBlanks(std::string& text)
{
    size_t first = text.find_first_not_of(" \t");
    size_t last = text.find_last_not_of(" \t");
    text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// The XML text of a push, empty when there is none; false when the body is
// refused (too large).
bool GetPushedXml(HttpRequest* request, bool fromPage, HttpResponse* response, std::string& xml)
{
    xml.clear();
    if (fromPage) {
        const char* value = request->getParameter("editPushXML");
        if (!value) {
            log_log(2, 4, "pushXML() get value error\n");
            return false;
        }
        xml = value;
        return true;
    }
    std::vector<char> body;
    if (ReadRequestBody(request, body) == BodyStatus::TooLarge) {
        log_log(2, 4, "pushXML() body over %ld bytes refused\n", kRemoteBodyMax);
        if (response)
            response->sendError(400);
        return false;
    }
    size_t prefix = sizeof kPushPrefix - 1;
    if (body.size() >= prefix && memcmp(body.data(), kPushPrefix, prefix) == 0) {
        // The text ends at its first zero byte.
        std::string text(body.data() + prefix, body.size() - prefix);
        xml = text.c_str();
    }
    return true;
}

}  // namespace

int IsTrustServerIP(const char* address, const char* list)
{
    if (!address || !list) {
        log_log(2, 4, "IsTrustServerIP() para error\n");
        return 0;
    }
    if (address[0] == '\0')
        return 0;
    std::string entries = list;
    size_t start = 0;
    while (start <= entries.size()) {
        size_t end = entries.find(',', start);
        if (end == std::string::npos)
            end = entries.size();
        std::string entry = entries.substr(start, end - start);
        TrimBlanks(entry);
        if (entry == address)
            return 1;
        start = end + 1;
    }
    return 0;
}

int ProcessPushXml(HttpRequest* request, bool fromPage, HttpResponse* response)
{
    if (!request)
        return 0;
    const char* address = request->getRemoteAddr();
    std::string servers = configParser_GetConfigString("PushXMLServerIP");
    std::string xml;
    if (!GetPushedXml(request, fromPage, response, xml))
        return 0;
    if (!address || address[0] == '\0' || !IsTrustServerIP(address, servers.c_str()) ||
        xml.empty()) {
        log_log(2, 4,
                "pushXML() don't have remoteIP, or ip don't match, or xmlvalue is error.\n");
        return 0;
    }
    if (!writeFileAtomic(phonePath(kPushXmlFile), xml)) {
        log_log(2, 4, "pushXML() End. failed to open file\n");
        return 0;
    }
    if (!msgPostMsgToThread(msgGetThreadByName(kPhoneThread), kMsgPushXmlReady, 0, 0)) {
        log_log(2, 3, "pushXML() the phone process did not take the XML\n");
        return 0;
    }
    return 1;
}

int doProcessCSTA(HttpRequest* request, HttpResponse* response)
{
    if (!request || !response)
        return 0;
    std::vector<char> body;
    switch (ReadRequestBody(request, body)) {
    case BodyStatus::TooLarge:
        response->sendError(400);
        log_log(2, 4, "doProcessCSTA: body over %ld bytes refused\n", kRemoteBodyMax);
        return 0;
    case BodyStatus::Missing:
        response->sendError(400);
        log_log(2, 4, request->getContentLength() < 1 ? "doProcessCSTA: No content on request\n"
                                                      : "doProcessCSTA: No block data on request\n");
        return 0;
    case BodyStatus::Read:
        break;
    }

    // A response left from an earlier request must never answer this one.
    std::string responseFile = phonePath(kCstaResponseFile);
    unlink(responseFile.c_str());
    int result = msgSendMsgToThreadEx(msgGetThreadByName(kPhoneThread), kMsgCstaRequest, 0, 0,
                                      static_cast<int>(body.size()), body.data());
    if (result == 0)
        response->sendError(400);

    FILE* file = OpenPhoneFile(kCstaResponseFile);
    if (!file) {
        log_log(2, 4, "doProcessCSTA: failed to open file\n");
        return 0;
    }
    SendFileInPieces(file, response);
    return 1;
}
