#include "pages/settings/RulePage.h"

#include "frame/fieldrules.h"
#include "frame/frame.h"

namespace {

bool HasAccounts(int phoneType) { return phoneType != kPhoneWithoutAccountRules; }

std::vector<const RulePageSpec::Column*> Columns(const RulePageSpec& spec, int phoneType)
{
    std::vector<const RulePageSpec::Column*> columns;
    for (size_t i = 0; i < spec.columns.size(); ++i) {
        bool account = i + 1 == spec.columns.size();
        if (!account || HasAccounts(phoneType))
            columns.push_back(&spec.columns[i]);
    }
    return columns;
}

RuleValues Posted(const RulePageSpec& spec, int phoneType, HttpRequest* request)
{
    RuleValues values;
    for (const RulePageSpec::Column* column : Columns(spec, phoneType))
        values.emplace_back(column->attribute, PostedText(request, column->field));
    return values;
}

// Loads the list for a change; a file that cannot be read is never
// replaced by a new one: the notice says so and nothing is written.
bool LoadForChange(const RulePageSpec& spec, RuleList& list, HttpRequest* request,
                   HttpResponse* response, const char* log)
{
    if (!MayChangePage(request, response))
        return false;
    if (list.load() == XmlFile::Loaded)
        return true;
    log_log(2, 4, "%s", log);
    SetNoticePage(response, false, spec.page, kFileUnreadable);
    return false;
}

int SaveAndAnswer(const RulePageSpec& spec, RuleList& list, HttpRequest* request,
                  HttpResponse* response)
{
    if (!list.save()) {
        log_log(2, 3, "%s: cannot save %s", spec.page, spec.file);
        SetNoticePage(response, false, spec.page, kFileNotSaved);
        return 0;
    }
    MarkSaved(request);
    RedirectToLoad(response, spec.page);
    PostPhoneChange(spec.changeWparam, 0);
    return 1;
}

}  // namespace

int RulePageLoad(const RulePageSpec& spec, int phoneType, HttpRequest* request,
                 HttpResponse* response)
{
    RuleList list(spec.file);
    TMPL_varlist* varlist = TMPL_add_var(nullptr, "max", std::to_string(kMaxRules).c_str(), 0);
    if (list.load() == XmlFile::Loaded) {
        std::vector<RuleColumn> columns;
        for (const RulePageSpec::Column* column : Columns(spec, phoneType))
            columns.push_back({column->attribute, column->variable});
        std::vector<const char*> filler = {"textRule"};
        if (spec.fillerOnAll19 && !HasAccounts(phoneType))
            filler.push_back(spec.fillerOnAll19);
        if (spec.fillerNot19 && HasAccounts(phoneType))
            filler.push_back(spec.fillerNot19);
        varlist = TMPL_add_loop(varlist, "TRLoop", list.rows(columns, kMaxRules, filler, 9, 10));
        std::string count = std::to_string(list.count());
        varlist = TMPL_add_var(varlist, "ruleCount", count.c_str(), 0);
        if (list.count() >= kMaxRules)
            varlist = TMPL_add_var(varlist, "listFull", "1", 0);
    } else {
        // The page says so instead of showing an empty list that a save
        // would make real.
        log_log(2, 4, "%s", spec.loadRootLog);
        varlist = TMPL_add_var(varlist, "fileError", "1", 0);
    }
    if (HasAccounts(phoneType))
        varlist = TMPL_add_var(varlist, "perAccount", "1", 0);
    // Both rule pages sit under the dial plan tab.
    varlist = AddSettingsLevel(varlist, request, "settings-dialplan", spec.items, spec.itemCount);
    RenderPage(response, spec.templ, varlist);
    return 1;
}

int RulePageAdd(const RulePageSpec& spec, int phoneType, HttpRequest* request,
                HttpResponse* response)
{
    RuleList list(spec.file);
    if (!LoadForChange(spec, list, request, response, "Add... error to get root element\n"))
        return 0;
    // Rules beyond the shown hundred could be neither seen nor edited.
    if (list.count() >= kMaxRules) {
        log_log(2, 4, "%s", spec.tooManyLog);
        SetNoticePage(response, false, spec.page, "Error:The list already holds 100 rules!");
        return 0;
    }
    list.append("Data", Posted(spec, phoneType, request));
    return SaveAndAnswer(spec, list, request, response);
}

int RulePageEdit(const RulePageSpec& spec, int phoneType, HttpRequest* request,
                 HttpResponse* response)
{
    int number = -1;
    if (!ParseDecimalInt(request->getParameter("currentIndex"), 1, 1 << 30, number))
        number = -1;
    RuleList list(spec.file);
    if (!LoadForChange(spec, list, request, response, "Edit... error to get root element\n"))
        return 0;
    list.edit(number, Posted(spec, phoneType, request));
    return SaveAndAnswer(spec, list, request, response);
}

int RulePageDel(const RulePageSpec& spec, int /*phoneType*/, HttpRequest* request,
                HttpResponse* response)
{
    const char* numbers = request->getParameter("recountNum");
    if (!numbers) {
        RedirectToLoad(response, spec.page);
        return 1;
    }
    if (!*numbers) {
        log_log(2, 4, "pStrRecountNum is empty\n");
        RedirectToLoad(response, spec.page);
        return 0;
    }
    RuleList list(spec.file);
    if (!LoadForChange(spec, list, request, response, "Del... error to get root element\n"))
        return 0;
    list.remove(numbers);
    return SaveAndAnswer(spec, list, request, response);
}
