#include "directory/ContactsBroadsoftServlet.h"

#include <cstring>
#include <string>

#include "directory/DirectoryMenu.h"
#include "frame/frame.h"

namespace {

constexpr char kPage[] = "contacts-broadsoft";
constexpr char kMask[] = "********";
constexpr char kListAvailable[] = "3";
constexpr char kListFailed[] = "4";
// The directory fields written from the form, in this order.
const char* const kDirectoryFields[] = {
    "BsftGroup", "BsftEnterprise", "BsftPersonal", "BsftCustom", "BsftGroupCommon",
    "BsftEnterpriseCommon", "NetworkDirectoryGroupDisplayname",
    "NetworkDirectoryEnterpriseDisplayname", "NetworkDirectoryGroupCommonDisplayname",
    "NetworkDirectoryEnterpriseCommonDisplayname", "NetworkDirectoryPersonalDisplayname",
};
const char* const kXsiFields[] = {"AccountBroadsoftXSIUserID", "AccountBroadsoftXSIHostAddr",
                                  "AccountBroadsoftXSIServerType", "AccountBroadsoftXSIPort"};
const char* const kItems[] = {"BroadsoftXSI", "BroadsoftDirectotries"};
constexpr int kXsiAccount = 0;

bool Is(const char* text, const char* word)
{
    return text && std::strcmp(text, word) == 0;
}

// One row per name of all custom lists, checked when it is also in use.
TMPL_loop* CustomLoop(int& count)
{
    std::string all = GetConfigValue(FILETYPE_GLOBAL, "BsftCustomListAll", 0);
    std::string used = "," + GetConfigValue(FILETYPE_GLOBAL, "BsftCustomListUse", 0) + ",";
    count = 0;
    if (all.empty()) {
        log_log(2, 4, "read custom list error\n");
        return nullptr;
    }
    TMPL_loop* loop = nullptr;
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(',', start);
        if (end == std::string::npos)
            end = all.size();
        std::string name = all.substr(start, end - start);
        bool checked = used.find("," + name + ",") != std::string::npos;
        std::string row = std::to_string(count++);
        loop = TMPL_add_varlist(loop, TMPL_add_var(nullptr, "row", row.c_str(), "selname",
                                                   EscapeHtml(name).c_str(), "checked",
                                                   checked ? "1" : "0", 0));
        start = end + 1;
    }
    return loop;
}

}  // namespace

int ContactsBroadsoftServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<ContactsBroadsoftServlet> kActions[] = {
        {"load", &ContactsBroadsoftServlet::loadConfig},
        {"write", &ContactsBroadsoftServlet::writeConfig},
        {"askstatus", &ContactsBroadsoftServlet::askStatus},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int ContactsBroadsoftServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    TMPL_varlist* varlist = readConfigOperate(FILETYPE_GLOBAL, "NetworkCalllogSwitch", nullptr, 0);
    varlist = readConfigOperate(FILETYPE_GLOBAL, kDirectoryFields, CountOf(kDirectoryFields),
                                varlist, 0);
    varlist = readConfigOperate(FILETYPE_GLOBAL, "BSFTActive", varlist, 0);
    varlist = readConfigOperate(FILETYPE_ACCOUNT, kXsiFields, CountOf(kXsiFields), varlist,
                                kXsiAccount);
    if (!GetConfigValue(FILETYPE_ACCOUNT, "AccountBroadsoftXSIPassword", kXsiAccount).empty())
        varlist = TMPL_add_var(varlist, "AccountBroadsoftXSIPassword", kMask, 0);
    varlist = showItemsByLevel(varlist, request);

    std::string custom = GetConfigValue(FILETYPE_GLOBAL, "BsftCustom", 0);
    std::string status = GetConfigValue(FILETYPE_GLOBAL, "BsftCustomListStatus", 0);
    const char* ask = request->getParameter("ask");
    int count = 0;
    if (!ask && custom == "1" && status == kListAvailable)
        varlist = TMPL_add_loop(varlist, "CustomLoop", CustomLoop(count));
    std::string rows = std::to_string(count);
    varlist = TMPL_add_var(varlist, "customcount", rows.c_str(), 0);
    const char* asking = "true";
    if (Is(ask, "1"))
        asking = "true";
    else if (custom == "0" || status == kListAvailable)
        asking = "false";
    else if (status == kListFailed)
        asking = "fail";
    varlist = TMPL_add_var(varlist, "bNeedtoAskStatus", asking, 0);
    RenderPage(response, "contacts-broadsoft.htm", varlist);
    return 1;
}

int ContactsBroadsoftServlet::askStatus(HttpRequest* request, HttpResponse* response)
{
    (void)request;
    response->setContentType("text/plain");
    std::string status = GetConfigValue(FILETYPE_GLOBAL, "BsftCustomListStatus", 0);
    if (status == kListFailed)
        status = "4," + GetConfigValue(FILETYPE_GLOBAL, "BsftCustomListFailReason", 0).substr(0, 255);
    response->print(status.c_str());
    return 1;
}

int ContactsBroadsoftServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    PageWrite write(request, kPage, kXsiAccount);
    write.add(FILETYPE_GLOBAL, kDirectoryFields, CountOf(kDirectoryFields));
    const char* password = request->getParameter("AccountBroadsoftXSIPassword");
    if (password && !Is(password, kMask))
        write.add(FILETYPE_ACCOUNT, "AccountBroadsoftXSIPassword");
    write.add(FILETYPE_GLOBAL, "NetworkCalllogSwitch");
    write.add(FILETYPE_ACCOUNT, kXsiFields, CountOf(kXsiFields));
    if (Is(request->getParameter("z"), "yes")) {
        const char* posted = request->getParameter("activeCustomList");
        std::string list = posted ? std::string(posted).substr(0, 1023) : "";
        if (!list.empty() && list.back() == ',')
            list.pop_back();
        log_log(2, 6, "(get from request : list = %s\n", list.c_str());
        write.set(FILETYPE_GLOBAL, "BsftCustomListUse", list.c_str(), "activeCustomList");
    }
    if (!write.save())
        return write.reshow(response, this, &ContactsBroadsoftServlet::loadConfig);
    bool xsiChanged = write.changed("AccountBroadsoftXSIPassword");
    for (const char* name : kXsiFields)
        xsiChanged = xsiChanged || write.changed(name);
    bool directoryChanged = false;
    for (const char* name : kDirectoryFields)
        directoryChanged = directoryChanged || write.changed(name);
    if (write.changed("NetworkCalllogSwitch"))
        PostDirectoryChange(48, 0);
    PostDirectoryChange(xsiChanged ? 54 : directoryChanged ? 49 : 55, 0);
    MarkSaved(request);
    response->sendRedirect("/servlet?p=contacts-broadsoft&q=load&ask=1");
    return 1;
}

TMPL_varlist* ContactsBroadsoftServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddDirectoryShowLevel(varlist, request, kPage, kItems, CountOf(kItems));
}

HttpServlet* createContactsBroadsoftServlet()
{
    return new ContactsBroadsoftServlet;
}
