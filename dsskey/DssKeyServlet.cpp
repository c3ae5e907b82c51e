#include "dsskey/DssKeyServlet.h"

#include <pugixml.hpp>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "frame/fieldrules.h"
#include "frame/frame.h"
#include "platform/etl.h"
#include "platform/msgids.h"

namespace {

constexpr char kPage[] = "dsskey";
constexpr char kWriteError[] = "Error: Write dsskey config error!";
constexpr char kLockName[] = "DsskeyFile";
constexpr int kPhoneOnlyProgramKeys = 19;
constexpr unsigned int kChangedPageTips = 91;
constexpr unsigned int kChangedKeyLength = 96;

const char* const kTemplates[] = {"dsskey-memorykey.htm", "dsskey-linekey.htm",
                                  "dsskey-programkey.htm", "dsskey-ext.htm"};
const char* const kMenuNames[] = {"dsskey-programkey", "dsskey-memorykey", "dsskey-linekey",
                                  "dsskey-extkey"};
const char* const kLevelItems[] = {"DsskeyMemoryKey", "DSSKeyLineKey", "DSSKeyProgrammableKey",
                                   "DSSKeyExtKey"};
const char* const kProgramKeyNames[] = {"",     "SoftKey1", "SoftKey2", "SoftKey3", "SoftKey4",
                                        "Up",   "Down",     "Left",     "Right",    "OK",
                                        "Cancel", "CONF",   "HOLD",     "MUTE",     "TRAN",
                                        "Redial"};
const char* const kLineKeyFields[] = {"EnablePageTips", "DsskeyLength"};

// Per parameter: the posted field, the template variables of its text and
// of its switch, and the row variable that is "1" when it applies.
struct ParaVars {
    const char* field;
    const char* text;
    const char* enable;
    const char* on;
    const char* loop;
};
const ParaVars kParaVars[kDsskParaCount] = {
    {"memValue", "memValue", "valueEnable", "valueOn", "ValueLoop"},
    {"selLine", "selLine", "lineEnable", "lineOn", "LineLoop"},
    {"memLabel", "memLabel", "labelEnable", "labelOn", "LabelLoop"},
    {"memExt", "memExt", "extEnable", "extOn", "ExtensionLoop"},
};

// "<prefix>_<keyIndex>", as the page names each key's fields.
std::string FieldName(const char* prefix, int keyIndex)
{
    return std::string(prefix) + "_" + std::to_string(keyIndex);
}

// A strictly decimal request field within min .. max.
bool IntParam(HttpRequest* request, const char* name, int min, int max, int& out)
{
    const char* text = request->getParameter(name);
    return text && ParseDecimalInt(text, min, max, out);
}

// A page or module number: absent or empty is page 1.
bool PageParam(HttpRequest* request, const char* name, int max, int& page)
{
    const char* text = request->getParameter(name);
    page = 1;
    return !text || !*text || ParseDecimalInt(text, 1, max, page);
}

// The inter-process lock the phone takes around the key files.
class KeyFileLock {
public:
    KeyFileLock() { locked_ = mutex_.OpenMutex(kLockName) && mutex_.Lock(-1); }
    ~KeyFileLock()
    {
        if (locked_)
            mutex_.Unlock();
        mutex_.CloseMutex();
    }
    bool locked() const { return locked_; }

private:
    ETL_BaseHelper::chMutex mutex_;
    bool locked_ = false;
};

// The conference PIN of a Meet-Me key never reaches the browser.
std::string Shown(const DssKey& key, int para)
{
    const std::string& text = key.attr[para].value;
    if (para == DSSK_PARA_EXT && key.dktype == DT_MEETME && !text.empty())
        return kSecretMask;
    return text;
}

// What the identity may do with a key set: the page's own level, the key
// set's tab and its level item, whichever allows least.
FieldAccess KeySetAccess(HttpRequest* request, int model)
{
    static const char* const kTabs[] = {"dsskey-memorykey", "dsskey-linekey", "dsskey-programkey",
                                        "dsskey-extkey"};
    FieldAccess access = GetPageAccess(request);
    if (!IsDsskeyModel(model))
        return access;
    int rank = IdentityRank(GetSessionIdentity(request));
    for (const char* level : {kTabs[model], kLevelItems[model]})
        access = std::max(access, LevelAccess(GetConfigValue(FILETYPE_GLOBAL, level, 0).substr(0, 15), rank));
    return access;
}

bool MayChange(HttpRequest* request, HttpResponse* response, int model)
{
    if (KeySetAccess(request, model) == FieldAccess::Change)
        return true;
    log_log(2, 4, "dsskey: %s may not change key set %d\n", GetSessionIdentity(request), model);
    SetNoticePage(response, false, kPage, "Error:You don't have enough jurisdiction!");
    return false;
}

// The longest key text the page takes, as its fields say (maxlength).
constexpr size_t kKeyTextMax = 99;

// Why a posted key text is refused; null when it is fine.
const char* KeyTextProblem(const std::string& text)
{
    if (text.size() > kKeyTextMax)
        return "The value is too long.";
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return "Line breaks and control characters are not allowed.";
    return nullptr;
}

void Refuse(HttpResponse* response, const char* logLine)
{
    log_log(2, 4, "%s", logLine);
    SetNoticePage(response, false, kPage, kWriteError);
}

}  // namespace

std::string DsskeyScriptText(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F || c == '<' || c == '>' || c == '&' || c == '\'') {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

void DssKeyServlet::init()
{
    model_ = GetModelInitObj();
}

void DssKeyServlet::destory()
{
    model_ = nullptr;
}

int DssKeyServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    if (!request || !response)
        return 0;
    if (!model_)
        init();
    static const PageAction<DssKeyServlet> kActions[] = {
        {"load", &DssKeyServlet::loadConfig},
        {"write", &DssKeyServlet::writeConfig},
        {"typeChanged", &DssKeyServlet::typeChanged},
        {"reset", &DssKeyServlet::ResetDefaultData},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int DssKeyServlet::GetDefaultDsskey(int phoneType)
{
    return phoneType == 26 || phoneType == 28 || phoneType == 65 ? DSSK_MEMKEY : DSSK_LINE;
}

void DssKeyServlet::GetDKtypeDisplay(char* buffer, size_t size, int dktype, int model)
{
    CopyText(buffer, size, DsskeyTypeName(dktype, model));
}

void DssKeyServlet::SendMsgQueryBlfList(int model, int page)
{
    if (GetConfigValue(FILETYPE_GLOBAL, "BSFTActive", 0) != "1" || model == DSSK_PROGRAMKEY)
        return;
    unsigned int wparam = model == DSSK_LINE ? 0 : model == DSSK_MEMKEY ? 1 : 2;
    int lparam = model == DSSK_EXTKEY ? page : 0;
    msgSendMsgToThread(msgGetThreadByName("app_vpPhone"), kMsgKeyStatusList, wparam, lparam);
}

int DssKeyServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    const char* modelText = request->getParameter("model");
    int phoneType = GetPhoneType();
    int model = GetDefaultDsskey(phoneType);
    if (modelText && *modelText && !ParseDecimalInt(modelText, INT_MIN + 1, INT_MAX, model))
        model = GetDefaultDsskey(phoneType);
    int page = 1;
    TMPL_varlist* varlist = nullptr;
    bool valid = true;
    if (phoneType == kPhoneOnlyProgramKeys) {
        model = DSSK_PROGRAMKEY;
    } else if (model == DSSK_EXTKEY) {
        valid = PageParam(request, "extno", 15, page);
    } else if (model == DSSK_LINE) {
        valid = PageParam(request, "linepage", kLineKeyPages, page);
        if (valid)
            varlist = readConfigOperate(FILETYPE_GLOBAL, kLineKeyFields, CountOf(kLineKeyFields),
                                        varlist, 0);
    } else if (model != DSSK_PROGRAMKEY) {
        valid = false;  // memory keys have no page on this phone
    }
    if (valid && KeySetAccess(request, model) == FieldAccess::Hidden) {
        TMPL_free_varlist(varlist);
        response->sendError(403);
        return 0;
    }
    if (!valid) {
        TMPL_free_varlist(varlist);
        log_log(2, 4, "dsskey load: refused model or page\n");
        response->sendError(404);
        return 0;
    }
    DSSK_MODEL_TYPE set = static_cast<DSSK_MODEL_TYPE>(model);
    SendMsgQueryBlfList(model, page);
    ZRList<DssKey_Type> types;
    model_->GetDKtypeList(&types, set);
    Key_Display display;
    model_->GetKeyIndexList(&display, set, page);
    ZRList<DssKey> keys;
    {
        KeyFileLock lock;
        model_->GetDsskeyList(&keys, set, &display, page);
    }
    varlist = TMPL_add_var(varlist, "linepage", std::to_string(page).c_str(), 0);
    varlist = TMPL_add_loop(varlist, "TypeLoop", DKtypeList2Loop(types, model));
    varlist = TMPL_add_loop(varlist, "TRLoop", DsskConfigData2Loop(keys, model, &types));
    if (model == DSSK_EXTKEY)
        varlist = TMPL_add_loop(varlist, "extLoop", DevDataInfo2Loop(display));
    varlist = showItemsByLevel(varlist, request, model);
    varlist = readConfigOperate(FILETYPE_GLOBAL, "AutoBlfListEnable", varlist, 0);
    RenderPage(response, kTemplates[model], varlist);
    unlink(phonePath(kBlfListFile).c_str());
    return 1;
}

int DssKeyServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    int model = DSSK_MEMKEY;
    if (request->getParameter("model") && !IntParam(request, "model", DSSK_MEMKEY, DSSK_EXTKEY, model)) {
        Refuse(response, "Get dsskey model error!\n");
        return 0;
    }
    int page = 1;
    const char* pageField = model == DSSK_EXTKEY ? "extno" : model == DSSK_LINE ? "linepage" : nullptr;
    if (pageField) {
        const char* text = request->getParameter(pageField);
        int max = model == DSSK_LINE ? kLineKeyPages : 15;
        if (!text || !*text || !ParseDecimalInt(text, 1, max, page)) {
            Refuse(response, model == DSSK_EXTKEY ? "Get ext index error!\n" : "Get line page error!\n");
            return 0;
        }
    }
    if (!MayChange(request, response, model))
        return 0;
    DSSK_MODEL_TYPE set = static_cast<DSSK_MODEL_TYPE>(model);
    Key_Display display;
    model_->GetKeyIndexList(&display, set, page);
    ZRList<DssKey> keys;
    PageWrite write(request, kPage);
    if (PageData2ConfigData(request, &keys, &display)) {
        // The key files and their INI mirror hold the same one-line texts.
        for (const DssKey& key : keys) {
            for (int p = 0; p < kDsskParaCount; ++p) {
                if (const char* problem = KeyTextProblem(key.attr[p].value))
                    write.refuse(FieldName(kParaVars[p].field, key.keyIndex).c_str(), problem);
            }
        }
    }
    if (model == DSSK_LINE)
        write.add(FILETYPE_GLOBAL, kLineKeyFields, CountOf(kLineKeyFields));
    if (write.refused() || (!write.save() && write.failed()))
        return write.reshow(response, this, &DssKeyServlet::loadConfig);
    const unsigned int kMessages[] = {kChangedPageTips, kChangedKeyLength};
    for (int i = 0; model == DSSK_LINE && i < CountOf(kLineKeyFields); ++i)
        if (write.changed(kLineKeyFields[i]))
            msgBroadpostThreadMsg(kMsgConfigChanged, kMessages[i], 0);
    bool stored = false;
    {
        KeyFileLock lock;
        if (lock.locked() && display.displayMode != 0) {
            // Only the functions this key set offers reach the files.
            for (DssKey& key : keys)
                if (!model_->CheckSupportDKtype(set, static_cast<DssKey_Type>(key.dktype)))
                    key.dktype = DT_NONE;
            stored = model_->SetDsskeyList(set, &keys, page, true);
        }
    }
    if (!stored) {
        Refuse(response, "Dsskey model write config data error!\n");
        return 0;
    }
    MarkSaved(request);
    std::string url = "/servlet?p=dsskey&model=" + std::to_string(model) + "&q=load";
    if (pageField)
        url += std::string("&") + pageField + "=" + std::to_string(page);
    response->sendRedirect(url.c_str());
    return 1;
}

int DssKeyServlet::typeChanged(HttpRequest* request, HttpResponse* response)
{
    response->setContentType("text/json");
    int dktype = 0;
    int model = 0;
    int keyIndex = 0;
    if (!IntParam(request, "dktype", DT_NA, DT_LAST, dktype) ||
        !IntParam(request, "model", DSSK_MEMKEY, DSSK_EXTKEY, model) ||
        !IntParam(request, "keyindex", 0, INT_MAX, keyIndex)) {
        log_log(2, 4, "KeyIndex, dktype or modeltype's value is null\n");
        return 0;
    }
    int module = 1;
    if (model == DSSK_EXTKEY && !IntParam(request, "extno", 1, 15, module)) {
        log_log(2, 4, "can't get extno\n");
        return 0;
    }
    if (KeySetAccess(request, model) == FieldAccess::Hidden) {
        log_log(2, 4, "dsskey: key set %d is hidden from %s\n", model, GetSessionIdentity(request));
        return 0;
    }
    DSSK_MODEL_TYPE set = static_cast<DSSK_MODEL_TYPE>(model);
    // The key must be one the key set shows: any line-key page, this
    // module's keys, the listed programmable keys.
    Key_Display display;
    model_->GetKeyIndexList(&display, set, model == DSSK_LINE ? 1 : module);
    int first = display.keyIndexes.empty() ? 1 : display.keyIndexes.front();
    int last = display.keyIndexes.empty() ? 0 : display.keyIndexes.back();
    if (model == DSSK_LINE)
        last = kLineKeysPerPage * kLineKeyPages;
    bool shown = display.displayMode == 1 && keyIndex >= first && keyIndex <= last;
    for (int k : display.keyIndexes)
        shown |= display.displayMode == 2 && k == keyIndex;
    DssKey key;
    key.dktype = dktype;
    key.keyIndex = keyIndex;
    if (!shown || !model_->CheckSupportDKtype(set, static_cast<DssKey_Type>(dktype)) ||
        !model_->GetDsskey(&key, set, module, true)) {
        log_log(2, 4, "Get type change data error!\n");
        return 0;
    }
    char flags[160];
    snprintf(flags, sizeof flags, "{keyindex:%d,dktype:%d,bValue:%d,bLine:%d,bLabel:%d,bExt:%d}",
             keyIndex, key.dktype, key.attr[DSSK_PARA_VALUE].enabled ? 1 : 0,
             key.attr[DSSK_PARA_LINE].enabled ? 1 : 0, key.attr[DSSK_PARA_LABEL].enabled ? 1 : 0,
             key.attr[DSSK_PARA_EXT].enabled ? 1 : 0);
    // The stored PIN stays masked even when the key is turned into another
    // function that shares its attribute.
    pugi::xml_document unused;
    pugi::xml_node item;
    bool pin = static_cast<Dsskey_M7X_Model*>(model_)->GetXmlDataNode(set, keyIndex, unused, item, module) &&
               item.attribute("type").as_int() == DT_MEETME;
    std::string ext = key.attr[DSSK_PARA_EXT].value;
    if ((pin || key.dktype == DT_MEETME) && !ext.empty())
        ext = kSecretMask;
    std::string text = std::string("{controller:") + flags + ",attrvalue:{strvalue:\"" +
                       DsskeyScriptText(key.attr[DSSK_PARA_VALUE].value) + "\",strline:\"" +
                       DsskeyScriptText(key.attr[DSSK_PARA_LINE].value) + "\",strlabel:\"" +
                       DsskeyScriptText(key.attr[DSSK_PARA_LABEL].value) + "\",strext:\"" +
                       DsskeyScriptText(ext) + "\"}";
    const struct {
        const char* name;
        int para;
    } kLists[] = {{",valuelist:", DSSK_PARA_VALUE},
                  {",labellist:", DSSK_PARA_LABEL},
                  {",linelist:", DSSK_PARA_LINE},
                  {",extlist:", DSSK_PARA_EXT}};
    for (const auto& list : kLists) {
        std::string options;
        if (AttrValueList2String(&key.attr[list.para].list, options))
            text += list.name + options;
    }
    text += "}";
    ReplaceStrByStr(text, "%", "%%");
    response->print(text.c_str());
    return 1;
}

bool DssKeyServlet::AttrValueList2String(const ZRList<KeyValue>* list, std::string& out)
{
    if (!list) {
        log_log(2, 4, "pMapValue is NULL\n");
        return false;
    }
    if (list->empty())
        return false;
    std::string keys;
    std::string values;
    for (const KeyValue& option : *list) {
        keys += (keys.empty() ? "\"" : ",\"") + std::to_string(option.key) + "\"";
        values += (values.empty() ? "\"" : ",\"") + DsskeyScriptText(option.value) + "\"";
    }
    out = "{keys:[" + keys + "],values:[" + values + "]}";
    return true;
}

int DssKeyServlet::ResetDefaultData(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    int model = -1;
    if (!IntParam(request, "model", INT_MIN + 1, INT_MAX, model))
        model = -1;
    if (!MayChange(request, response, model))
        return 0;
    bool reset = false;
    {
        KeyFileLock lock;
        reset = lock.locked() && model_->SetFactoryDsskeyList(static_cast<DSSK_MODEL_TYPE>(model));
    }
    if (!reset) {
        SetNoticePage(response, false, kPage, kWriteError);
        return 0;
    }
    MarkSaved(request);
    response->sendRedirect("/servlet?p=dsskey&model=2&q=load");
    return 1;
}

bool DssKeyServlet::PageData2ConfigData(HttpRequest* request, ZRList<DssKey>* keys,
                                        Key_Display* display)
{
    if (!request || !keys || !display)
        return false;
    ZRList<int> indexes;
    if (display->displayMode == 1 && display->keyIndexes.size() == 2) {
        for (int k = display->keyIndexes.front(); k <= display->keyIndexes.back(); ++k)
            indexes.push_back(k);
    } else if (display->displayMode == 2) {
        indexes = display->keyIndexes;
    } else {
        return false;
    }
    for (int k : indexes) {
        DssKey key;
        key.keyIndex = k;
        GetKeyConfigDataFromPage(&key, request);
        keys->push_back(key);
    }
    return true;
}

bool DssKeyServlet::GetKeyConfigDataFromPage(DssKey* key, HttpRequest* request)
{
    if (!key || !request)
        return false;
    const char* type = request->getParameter(FieldName("selType", key->keyIndex).c_str());
    key->dktype = DT_NONE;
    if (type)
        ParseDecimalInt(type, DT_NONE, INT_MAX, key->dktype);
    for (int p = 0; p < kDsskParaCount; ++p) {
        const char* text = request->getParameter(FieldName(kParaVars[p].field, key->keyIndex).c_str());
        key->attr[p].value = text ? text : "";
        key->attr[p].enabled = text != nullptr;
    }
    return true;
}

// ---- Template loops --------------------------------------------------------

TMPL_loop* DssKeyServlet::DevDataInfo2Loop(const Key_Display& display)
{
    TMPL_loop* loop = nullptr;
    for (int i = 1; i <= display.pageCount; ++i) {
        std::string number = std::to_string(i);
        loop = TMPL_add_varlist(loop, TMPL_add_var(nullptr, "devIndex", number.c_str(), "devValue",
                                                   number.c_str(), "selected",
                                                   i == display.page ? "1" : "0", 0));
    }
    return loop;
}

TMPL_loop* DssKeyServlet::AttrValueList2Loop(const Dsskey_Attr& attr)
{
    TMPL_loop* loop = nullptr;
    for (const KeyValue& option : attr.list) {
        std::string key = std::to_string(option.key);
        TMPL_varlist* row = TMPL_add_var(nullptr, "selName", EscapeHtml(option.value).c_str(),
                                         "selValue", key.c_str(), 0);
        // Left out rather than empty: a page has hundreds of these rows.
        if (key == attr.value)
            row = TMPL_add_var(row, "selected", "selected", 0);
        loop = TMPL_add_varlist(loop, row);
    }
    return loop;
}

TMPL_loop* DssKeyServlet::DKtypeList2Loop(ZRList<DssKey_Type>& types, int model)
{
    TMPL_loop* loop = nullptr;
    for (DssKey_Type type : types) {
        char name[32];
        GetDKtypeDisplay(name, sizeof name, type, model);
        loop = TMPL_add_varlist(loop, TMPL_add_var(nullptr, "selValue", std::to_string(type).c_str(),
                                                   "selName", name, 0));
    }
    return loop;
}

TMPL_loop* DssKeyServlet::DsskConfigData2Loop(ZRList<DssKey>& keys, int model,
                                              ZRList<DssKey_Type>* types)
{
    // Nine rows of forty options made by the template cost more than the
    // rest of the page; the names are the fixed texts of the type table.
    std::vector<std::string> options;
    size_t optionsSize = 0;
    if (types) {
        for (DssKey_Type type : *types) {
            options.push_back(std::to_string(type) + "\" class=\"t\">" + DsskeyTypeName(type, model) +
                              "</option>\n");
            optionsSize += options.back().size();
        }
    }
    TMPL_loop* loop = nullptr;
    int half = keys.size() / 2;
    DSSK_MODEL_TYPE set = static_cast<DSSK_MODEL_TYPE>(model);
    for (DssKey& key : keys) {
        std::string row = std::to_string(key.keyIndex);
        std::string number = std::to_string(ChangedKeyNumber(model, key.keyIndex));
        Dsskey_M7X_Model* m7x = static_cast<Dsskey_M7X_Model*>(model_);
        bool locked = m7x->IsLineKeyLocked(set, &key, -1);
        TMPL_varlist* vars = TMPL_add_var(nullptr, "row", row.c_str(), "keyNo", number.c_str(),
                                          "selType", std::to_string(key.dktype).c_str(), "linelock",
                                          locked ? "true" : "false", "locked", locked ? "1" : "0", 0);
        // A key of page 2 or 3 locked from page 1 follows that key.
        bool readonly = locked && key.keyIndex > kLineKeysPerPage;
        if (readonly)
            vars = TMPL_add_var(vars, "readonly", "1", 0);
        if (types) {
            std::string html;
            html.reserve(optionsSize + 32 * options.size());
            std::string selected = std::to_string(key.dktype) + "\"";
            for (const std::string& option : options) {
                html += option.compare(0, selected.size(), selected) == 0 ? "<option selected value=\""
                                                                          : "<option value=\"";
                html += option;
            }
            vars = TMPL_add_var(vars, "TypeOptions", html.c_str(), 0);
        }
        if (model == DSSK_PROGRAMKEY && key.keyIndex >= 1 && key.keyIndex < CountOf(kProgramKeyNames))
            vars = TMPL_add_var(vars, "ProgramKeyName", kProgramKeyNames[key.keyIndex], 0);
        if (model == DSSK_EXTKEY) {
            bool middle = key.keyIndex == half;
            vars = TMPL_add_var(vars, "middle", middle ? "true" : "false", "isMiddle",
                                middle ? "1" : "0", 0);
        }
        for (int p = 0; p < kDsskParaCount; ++p) {
            const Dsskey_Attr& attr = key.attr[p];
            if (!model_->CheckSupportParamer(static_cast<DSSK_PARA_TYPE>(p), set))
                continue;
            vars = TMPL_add_var(vars, kParaVars[p].text, EscapeHtml(Shown(key, p)).c_str(),
                                kParaVars[p].enable, attr.enabled ? "true" : "false",
                                kParaVars[p].on, attr.enabled && !readonly ? "1" : "0", 0);
            if (attr.list.empty())
                continue;
            if (p == DSSK_PARA_VALUE)
                vars = TMPL_add_var(vars, "withvaluelist", "true", 0);
            vars = TMPL_add_loop(vars, kParaVars[p].loop, AttrValueList2Loop(attr));
        }
        loop = TMPL_add_varlist(loop, vars);
    }
    return loop;
}

TMPL_varlist* DssKeyServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request, int model)
{
    bool valid = IsDsskeyModel(model);
    return AddShowLevel(varlist, request, kMenuNames, CountOf(kMenuNames),
                        valid ? &kLevelItems[model] : nullptr, valid ? 1 : 0);
}

HttpServlet* createDssKeyServlet()
{
    return new DssKeyServlet;
}
