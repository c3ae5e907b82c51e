#include "directory/ContactsBasicServlet.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <unistd.h>

#include "directory/ContactsCommon.h"
#include "frame/frame.h"
#include "platform/contactmanager.h"
#include "platform/msgids.h"
#include "remote/actionuri.h"

using NS_DIRECTORY::CContactLocalManager;
using NS_DIRECTORY::ContactGeneralItemData;
using NS_DIRECTORY::ContactGeneralItemListData;
using NS_DIRECTORY::ContactGroupData;
using NS_DIRECTORY::ContactGroupSimpleListData;

namespace {

constexpr char kPage[] = "contactsbasic";
constexpr int kPageSize = 10;
constexpr int kGroupListSize = 50;
constexpr int kPhotoSize = 110;
constexpr long kPhotoMaxBytes = 5000000;
constexpr unsigned int kContactsChanged = 8;
constexpr int kGroupsChangedParam = 1;
constexpr int kContactsChangedParam = 2;
constexpr unsigned int kPhotoChanged = 88;
constexpr int kCallAccountOffset = 100;
// Page numbers beyond this would overflow the first index.
constexpr int kMaxPageNumber = 100000000;

constexpr char kSystemPhotoFolder[] = "/phone/resource/sysdata/contact-image/";
constexpr char kScaleFailed[] = "Fail to upload photo ! [Can not compress the picture]";
constexpr char kScaleTooLarge[] = "Fail to upload photo ! [The Resolution of the picture is too large]";

const char* const kMenus[] = {
    "contacts-basic", "contacts-remote", "contacts-callinfo", "contacts-LDAP",
    "contacts-multicastIP", "contacts-broadsoft", "contacts-favorite",
};
const char* const kItems[] = {
    "LocalContactList", "LocalAllContactsControl", "LocalOptContacts", "LocalImportExportContacts",
    "LocalbtnImportCSV", "LocalbtnExportCSV", "LocalbtnImportXML", "LocalbtnExportXML",
};

// Actions that change something: refused during a call, and to an identity
// below the level of the item that offers them.
struct Guard {
    const char* action;
    const char* item;
};
const Guard kGuarded[] = {
    {"delete", "LocalOptContacts"},   {"add", "LocalOptContacts"},
    {"edit", "LocalOptContacts"},     {"moveto", "LocalOptContacts"},
    {"call", nullptr},                {"deleteallgroup", "LocalOptContacts"},
    {"deletegroup", "LocalOptContacts"}, {"addgroup", "LocalOptContacts"},
    {"editgroup", "LocalOptContacts"}, {"uploadphoto", "LocalOptContacts"},
    {"deletephoto", "LocalOptContacts"},
};

const char* Param(HttpRequest* request, const char* name)
{
    const char* value = request->getParameter(name);
    return value ? value : "";
}

int DecimalOr(const char* text, int fallback, int min, int max)
{
    int value = fallback;
    if (text && ParseDecimalInt(text, INT32_MIN, INT32_MAX, value))
        return std::clamp(value, min, max);
    return fallback;
}

void TellPhone(int lparam)
{
    msgPostMsgToThread(msgGetThreadByName("app_vpPhone"), kMsgConfigChanged, kContactsChanged, lparam);
}

void AnnouncePhoto(const std::string& phonePathOfPhoto)
{
    msgBroadpostThreadMsgEx(kMsgConfigChanged, kPhotoChanged, 0,
                            static_cast<int>(phonePathOfPhoto.size() + 1), phonePathOfPhoto.c_str());
}

std::string ListUrl(const std::string& num, const std::string& group)
{
    return "/servlet?p=contactsbasic&q=load&num=" + UrlEncodeValue(num) + "&group=" +
           UrlEncodeValue(group);
}

// Shows the notice of a negative result; true when there was one.
bool RefusedWith(HttpResponse* response, int result)
{
    if (result >= 0)
        return false;
    char text[kContactNoticeSize] = {0};
    SetContactsErrorNotice(result, text);
    SetNoticePage(response, false, kPage, text);
    return true;
}

TMPL_varlist* ContactRow(int index, int k, const ContactGeneralItemData* contact)
{
    std::string number = std::to_string(index);
    TMPL_varlist* row = TMPL_add_var(nullptr, "index", number.c_str(), "classStyle",
                                     k % 2 ? "0" : "1", 0);
    std::string account = contact ? std::to_string(contact->account) : "";
    auto text = [&](const std::string ContactGeneralItemData::*field) {
        return contact ? EscapeHtml(contact->*field) : std::string();
    };
    row = TMPL_add_var(row, "DisplayName", text(&ContactGeneralItemData::displayName).c_str(),
                       "OfficeNumber", text(&ContactGeneralItemData::officeNumber).c_str(),
                       "MobilNumber", text(&ContactGeneralItemData::mobileNumber).c_str(),
                       "OtherNumber", text(&ContactGeneralItemData::otherNumber).c_str(),
                       "Account", account.c_str(),
                       "Group", text(&ContactGeneralItemData::groupName).c_str(),
                       "Ring", text(&ContactGeneralItemData::ring).c_str(), 0);
    if (contact)
        row = TMPL_add_var(row, "Photo", EscapeHtml(contact->photo).c_str(), 0);
    return row;
}

}  // namespace

bool photoEnable()
{
    int type = GetPhoneType();
    return type == 32 || type == 38 || type == 46 || type == 48;
}

int ContactsBasicServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<ContactsBasicServlet> kActions[] = {
        {"load", &ContactsBasicServlet::loadConfig},
        {"delete", &ContactsBasicServlet::deleteRecord},
        {"add", &ContactsBasicServlet::addContact},
        {"edit", &ContactsBasicServlet::editContact},
        {"moveto", &ContactsBasicServlet::moveContact},
        {"call", &ContactsBasicServlet::call},
        {"hangup", &ContactsBasicServlet::hangUp},
        {"deleteallgroup", &ContactsBasicServlet::deleteAllGroups},
        {"deletegroup", &ContactsBasicServlet::deleteOneGroup},
        {"addgroup", &ContactsBasicServlet::addGroup},
        {"editgroup", &ContactsBasicServlet::editGroup},
        {"uploadphoto", &ContactsBasicServlet::uploadPhoto},
        {"deletephoto", &ContactsBasicServlet::deletePhoto},
        {"photo", &ContactsBasicServlet::showPhoto},
    };
    response->setContentType("text/html");
    const char* q = request->getParameter("q");
    for (const Guard& guard : kGuarded) {
        if (!q || strcmp(q, guard.action) != 0)
            continue;
        if (IsInTalking(response))
            return 1;
        const char* rows = request->getParameter("record");
        bool all = strcmp(q, "delete") == 0 && rows && strcmp(rows, "*") == 0;
        if (!MayChangeDirectory(request, all ? "LocalAllContactsControl" : guard.item)) {
            RefuseDirectoryChange(response);
            return 1;
        }
    }
    ContactManagerUpToDate();
    return DispatchPageAction(this, request, response, kActions);
}

int ContactsBasicServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    int page = DecimalOr(request->getParameter("num"), 1, 1, kMaxPageNumber);
    int groupId = DecimalOr(request->getParameter("group"), 0, 0, INT32_MAX);
    CContactLocalManager* manager = CContactLocalManager::GetInstance();
    ContactGroupData group;
    if (!manager || !manager->GetGroupDataByID(&group, groupId) || group.name.empty()) {
        groupId = 0;
        if (manager)
            manager->GetGroupDataByID(&group, 0);
    }

    TMPL_varlist* varlist = nullptr;
    if (const char* photo = request->getParameter("photo"))
        varlist = TMPL_add_var(varlist, "SelectPhoto", EscapeHtml(photo).c_str(), 0);
    varlist = TMPL_add_loop(varlist, "photoLoop", GetPhotoLoop());
    varlist = TMPL_add_loop(varlist, "accountLoop", GetAccountLoop("-1", true));

    TMPL_loop* groups = nullptr;
    ContactGroupSimpleListData groupList;
    groupList.count = kGroupListSize;
    if (manager && manager->GetGroupSimpleList(&groupList)) {
        for (const auto& entry : groupList.list) {
            std::string id = std::to_string(entry.id);
            // The built-in groups' names are the phone's words, shown translated.
            groups = TMPL_add_varlist(groups, TMPL_add_var(nullptr, "groupId", id.c_str(), "groupName",
                                                           EscapeHtml(entry.name).c_str(), "selected",
                                                           entry.id == groupId ? "1" : "0", "builtIn",
                                                           entry.id <= NS_DIRECTORY::kBlacklistGroupId ? "1" : "", 0));
        }
    }
    varlist = TMPL_add_loop(varlist, "grouplistloop", groups);

    ContactGeneralItemListData contacts;
    contacts.first = kPageSize * (page - 1);
    contacts.count = kPageSize;
    TMPL_loop* rows = nullptr;
    int total = -1;
    if (manager && manager->GetContactListById(&contacts, groupId)) {
        total = contacts.total;
        int k = 0;
        for (const auto& contact : contacts.list) {
            ++k;
            rows = TMPL_add_varlist(rows, ContactRow(contacts.first + k, k, &contact));
        }
        for (++k; k <= kPageSize; ++k)
            rows = TMPL_add_varlist(rows, ContactRow(contacts.first + k, k, nullptr));
    }
    varlist = TMPL_add_loop(varlist, "contactslistloop", rows);

    int pages = total < 0 ? 1 : total / kPageSize + (total % kPageSize != 0 || total <= 0 ? 1 : 0);
    TMPL_loop* pageRows = nullptr;
    for (int i = 1; i <= pages; ++i) {
        std::string index = std::to_string(i);
        pageRows = TMPL_add_varlist(pageRows, TMPL_add_var(nullptr, "index", index.c_str(), "selected",
                                                           i == page ? "1" : "0", 0));
    }
    varlist = TMPL_add_loop(varlist, "pageloop", pageRows);
    varlist = TMPL_add_loop(varlist, "ringTypeloop", GetRingToneLoop(nullptr, RING_CONTACT, true));
    std::string groupIdText = std::to_string(groupId);
    varlist = TMPL_add_var(varlist, "varBlackPage", EscapeHtml(Param(request, "num")).c_str(), "group",
                           EscapeHtml(Param(request, "group")).c_str(), "groupInfo",
                           EscapeHtml(group.name).c_str(), "ringInfo", EscapeHtml(group.ring).c_str(),
                           "shownGroup", groupIdText.c_str(), "groupBuiltIn",
                           groupId <= NS_DIRECTORY::kBlacklistGroupId ? "1" : "", 0);
    varlist = readConfigOperate(FILETYPE_GLOBAL, "BSFTActive", varlist, 0);
    RenderPage(response, "contactsbasic.htm", showItemsByLevel(varlist, request));
    return 1;
}

int ContactsBasicServlet::getContactNameList(ZRList<std::string>& names, const char* rows, int groupId)
{
    if (!rows)
        return 0;
    std::vector<int> wanted;
    ZRList<std::string> pieces;
    String2List(pieces, rows, ',');
    for (const std::string& piece : pieces) {
        int number = 0;
        if (wanted.size() < static_cast<size_t>(kPageSize) && ParseDecimalInt(piece.c_str(), 0, INT32_MAX, number))
            wanted.push_back(number);
    }
    if (wanted.empty() || wanted[0] <= 0)
        return 0;
    CContactLocalManager* manager = CContactLocalManager::GetInstance();
    if (!manager)
        return 0;
    ContactGeneralItemListData page;
    page.first = kPageSize * ((wanted[0] - 1) / kPageSize);
    page.count = kPageSize;
    int result = manager->GetContactListById(&page, groupId);
    std::set<int> onPage;
    for (int number : wanted)
        if (number > page.first && number <= page.first + kPageSize)
            onPage.insert(number - page.first);
    int position = 0;
    for (const auto& contact : page.list)
        if (onPage.count(++position))
            names.push_back(contact.displayName);
    return result;
}

int ContactsBasicServlet::deleteRecord(HttpRequest* request, HttpResponse* response)
{
    const char* rows = request->getParameter("record");
    const char* groupText = request->getParameter("group");
    if (!rows || !groupText) {
        log_log(2, 4, "Delete contacts : id is empty!\n");
        MarkSaved(request);
    response->sendRedirect("/servlet?p=contactsbasic&q=load&num=1&group=0");
        return 1;
    }
    int groupId = DecimalOr(groupText, 0, INT32_MIN, INT32_MAX);
    CContactLocalManager* manager = CContactLocalManager::GetInstance();
    int result = 0;
    if (strcmp(rows, "*") == 0) {
        if (manager)
            manager->RemoveAllContacts(groupId);  // deleting everything is never refused
    } else {
        ZRList<std::string> names;
        getContactNameList(names, rows, groupId);
        if (names.size() > 0)
            result = manager ? manager->RemoveContactList(names) : NS_DIRECTORY::kNoContactManager;
    }
    if (RefusedWith(response, result))
        return 1;
    TellPhone(kContactsChangedParam);
    MarkSaved(request);
    response->sendRedirect(ListUrl("1", groupText).c_str());
    log_log(2, 6, "Delete contacts success!\n");
    return 1;
}

int ContactsBasicServlet::addContact(HttpRequest* request, HttpResponse* response)
{
    return doOperatorContact(request, response, kAdd);
}

int ContactsBasicServlet::editContact(HttpRequest* request, HttpResponse* response)
{
    return doOperatorContact(request, response, kEdit);
}

int ContactsBasicServlet::doOperatorContact(HttpRequest* request, HttpResponse* response,
                                            ContactOperatorType type)
{
    CContactLocalManager* manager = CContactLocalManager::GetInstance();
    ContactGeneralItemData contact;
    contact.displayName = Param(request, "DisplayName");
    contact.officeNumber = Param(request, "OfficeNum");
    contact.mobileNumber = Param(request, "MobileNumber");
    contact.otherNumber = Param(request, "OtherNum");
    contact.ring = Param(request, "RingTone");
    contact.photo = Param(request, "Photo");
    contact.account = DecimalOr(request->getParameter("varAccount"), -1, INT32_MIN, INT32_MAX);
    ContactGroupData group;
    int groupId = DecimalOr(request->getParameter("ConGroup"), 0, INT32_MIN, INT32_MAX);
    if (manager && manager->GetGroupDataByID(&group, groupId))
        contact.groupName = group.name;
    int result = NS_DIRECTORY::kNoContactManager;
    if (manager)
        result = type == kAdd ? manager->AddContact(contact.groupName, contact)
                              : manager->UpdateContactData(Param(request, "OldName"), contact);
    if (RefusedWith(response, result))
        return 1;
    TellPhone(kContactsChangedParam);
    MarkSaved(request);
    response->sendRedirect(ListUrl(Param(request, "num"), Param(request, "ConGroup")).c_str());
    return 1;
}

int ContactsBasicServlet::moveContact(HttpRequest* request, HttpResponse* response)
{
    const char* rows = request->getParameter("record");
    const char* oldGroup = request->getParameter("oldgroup");
    const char* newGroup = request->getParameter("newgroup");
    if (!rows || !oldGroup || !newGroup) {
        log_log(2, 4, "ContactsBasicServlet::moveInContact() para error\n");
        return 0;
    }
    CContactLocalManager* manager = CContactLocalManager::GetInstance();
    ZRList<std::string> names;
    ContactGroupData target;
    // Each failure names itself: -1 would read "Group already existed!".
    int result = NS_DIRECTORY::kContactNotExisted;
    if (!getContactNameList(names, rows, DecimalOr(oldGroup, 0, INT32_MIN, INT32_MAX)) || !manager)
        result = manager ? NS_DIRECTORY::kContactNotExisted : NS_DIRECTORY::kNoContactManager;
    else if (!manager->GetGroupDataByID(&target, DecimalOr(newGroup, -1, INT32_MIN, INT32_MAX)))
        result = NS_DIRECTORY::kGroupNotExisted;
    else
        result = manager->MoveListToGroup(names, target.name);
    if (RefusedWith(response, result))
        return 1;
    TellPhone(kContactsChangedParam);
    MarkSaved(request);
    response->sendRedirect(ListUrl("1", newGroup).c_str());
    return 1;
}

int ContactsBasicServlet::call(HttpRequest* request, HttpResponse* response)
{
    const char* number = request->getParameter("num");
    int account = 0;
    bool ok = IsTrustIP(request->getRemoteAddr()) && number && *number &&
              ParseDecimalInt(request->getParameter("acc"), -1, GetAccountMax() - 1, account) &&
              sendMakeCallMsg(static_cast<unsigned int>(account + kCallAccountOffset), 0, number, true);
    response->print(ok ? "call success" : "call failed");
    return 1;
}

int ContactsBasicServlet::hangUp(HttpRequest*, HttpResponse* response)
{
    msgPostMsgToThread(msgGetThreadByName("app_vpPhone"), kMsgHangUp, 0, 0);
    response->print("hangup success");
    return 1;
}

int ContactsBasicServlet::deleteAllGroups(HttpRequest* request, HttpResponse* response)
{
    return deleteGroup(request, response, true);
}

int ContactsBasicServlet::deleteOneGroup(HttpRequest* request, HttpResponse* response)
{
    return deleteGroup(request, response, false);
}

int ContactsBasicServlet::deleteGroup(HttpRequest* request, HttpResponse* response, bool all)
{
    CContactLocalManager* manager = CContactLocalManager::GetInstance();
    int result = NS_DIRECTORY::kNoContactManager;
    if (manager)
        result = all ? manager->RemoveAllGroup() : manager->RemoveGroup(Param(request, "GroupInfo"));
    if (RefusedWith(response, result))
        return 1;
    TellPhone(kGroupsChangedParam);
    TellPhone(kContactsChangedParam);
    MarkSaved(request);
    response->sendRedirect("/servlet?p=contactsbasic&q=load&num=1&group=0");
    log_log(2, 6, "Delete group success!\n");
    return 1;
}

int ContactsBasicServlet::addGroup(HttpRequest* request, HttpResponse* response)
{
    CContactLocalManager* manager = CContactLocalManager::GetInstance();
    ContactGroupData group{Param(request, "GroupInfo"), Param(request, "GroupRing")};
    int result = manager ? manager->AddGroup(group) : NS_DIRECTORY::kNoContactManager;
    if (RefusedWith(response, result))
        return 1;
    TellPhone(kGroupsChangedParam);
    MarkSaved(request);
    response->sendRedirect("/servlet?p=contactsbasic&q=load&num=1&group=0");
    return 1;
}

int ContactsBasicServlet::editGroup(HttpRequest* request, HttpResponse* response)
{
    CContactLocalManager* manager = CContactLocalManager::GetInstance();
    ContactGroupData group{Param(request, "GroupInfo"), Param(request, "GroupRing")};
    int result = manager ? manager->UpdateGroupData(Param(request, "oldGroupName"), group)
                         : NS_DIRECTORY::kNoContactManager;
    if (RefusedWith(response, result))
        return 1;
    TellPhone(kGroupsChangedParam);
    TellPhone(kContactsChangedParam);
    MarkSaved(request);
    response->sendRedirect("/servlet?p=contactsbasic&q=load&num=1&group=0");
    return 1;
}

int ContactsBasicServlet::uploadPhoto(HttpRequest* request, HttpResponse* response)
{
    request->setUploadFileTemplate("/tmp/fileupload_XXXXXX");
    const char** values = request->getParameterValues("uploadPhoto");
    std::string stored = values && values[0] ? values[0] : "";
    char given[kFileNameSize] = "";
    if (values && values[0] && values[1])
        GetSimpleUpdateFileName(values[1], given, sizeof given);
    std::string name = given;
    std::string extension = PhotoExtension(name);
    if (stored.empty() || !IsPlainPhotoName(name)) {
        if (!stored.empty())
            unlink(phonePath(stored).c_str());
        RefusedWith(response, NS_DIRECTORY::kPhotoNameError);
        return 1;
    }
    if (extension.empty()) {
        unlink(phonePath(stored).c_str());
        SetNoticePage(response, false, kPage, kScaleFailed);
        return 1;
    }
    // Scaled into a file of our own first: a client's name never lands in
    // /tmp, and a failed scale never touches a photo already stored.
    int result = ScalePhotoInto(stored, name, kPhotoSize, kPhotoMaxBytes);
    if (result != 1) {
        SetNoticePage(response, false, kPage, result == 2 ? kScaleTooLarge : kScaleFailed);
        return 1;
    }
    std::string target = std::string(kContactPhotoFolder) + name;
    AnnouncePhoto(target);
    MarkSaved(request);
    std::string url = "/servlet?p=contactsbasic&q=load&num=1&group=&photo=" + UrlEncodeValue(name);
    response->sendRedirect(url.c_str());
    return 1;
}

int ContactsBasicServlet::deletePhoto(HttpRequest* request, HttpResponse* response)
{
    std::string value = Param(request, "Photo");
    size_t colon = value.find(':');
    std::string name;
    if (colon == std::string::npos) {
        log_log(2, 4, "photo name error.\n");
    } else if (!IsUserPhoto(value, &name)) {
        log_log(2, 4, "False:only can remove config photo.\n");
    } else if (!IsPlainPhotoName(name)) {
        log_log(2, 4, "photo name error.\n");
    } else {
        std::string path = PhotoRealPath(name);
        unlink(path.c_str());
        unlink((path + ".MD5").c_str());
        CContactLocalManager* manager = CContactLocalManager::GetInstance();
        if (!manager || manager->SetDefaultPhoto(value.c_str()) != 0)
            log_log(2, 4, "ContactsBasicServletset::deletePhoto set default name fail.\n");
        AnnouncePhoto(kContactPhotoFolder + name);
        MarkSaved(request);
        response->sendRedirect("/servlet?p=contactsbasic&q=load&num=1&group=");
        return 1;
    }
    RefusedWith(response, NS_DIRECTORY::kPhotoNameError);
    return 0;
}

int ContactsBasicServlet::showPhoto(HttpRequest* request, HttpResponse* response)
{
    std::string value = Param(request, "name");
    size_t colon = value.find(':');
    std::string prefix = colon == std::string::npos ? "" : value.substr(0, colon);
    std::string name = colon == std::string::npos ? "" : value.substr(colon + 1);
    std::string extension = PhotoExtension(name);
    std::string path;
    if (prefix == "Config")
        path = PhotoRealPath(name);
    else if (prefix == "Resource" || prefix == "Default")
        path = phonePath(std::string(kSystemPhotoFolder) + name);
    std::string data;
    if (path.empty() || extension.empty() || !IsPlainPhotoName(name) || !readWholeFile(path, data)) {
        response->sendError(404);
        return 0;
    }
    response->setContentType(extension == ".png" ? "image/png"
                             : extension == ".bmp" ? "image/bmp" : "image/jpeg");
    response->write(data.data(), 1, data.size());
    return 1;
}

TMPL_varlist* ContactsBasicServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    varlist = AddShowLevel(varlist, request, kMenus, CountOf(kMenus), kItems, CountOf(kItems));
    return TMPL_add_var(varlist, "photoEnable", photoEnable() ? "true" : "false", 0);
}

HttpServlet* createContactsBasicServlet()
{
    return new ContactsBasicServlet;
}
