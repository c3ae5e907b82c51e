#include "pages/settings/SimplePage.h"

#include <string>

#include "frame/frame.h"
#include "pages/settings/SettingsCommon.h"

int SimplePageLoad(const SimplePageSpec& spec, HttpRequest* request, HttpResponse* response,
                   TMPL_varlist* extra)
{
    TMPL_varlist* varlist = readConfigOperate(FILETYPE_GLOBAL, spec.fields, spec.fieldCount,
                                              extra, 0);
    varlist = AddSettingsLevel(varlist, request, spec.menuSelf, spec.items, spec.itemCount);
    RenderPage(response, (std::string(spec.page) + ".htm").c_str(), varlist);
    return 1;
}

int SimplePageWrite(const SimplePageSpec& spec, HttpRequest* request, HttpResponse* response,
                    const char* extraName, const char* extraValue)
{
    if (IsInTalking(response))
        return 1;
    bool changed = false;
    bool stored = spec.writeFields
                      ? StorePostedFields(request, spec.writeFields, spec.writeCount, changed)
                      : StorePostedFields(request, spec.fields, spec.fieldCount, changed);
    if (extraName && extraValue) {
        int result = writeConfigOperate(FILETYPE_GLOBAL, extraName, extraValue, 0);
        changed = changed || result == 1;
        stored = stored && result >= 0;
    }
    if (changed) {
        if (spec.broadcast)
            BroadcastChange(spec.changeWparam, 0);
        else
            PostPhoneChange(spec.changeWparam, 0);
    }
    if (!stored) {
        SetNoticePage(response, false, spec.page, "Error:The settings could not be saved!");
        return 0;
    }
    log_log(2, 6, "%s has changed!", spec.page);
    NoteSaved(request);
    RedirectToLoad(response, spec.page);
    return 1;
}
