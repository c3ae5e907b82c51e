// The simple settings pages (tones, area code, voice): a constant field
// table, loaded and written through the configuration bridge, and the
// change message the phone gets.
#pragma once

#include "frame/fieldrules.h"
#include "frame/http.h"
#include "frame/servlet.h"

struct TMPL_varlist;

struct SimplePageSpec {
    const char* page;       // "settings-tones"
    const char* menuSelf;   // the menu tab the page sits under
    const char* const* fields;   // loaded
    int fieldCount;
    const char* const* writeFields;  // written; null: the loaded ones
    int writeCount;
    const char* const* items;
    int itemCount;
    unsigned int changeWparam;
    bool broadcast;         // broadcast 0x10007, else post it to "app_vpPhone"
};

// Reads the fields, adds `extra` (the page's own variables), the level and
// device variables, and renders "<page>.htm".
int SimplePageLoad(const SimplePageSpec& spec, HttpRequest* request, HttpResponse* response,
                   TMPL_varlist* extra = nullptr);
// Sends the page's change message.
void SimplePageChanged(const SimplePageSpec& spec);

// Stores the posted fields (and the setting `extraName` from the form field
// `extraField`) with one save; a refused value shows the form again through
// the page's load. The change message goes out when something changed.
template <typename Page>
int SimplePageWrite(const SimplePageSpec& spec, Page* page,
                    int (Page::*load)(HttpRequest*, HttpResponse*), HttpRequest* request,
                    HttpResponse* response, const char* extraName = nullptr,
                    const char* extraField = nullptr)
{
    if (IsInTalking(response))
        return 1;
    PageWrite write(request, spec.page);
    if (spec.writeFields)
        write.add(FILETYPE_GLOBAL, spec.writeFields, spec.writeCount);
    else
        write.add(FILETYPE_GLOBAL, spec.fields, spec.fieldCount);
    if (extraName && extraField)
        write.addAs(FILETYPE_GLOBAL, extraName, extraField);
    if (!write.save())
        return write.reshow(response, page, load);
    if (write.anyChanged())
        SimplePageChanged(spec);
    write.done(response);
    return 1;
}
