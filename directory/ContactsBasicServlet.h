// The local directory page: one group's contacts ten to a page, contacts and
// groups added, edited, moved and deleted, contact photos, and calls placed
// from the browser. Every change goes through the contact manager.
#pragma once

#include <string>

#include "containers/zrlist.h"
#include "frame/http.h"

struct TMPL_varlist;

class ContactsBasicServlet : public HttpServlet {
public:
    enum ContactOperatorType { kAdd = 0, kEdit = 1 };

    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int deleteRecord(HttpRequest* request, HttpResponse* response);
    int addContact(HttpRequest* request, HttpResponse* response);
    int editContact(HttpRequest* request, HttpResponse* response);
    int doOperatorContact(HttpRequest* request, HttpResponse* response, ContactOperatorType type);
    int moveContact(HttpRequest* request, HttpResponse* response);
    int call(HttpRequest* request, HttpResponse* response);
    int hangUp(HttpRequest* request, HttpResponse* response);
    int deleteAllGroups(HttpRequest* request, HttpResponse* response);
    int deleteOneGroup(HttpRequest* request, HttpResponse* response);
    int addGroup(HttpRequest* request, HttpResponse* response);
    int editGroup(HttpRequest* request, HttpResponse* response);
    int uploadPhoto(HttpRequest* request, HttpResponse* response);
    int deletePhoto(HttpRequest* request, HttpResponse* response);
    // Sends a photo (user or built-in) for the page's preview.
    int showPhoto(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);

    // The display names of the selected rows: "rows" holds 1-based row
    // numbers of one page of the group, comma-separated. Numbers outside
    // the page of the first one are ignored. The manager's result, or 0
    // (names empty) when nothing is selected.
    static int getContactNameList(ZRList<std::string>& names, const char* rows, int groupId);

private:
    int deleteGroup(HttpRequest* request, HttpResponse* response, bool all);
};

// True for phone types with contact photos.
bool photoEnable();

PHONEWEB_EXPORT HttpServlet* createContactsBasicServlet();
