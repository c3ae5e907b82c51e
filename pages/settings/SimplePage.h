// The simple settings pages (tones, area code, voice): a constant field
// table, loaded and written through the configuration bridge, and the
// change message the phone gets.
#pragma once

#include "frame/http.h"

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
// Stores the posted fields (and the `extra` field, value pairs the page
// made); sends the change message when something changed; back to load.
int SimplePageWrite(const SimplePageSpec& spec, HttpRequest* request, HttpResponse* response,
                    const char* extraName = nullptr, const char* extraValue = nullptr);
