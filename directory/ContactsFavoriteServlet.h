// Which directories the phone offers as favorites and which take part in
// its combined search, in which order.
#pragma once

#include <string>
#include <vector>

#include "frame/http.h"

struct TMPL_varlist;
struct TMPL_loop;

struct _contactGroup {
    std::string displayName;
    bool enabled = false;
    std::string priority;  // position among the enabled entries, "1" first
    std::string idName;
};
typedef std::vector<_contactGroup> ContactGroupList;

// The name a directory shows when its entry stores none.
std::string GetDisplayNameByID(std::string idName);

class ContactsFavoriteServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);

    // Reads a file's entries into list; entries hidden while BroadSoft is
    // inactive go to that file's hidden list instead. False when the file
    // cannot be read.
    bool getContactGroupLists(ContactGroupList& list, const char* path, bool bsftActive);
    // Writes list, then the file's hidden entries (while BroadSoft is
    // inactive). An empty list leaves the file alone.
    bool setContactGroupLists(const ContactGroupList& list, const char* path, bool bsftActive);

private:
    ContactGroupList& hiddenOf(const char* path);

    ContactGroupList hiddenFavorites_;
    ContactGroupList hiddenSearch_;
};

// Disabled entries in file order; enabled ones by priority text (stable).
void getLoops(const ContactGroupList& list, TMPL_loop*& enabled, TMPL_loop*& disabled);
// The posted lists: the disabled ids, then the enabled ones numbered from 1;
// display names from the current entries of the same id.
void getListFromPage(ContactGroupList& out, const char** disabled, const char** enabled,
                     const ContactGroupList& current);

PHONEWEB_EXPORT HttpServlet* createContactsFavoriteServlet();
