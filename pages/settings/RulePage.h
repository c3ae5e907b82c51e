// The dial plan and dial-now pages: a rule list with add, edit and delete,
// one request per operation. Each page is this shape with its own table.
#pragma once

#include <vector>

#include "frame/http.h"
#include "pages/settings/RuleList.h"

struct RulePageSpec {
    const char* page;      // "settings-dialplan"
    const char* templ;     // "settings-dialplan.htm"
    const char* file;      // "/config/data/DialPlan.xml"
    const char* const* items;
    int itemCount;
    // Attribute, template variable and posted field of each text; the
    // account column ("LineID") is last and left out on phone type 19.
    struct Column {
        const char* attribute;
        const char* variable;
        const char* field;
    };
    std::vector<Column> columns;
    const char* fillerOnAll19;   // filler column added on phone type 19 only, or null
    const char* fillerNot19;     // filler column added except on phone type 19, or null
    unsigned int changeWparam;   // 0x10007 posted to "app_vpPhone"
    const char* loadRootLog;
    const char* tooManyLog;
};

// The phone type without per-account rules.
constexpr int kPhoneWithoutAccountRules = 19;

int RulePageLoad(const RulePageSpec& spec, int phoneType, HttpRequest* request,
                 HttpResponse* response);
int RulePageAdd(const RulePageSpec& spec, int phoneType, HttpRequest* request,
                HttpResponse* response);
int RulePageEdit(const RulePageSpec& spec, int phoneType, HttpRequest* request,
                 HttpResponse* response);
int RulePageDel(const RulePageSpec& spec, int phoneType, HttpRequest* request,
                HttpResponse* response);
