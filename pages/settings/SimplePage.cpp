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

void SimplePageChanged(const SimplePageSpec& spec)
{
    if (spec.broadcast)
        BroadcastChange(spec.changeWparam, 0);
    else
        PostPhoneChange(spec.changeWparam, 0);
    log_log(2, 6, "%s has changed!", spec.page);
}
