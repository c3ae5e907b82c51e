#include "pages/account/AccountCodecServlet.h"

#include <cstdio>
#include <cstring>

#include "frame/frame.h"
#include "pages/account/AccountCommon.h"

namespace {

constexpr char kPage[] = "account-codec";
constexpr size_t kCodecNameMax = 63;

const char* const kItems[] = {"AccountCodecsGroup"};

// The per-account field of a slot: "AccountAudio<slot><what>".
std::string SlotField(int slot, const char* what)
{
    char name[64];
    snprintf(name, sizeof name, "%s%d%s", "AccountAudio", slot, what);
    return name;
}

std::string SlotValue(int slot, const char* what, int account)
{
    return GetConfigValue(FILETYPE_ACCOUNT, SlotField(slot, what).c_str(), account);
}

int ToInt(const std::string& text)
{
    int value = 0;
    return ParseDecimalInt(text.c_str(), -2147483647, 2147483647, value) ? value : 0;
}

// A posted list ("name:slot,name:slot"); an absent field is an empty list.
void PostedEntries(HttpRequest* request, const char* field, ZRList<std::string>& entries)
{
    const char* text = request->getParameter(field);
    String2List(entries, text ? text : "", ',');
}

}  // namespace

int GetCodecConfigData(ZRList<Codec_Info>* list, int account)
{
    if (!list || account < 0)
        return 0;
    bool ilbc = configParser_GetConfigInt("ILBCEnable") != 0;
    for (int slot = 0; slot < kCodecSlots; ++slot) {
        std::string name = SlotValue(slot, "Type", account).substr(0, kCodecNameMax);
        if (name.empty() || (!ilbc && name.compare(0, 4, "iLBC") == 0))
            continue;
        Codec_Info row;
        row.index = slot;
        row.name = name;
        row.enabled = ToInt(SlotValue(slot, "Switch", account)) == 1;
        row.priority = ToInt(SlotValue(slot, "Priority", account));
        list->push_back(row);
    }
    return 1;
}

void SortAudioByPriority(ZRList<Codec_Info>* list)
{
    if (!list || list->size() < 2)
        return;
    auto next = list->begin();
    ++next;
    while (next != list->end()) {
        auto row = next++;
        auto place = list->begin();
        while (place != row && place->priority <= row->priority)
            ++place;
        if (place != row)
            list->move_before(row, place);
    }
}

void PutCodecData2List(ZRList<Codec_Info>& out, ZRList<std::string>& entries, bool enabled)
{
    int priority = 0;
    for (const std::string& entry : entries) {
        // Each slot once: a posted list longer than the slots is not work
        // the single-threaded host may be made to do.
        if (out.size() >= kCodecSlots)
            break;
        size_t colon = entry.find(':');
        if (colon == std::string::npos)
            continue;
        ++priority;
        int slot = -1;
        std::string name = entry.substr(0, colon);
        if (name.empty() ||
            !ParseDecimalInt(entry.c_str() + colon + 1, 0, kCodecSlots - 1, slot))
            continue;
        bool seen = false;
        for (const Codec_Info& row : out)
            seen = seen || row.index == slot;
        if (seen)
            continue;
        Codec_Info row;
        row.index = slot;
        row.enabled = enabled;
        row.name = name;
        row.priority = enabled ? priority : 0;
        out.push_back(row);
    }
}

int AccountCodecServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<AccountCodecServlet> kActions[] = {
        {"load", &AccountCodecServlet::loadConfig},
        {"write", &AccountCodecServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int AccountCodecServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    // The menu links here without an account: the first one is meant.
    int account = 0;
    if (request->getParameter("acc") && !GetLoadAccount(request, response, account))
        return 0;
    ZRList<Codec_Info> codecs;
    if (!GetCodecConfigData(&codecs, account)) {
        log_log(2, 3, "Get codec config data error!");
        return 0;
    }
    SortAudioByPriority(&codecs);
    TMPL_loop* enabledLoop = nullptr;
    TMPL_loop* disabledLoop = nullptr;
    for (const Codec_Info& codec : codecs) {
        std::string slot = std::to_string(codec.index);
        TMPL_varlist* row = TMPL_add_var(nullptr, "selValue", slot.c_str(), "selName",
                                         EscapeHtml(codec.name).c_str(), 0);
        TMPL_loop*& loop = codec.enabled ? enabledLoop : disabledLoop;
        loop = TMPL_add_varlist(loop, row);
    }
    std::string index = std::to_string(account);
    TMPL_varlist* varlist = TMPL_add_var(nullptr, "var_accountID", index.c_str(), 0);
    varlist = TMPL_add_loop(varlist, "enabledLoop", enabledLoop);
    varlist = TMPL_add_loop(varlist, "disabledLoop", disabledLoop);
    varlist = TMPL_add_loop(varlist, "accountLoop", GetAccountLoop(index.c_str(), false));
    RenderPage(response, "account-codec.htm", showItemsByLevel(varlist, request));
    return 1;
}

int AccountCodecServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    int account = 0;
    if (!GetWriteAccount(request, response, account, "get accountID is null.",
                         "get accountID is illegal", false))
        return 0;
    ZRList<std::string> disabled;
    ZRList<std::string> enabled;
    PostedEntries(request, "disabled", disabled);
    PostedEntries(request, "enabled", enabled);
    ZRList<Codec_Info> rows;
    PutCodecData2List(rows, disabled, false);
    PutCodecData2List(rows, enabled, true);
    PageWrite write(request, kPage, account);
    if (!write.forbidden() && MayStoreField(request, "AccountCodecsGroup")) {
        for (const Codec_Info& row : rows) {
            write.set(FILETYPE_ACCOUNT, SlotField(row.index, "Switch").c_str(), row.enabled ? "1" : "0");
            // A disabled codec keeps its place for when it is enabled again.
            if (row.enabled)
                write.set(FILETYPE_ACCOUNT, SlotField(row.index, "Priority").c_str(),
                          std::to_string(row.priority).c_str());
        }
    }
    if (!write.save())
        return write.reshow(response, this, &AccountCodecServlet::loadConfig);
    BroadcastAccountChanged(account);
    write.done(response);
    log_log(2, 6, "Codec writing is success!");
    return 1;
}

TMPL_varlist* AccountCodecServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddShowLevel(varlist, request, kAccountMenuCodec, CountOf(kAccountMenuCodec), kItems,
                        CountOf(kItems));
}

HttpServlet* createAccountCodecServlet()
{
    return new AccountCodecServlet;
}
