#include "pages/settings/SettingsBlackoutServlet.h"

#include "frame/fieldrules.h"
#include "frame/frame.h"
#include "pages/settings/RuleList.h"

namespace {

constexpr char kPage[] = "settings-blackout";
constexpr char kFile[] = "/config/data/DialBlock.xml";
constexpr int kRows = 10;
constexpr unsigned int kChangedBlockOut = 19;
const char* const kItems[] = {"PhoneBlockoutControl", "replace-rule", "dial-now", "area-code",
                              "block-out"};

}  // namespace

int SettingsBlackoutServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<SettingsBlackoutServlet> kActions[] = {
        {"load", &SettingsBlackoutServlet::loadConfig},
        {"write", &SettingsBlackoutServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int SettingsBlackoutServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    RuleList list(kFile);
    TMPL_varlist* varlist = nullptr;
    if (list.load() == XmlFile::Loaded) {
        TMPL_loop* loop = nullptr;
        pugi::xml_node rule = list.root().first_child();
        for (int row = 1; row <= kRows; ++row) {
            std::string blocked, lines;
            if (rule) {
                blocked = EscapeHtml(CutText(rule.attribute("rule").value()));
                lines = EscapeHtml(CutText(rule.attribute("lines").value()));
                rule = rule.next_sibling();
            }
            std::string number = std::to_string(row);
            loop = TMPL_add_varlist(loop, TMPL_add_var(nullptr, "row", number.c_str(), "BlackOut",
                                                       blocked.c_str(), "Account",
                                                       lines.c_str(), 0));
        }
        varlist = TMPL_add_loop(varlist, "TRLoop", loop);
    } else {
        log_log(2, 4, "loadConfig... error to get root element\n");
        varlist = TMPL_add_var(varlist, "fileError", "1", 0);
    }
    varlist = AddSettingsLevel(varlist, request, "settings-dialplan", kItems, CountOf(kItems));
    RenderPage(response, "settings-blackout.htm", varlist);
    return 1;
}

int SettingsBlackoutServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    if (!MayChangePage(request, response))
        return 0;
    // The ten rows replace the file whole; a file the page could not show
    // is kept rather than overwritten by rows the user never saw.
    RuleList present(kFile);
    if (present.load() == XmlFile::Broken) {
        log_log(2, 4, "writeConfig... error to get root element\n");
        SetNoticePage(response, false, kPage, kFileUnreadable);
        return 0;
    }
    RuleList list(kFile);
    list.reset("dialblock");
    for (int row = 1; row <= kRows; ++row) {
        std::string rule = "BlackOut_" + std::to_string(row);
        std::string lines = "Account_" + std::to_string(row);
        list.append("Data", {{"rule", PostedText(request, rule.c_str())},
                             {"lines", PostedText(request, lines.c_str())}});
    }
    if (!list.save()) {
        SetNoticePage(response, false, kPage, kFileNotSaved);
        return 0;
    }
    PostPhoneChange(kChangedBlockOut, 0);
    MarkSaved(request);
    return loadConfig(request, response);
}

HttpServlet* createSettingsBlackoutServlet()
{
    return new SettingsBlackoutServlet;
}
