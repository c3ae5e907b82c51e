// The softkey layout of each call state: which softkeys the display's
// bottom row shows, and in which order. One XML file per call-state group
// under "/config/softkey/", shared with the phone application.
#pragma once

#include <string>

#include <pugixml.hpp>

#include "containers/zrlist.h"
#include "frame/http.h"

struct TMPL_loop;

class SettingsSoftkeyServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    int resetDefault(HttpRequest* request, HttpResponse* response);

    // The state element of a call-state reference ("Talking.xml:Held", or a
    // file name alone for its first state), loaded into doc. False when the
    // reference names no plain ".xml" file of the softkey folder or the file
    // cannot be loaded; node is then empty.
    bool getRootNodeByXml(pugi::xml_document& doc, const std::string& reference,
                          pugi::xml_node& node);
    // The "Type" of each "Key" child of node; BroadSoft-only types go to the
    // hidden list instead while BroadSoft is off. False for a missing node.
    bool getDataByNode(pugi::xml_node node, ZRList<std::string>& list);
    TMPL_loop* getCallStatesLoop(const std::string& current);
    static TMPL_loop* XMLData2TMPLData(TMPL_loop* loop, ZRList<std::string>& list);

    // The softkeys the last load or write hid (BroadSoft-only while
    // BroadSoft is off); a write keeps those of its state disabled.
    const ZRList<std::string>& hidden() const { return hidden_; }

private:
    ZRList<std::string> hidden_;
};

// Splits "file:element" at the first ":"; without one the element is "".
void getXmlFileNameAndRoot(const std::string& reference, std::string& file, std::string& element);
// The posted reference, or "Dialing.xml"; cut to 63 characters.
std::string GetDefaultCallStates(const char* posted);
// Whether a softkey type is shown only with BroadSoft (any letter case).
bool IsBroadsoftSoftkey(const std::string& type);

PHONEWEB_EXPORT HttpServlet* createSettingsSoftkeyServlet();
