// The key files (XML) and their INI mirrors, the layout of each key set, the
// option lists of the line parameter and the changed-key messages.
#include <pugixml.hpp>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sstream>

#include "dsskey/DssKeyModel.h"
#include "frame/configbridge.h"
#include "frame/helpers.h"
#include "platform/etl.h"
#include "platform/fileutil.h"
#include "platform/msgbus.h"
#include "platform/msgids.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace {

constexpr char kDataDir[] = "/config/data/";
constexpr char kUserIni[] = "/config/user/vpPhone.ini";
constexpr char kFactoryIni[] = "/phone/factory/vpPhone/vpPhone.ini";
constexpr char kUserExpIni[] = "/config/user/Xk51_0000000000000";
constexpr char kFactoryExpIni[] = "/phone/factory/vpPhone/Xk51_0000000000000";
constexpr char kFactoryProgramKeys[] = "/phone/factory/data/programkey.xml";
constexpr char kLocalGroups[] = "/config/data/contact_group_list.xml";
constexpr char kRemotePhonebooks[] = "/config/data/remote_phonebook_list.xml";
// The changed-key text carries at most this many keys.
constexpr size_t kChangedKeysMax = 63;
// The reply to the layout query: modules in the low bits, kind above.
constexpr int kModuleCountMask = 0xF;
constexpr int kMaxModules = 15;
// A key file older than this is kept parsed between reads.
constexpr long long kSettledNs = 100LL * 1000 * 1000;

constexpr unsigned int kChangedKeys = 10;
constexpr unsigned int kChangedKeyList = 2;
constexpr unsigned int kChangedProgramKeys = 31;
constexpr unsigned int kChangedExpKeyList = 25;

const char* RootName(int model)
{
    return model == DSSK_PROGRAMKEY ? "programkey" : "dsskey";
}

bool ValidModule(int model, int module)
{
    return model != DSSK_EXTKEY || (module >= 1 && module <= kMaxModules);
}

// The document of a key file. An empty file (no root element yet) counts as
// loaded; a file that exists but does not parse does not, so a write never
// replaces a damaged file with a fresh document.
bool LoadKeyFile(const std::string& path, pugi::xml_document& doc)
{
    if (path.empty())
        return false;
    pugi::xml_parse_result result = doc.load_file(phonePath(path).c_str());
    return result || result.status == pugi::status_no_document_element;
}

// The parsed key file for reading, null when it does not load. A page reads
// one file once for every key it shows: the last file parsed is kept for as
// long as nobody replaces or changes it, and stays valid until the next call
// for another file.
const pugi::xml_document* ReadKeyFile(const std::string& path)
{
    static struct {
        std::string path;
        FileStamp stamp;
        pugi::xml_document doc;
        bool usable = false;
    } last;
    if (path.empty())
        return nullptr;
    std::string real = phonePath(path);
    FileStamp stamp = fileStampOf(real);
    if (last.usable && stamp.exists && last.path == real && last.stamp == stamp)
        return &last.doc;
    last.usable = LoadKeyFile(path, last.doc) && stamp.exists;
    // A file changed while it was read is read again next time, and so is
    // one changed moments ago: a change within the clock's granularity
    // would leave the same stamp.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    long long age = (static_cast<long long>(now.tv_sec) - stamp.mtimeSec) * 1000000000LL +
                    (now.tv_nsec - stamp.mtimeNsec);
    last.path = fileStampOf(real) == stamp && age > kSettledNs ? real : std::string();
    last.stamp = stamp;
    return last.usable ? &last.doc : nullptr;
}

bool SaveKeyFile(const std::string& path, const pugi::xml_document& doc)
{
    std::ostringstream text;
    doc.save(text, "\t", pugi::format_default, pugi::encoding_auto);
    return writeFileAtomic(phonePath(path), text.str());
}

pugi::xml_node NextItem(pugi::xml_node node) { return node.next_sibling("item"); }
pugi::xml_node PreviousItem(pugi::xml_node node) { return node.previous_sibling("item"); }

// The attribute, created with `initial` when missing.
pugi::xml_attribute Attribute(pugi::xml_node node, const char* name, const char* initial)
{
    pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute) {
        attribute = node.append_attribute(name);
        attribute.set_value(initial);
    }
    return attribute;
}

bool SetAttribute(pugi::xml_attribute attribute, const std::string& value)
{
    if (value == attribute.value())
        return false;
    attribute.set_value(value.c_str());
    return true;
}

// Stores an INI value; true when the stored text changed.
bool SetRegValue(_HREGISTRY_* handle, const char* key, const std::string& value, bool log)
{
    static const char kAbsent[] = "\x01";
    bool changed = registryGetString(handle, key, kAbsent) != value;
    return RegSetString(handle, key, value.c_str(), log) && changed;
}

int ToInt(const char* text, int fallback)
{
    int value = fallback;
    return text && ParseDecimalInt(text, INT_MIN + 1, INT_MAX, value) ? value : fallback;
}

void AddChanged(std::string& changed, int model, int keyIndex)
{
    if (changed.size() < kChangedKeysMax)
        changed += static_cast<char>(ChangedKeyNumber(model, keyIndex) & 0xFF);
}

// Fills a key's parameters of the key at `item`.
void ReadItem(Dsskey_M7X_Model& model, DssKey* key, DSSK_MODEL_TYPE set, pugi::xml_node item,
              bool onlyLine)
{
    pugi::xml_node data = item.child("itemdata");
    DssKey_Type type = static_cast<DssKey_Type>(key->dktype);
    for (int p = 0; p < kDsskParaCount; ++p) {
        if (onlyLine && p != DSSK_PARA_LINE)
            continue;
        bool withIndex = p == DSSK_PARA_VALUE || p == DSSK_PARA_LABEL;
        model.GetAttrValueList(key->attr[p], type, static_cast<DSSK_PARA_TYPE>(p), set, data,
                               withIndex ? key->keyIndex : -1);
    }
}

// Asks the phone how many modules are attached and of which kind; shows
// the module display->page when it is attached.
void AskExpansionLayout(Key_Display* display, int& kind)
{
    int reply = msgSendMsgToThread(msgGetThreadByName("app_vpPhone"), kMsgKeyLayout, 0, 0);
    int modules = reply & kModuleCountMask;
    kind = (reply >> 4) == 1 ? 1 : 2;
    display->pageCount = modules;
    display->displayMode = display->page > modules ? 0 : 1;
    if (display->displayMode) {
        display->keyIndexes.push_back(0);
        display->keyIndexes.push_back(kind == 1 ? 37 : 39);
    }
}

}  // namespace

std::string DsskeyFilePath(int model, int module)
{
    switch (model) {
    case DSSK_MEMKEY: return std::string(kDataDir) + "memkey.xml";
    case DSSK_LINE: return std::string(kDataDir) + "linekey.xml";
    case DSSK_PROGRAMKEY: return std::string(kDataDir) + "programkey.xml";
    case DSSK_EXTKEY: {
        if (!ValidModule(model, module))
            return "";
        char name[64];
        snprintf(name, sizeof name, "%s%d.xml", "expkey", module - 1);
        return std::string(kDataDir) + name;
    }
    }
    return "";
}

bool ParseBlfListRecord(const std::string& text, int number, std::string fields[3])
{
    for (int f = 0; f < 3; ++f)
        fields[f].clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('$', start);
        std::string record = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t mark = record.find('?');
        int found = -1;
        if (mark != std::string::npos && ParseDecimalInt(record.substr(0, mark).c_str(), 0, INT_MAX, found) &&
            found == number) {
            size_t at = mark + 1;
            for (int f = 0; f < 3 && at <= record.size(); ++f) {
                size_t next = record.find('?', at);
                std::string field = record.substr(at, next == std::string::npos ? std::string::npos : next - at);
                // The first character is the phone's tag.
                fields[f] = field.empty() ? field : field.substr(1);
                if (next == std::string::npos)
                    break;
                at = next + 1;
            }
            return true;
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

// ---- Layout ----------------------------------------------------------------

void DssKey_Model_Base::GetKeyIndexList(Key_Display* display, DSSK_MODEL_TYPE model, int page)
{
    if (!display)
        return;
    display->keyIndexes.clear();
    display->page = page;
    if (model >= DSSK_EXTKEY) {
        AskExpansionLayout(display, extModuleKind);
        return;
    }
    display->displayMode = 1;
    display->pageCount = 1;
    display->keyIndexes.push_back(1);
    display->keyIndexes.push_back(model == DSSK_MEMKEY ? 10 : model == DSSK_LINE ? GetAccountMax() : 14);
}

void Dsskey_M7X_Model::GetKeyIndexList(Key_Display* display, DSSK_MODEL_TYPE model, int page)
{
    if (!display)
        return;
    display->keyIndexes.clear();
    display->page = page;
    if (model == DSSK_LINE) {
        display->displayMode = 1;
        display->pageCount = kLineKeyPages;
        display->keyIndexes.push_back(kLineKeysPerPage * page - (kLineKeysPerPage - 1));
        display->keyIndexes.push_back(kLineKeysPerPage * page);
    } else if (model == DSSK_PROGRAMKEY) {
        display->displayMode = 2;
        display->pageCount = 1;
        for (int key : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13, 14})
            display->keyIndexes.push_back(key);
    } else if (model >= DSSK_EXTKEY) {
        AskExpansionLayout(display, extModuleKind);
    } else {
        display->displayMode = 0;
        display->page = -1;
        display->pageCount = 0;
    }
}

// ---- Reading ---------------------------------------------------------------

bool Dsskey_M7X_Model::GetXmlDataNode(DSSK_MODEL_TYPE model, int keyIndex, pugi::xml_document& doc,
                                      pugi::xml_node& item, int module)
{
    if (!IsDsskeyModel(model))
        return false;
    // The item points into the shared parsed file; `doc` stays empty.
    doc.reset();
    pugi::xml_node root;
    const pugi::xml_document* file = ReadKeyFile(DsskeyFilePath(model, module));
    if (file)
        root = file->child(RootName(model));
    if (!root) {
        log_log(2, 4, "Open the dsskey xml error!\n");
        return false;
    }
    item = root.child("item");
    if (!item) {
        log_log(2, 4, "Get dsskey node error!\n");
        return false;
    }
    int position = model == DSSK_EXTKEY ? keyIndex + 1 : keyIndex;
    if (position < 1) {
        item = pugi::xml_node();
        return false;
    }
    for (int i = 1; i < position && item; ++i)
        item = NextItem(item);
    return static_cast<bool>(item);
}

void Dsskey_M7X_Model::GetAttrValueList(Dsskey_Attr& attr, DssKey_Type dktype, DSSK_PARA_TYPE para,
                                        DSSK_MODEL_TYPE model, pugi::xml_node& itemdata,
                                        int keyIndex)
{
    attr.enabled = EnableParamer(para, model, dktype, keyIndex);
    bool withList = IsAttrWithList(dktype, para, model);
    if (!attr.enabled && !withList)
        return;
    std::string name = para == DSSK_PARA_VALUE ? "value" : para == DSSK_PARA_LABEL ? "label" : "";
    GetXMLAttrName(dktype, para, &name);
    if (itemdata)
        attr.value = itemdata.attribute(name.c_str()).value();
    else
        attr.value = para == DSSK_PARA_LINE ? "0" : "";
    if (withList && (para == DSSK_PARA_VALUE || para == DSSK_PARA_LINE))
        GetAttrListByDKtype(&attr.list, dktype, para, attr.enabled);
}

bool Dsskey_M7X_Model::GetDsskey(DssKey* key, DSSK_MODEL_TYPE model, int module, bool keepType)
{
    if (!key) {
        log_log(2, 4, "NULL == pDsskeyData\n");
        return false;
    }
    // Asked before the item is taken: the answer reads the file again, which
    // may replace the parsed copy the item points into.
    bool pageOneLocked = model == DSSK_LINE && key->keyIndex > kLineKeysPerPage &&
                         IsLineKeyLocked(model, nullptr, key->keyIndex);
    pugi::xml_document doc;
    pugi::xml_node item;
    if (!GetXmlDataNode(model, key->keyIndex, doc, item, module)) {
        log_log(2, 4, "Can't find the item node! iKeyIndex = %d\n", key->keyIndex);
        return false;
    }
    bool readType = !keepType || pageOneLocked;
    if (readType) {
        key->dktype = ToInt(item.attribute("type").value(), 0);
        if (!CheckSupportDKtype(model, static_cast<DssKey_Type>(key->dktype)))
            key->dktype = DT_NA;
    }
    bool blfList = !keepType && key->dktype == DT_BLFLIST &&
                   GetConfigValue(FILETYPE_GLOBAL, "BSFTActive", 0) == "1";
    if (blfList)
        GetBlfListDssKey(key, model);
    ReadItem(*this, key, model, item, blfList);
    if (model == DSSK_LINE && key->keyIndex > kLineKeysPerPage &&
        IsLineKeyLocked(model, key, key->keyIndex) && !pageOneLocked)
        key->attr[DSSK_PARA_VALUE].value = "0";
    return true;
}

bool DssKey_Model_Base::GetDsskeyList(ZRList<DssKey>* list, DSSK_MODEL_TYPE model,
                                      Key_Display* display, int module)
{
    if (!list || !display)
        return false;
    ZRList<int> indexes;
    if (display->displayMode == 1) {
        if (display->keyIndexes.size() != 2)
            return false;
        for (int k = display->keyIndexes.front(); k <= display->keyIndexes.back(); ++k)
            indexes.push_back(k);
    } else if (display->displayMode == 2) {
        indexes = display->keyIndexes;
    } else {
        return false;
    }
    listAccountMax_ = GetAccountMax();
    bool read = true;
    for (int k : indexes) {
        DssKey key;
        key.keyIndex = k;
        read = GetDsskey(&key, model, module, false);
        if (!read)
            break;
        list->push_back(key);
    }
    listAccountMax_ = -1;
    return read;
}

bool Dsskey_M7X_Model::IsLineKeyLocked(DSSK_MODEL_TYPE model, DssKey* key, int keyIndex)
{
    if (model != DSSK_LINE || (!key && keyIndex == -1))
        return false;
    if (key) {
        return (key->dktype == DT_LINE || key->dktype == DT_BLA) &&
               key->attr[DSSK_PARA_VALUE].value == kLineKeyLocked;
    }
    if (keyIndex < 1)
        return false;
    DssKey first;
    first.keyIndex = (keyIndex - 1) % kLineKeysPerPage + 1;
    return GetDsskey(&first, DSSK_LINE, 1, false) && IsLineKeyLocked(model, &first, -1);
}

bool DssKey_Model_Base::GetBlfListDssKey(DssKey* key, DSSK_MODEL_TYPE model)
{
    if (!key) {
        log_log(2, 4, "pDsskeyData = null\n");
        return false;
    }
    std::string text = ETL_FileHelper::etlDumpTextFileA(kBlfListFile);
    if (text.empty())
        log_log(2, 4, "file(/tmp/tmpBLFListValues) : EMPTY\n");
    std::string fields[3];
    ParseBlfListRecord(text, ChangedKeyNumber(model, key->keyIndex), fields);
    const DSSK_PARA_TYPE kParas[3] = {DSSK_PARA_VALUE, DSSK_PARA_LABEL, DSSK_PARA_EXT};
    for (int f = 0; f < 3; ++f) {
        key->attr[kParas[f]].value = fields[f];
        key->attr[kParas[f]].enabled =
            EnableParamer(kParas[f], model, static_cast<DssKey_Type>(key->dktype), key->keyIndex);
    }
    return true;
}

// ---- Writing: key files ----------------------------------------------------

bool Dsskey_M7X_Model::SetDsskey(DSSK_MODEL_TYPE model, DssKey* key, pugi::xml_node& item, int step,
                                 int)
{
    if (!key || model < DSSK_LINE || model > DSSK_EXTKEY) {
        log_log(2, 4, "Dsskey_M7X_Model::SetDsskey... null or < DSSK_LINE\n");
        return false;
    }
    // The cursor moves first, so the keys after a skipped one stay aligned.
    for (int i = 0; i < (step < 0 ? -step : step) && item; ++i) {
        pugi::xml_node next = step > 0 ? NextItem(item) : PreviousItem(item);
        if (!next && step > 0)
            next = item.parent().append_child("item");
        if (!next)
            break;
        item = next;
    }
    if (!item) {
        log_log(2, 4, "Get item node error! iKeyIndex = %d\n", key->keyIndex);
        return false;
    }
    pugi::xml_attribute type = Attribute(item, "type", "0");
    if (key->dktype == DT_NONE) {
        log_log(2, 4, "keyIndex = %d, dktype = -1\n", key->keyIndex);
        return false;
    }
    int storedType = ToInt(type.value(), 0);
    bool changed = SetAttribute(type, std::to_string(key->dktype));
    pugi::xml_node data = item.child("itemdata");
    if (!data)
        data = item.append_child("itemdata");
    DssKey_Type dktype = static_cast<DssKey_Type>(key->dktype);
    for (int p = 0; p < kDsskParaCount; ++p) {
        DSSK_PARA_TYPE para = static_cast<DSSK_PARA_TYPE>(p);
        std::string name = p == DSSK_PARA_VALUE ? "value" : p == DSSK_PARA_LABEL ? "label" : "";
        GetXMLAttrName(dktype, para, &name);
        pugi::xml_attribute attribute = Attribute(data, name.c_str(), p == DSSK_PARA_LINE ? "-1" : "");
        if (dktype == DT_BLFLIST && (p == DSSK_PARA_VALUE || p == DSSK_PARA_LABEL)) {
            attribute.set_value("");
            continue;
        }
        const Dsskey_Attr& attr = key->attr[p];
        // A field the form did not carry keeps its stored text.
        if (!attr.enabled || !EnableParamer(para, model, dktype, key->keyIndex) ||
            !CheckSupportParamer(para, model))
            continue;
        if (p == DSSK_PARA_EXT && IsMaskedSecret(attr.value) &&
            (dktype == DT_MEETME || storedType == DT_MEETME))
            continue;
        changed |= SetAttribute(attribute, attr.value);
    }
    return changed;
}

bool Dsskey_M7X_Model::SetDsskeyList(DSSK_MODEL_TYPE model, ZRList<DssKey>* list, int module,
                                     bool notify)
{
    if (!list || model < DSSK_LINE || model > DSSK_EXTKEY || !ValidModule(model, module)) {
        log_log(2, 4, "paramer data error!\n");
        return false;
    }
    std::string path = DsskeyFilePath(model, module);
    pugi::xml_document doc;
    if (!LoadKeyFile(path, doc)) {
        log_log(2, 4, "Open the dsskey xml error!\n");
        return false;
    }
    pugi::xml_node root = doc.child(RootName(model));
    if (!root)
        root = doc.append_child(RootName(model));
    pugi::xml_node cursor = root.child("item");
    if (!cursor)
        cursor = root.append_child("item");
    std::string changed;
    int previous = model == DSSK_EXTKEY ? 0 : 1;
    // Writes `key` as key `index` into the file; collects the change.
    auto write = [&](DssKey& key, int index) {
        int own = key.keyIndex;
        key.keyIndex = index;
        bool did = SetDsskey(model, &key, cursor, index - previous, module);
        previous = index;
        key.keyIndex = own;
        return did;
    };
    for (DssKey& key : *list) {
        if (write(key, key.keyIndex))
            AddChanged(changed, model, key.keyIndex);
        if (model != DSSK_LINE || module != 1)
            continue;
        // A locked Line key holds its place on every line-key page.
        bool locked = IsLineKeyLocked(DSSK_LINE, &key, -1);
        bool unlocking = !locked && IsLineKeyLocked(DSSK_LINE, nullptr, key.keyIndex);
        for (int q = 2; q <= kLineKeyPages && (locked || unlocking); ++q) {
            int index = key.keyIndex + kLineKeysPerPage * (q - 1);
            if (locked) {
                if (write(key, index))
                    AddChanged(changed, model, index);
                DssKey mirror = key;
                mirror.keyIndex = index;
                DssKey_Model_Base::SetDsskey(DSSK_LINE, &mirror, q);
                continue;
            }
            DssKey blank;
            blank.dktype = DT_LINE;
            blank.keyIndex = index;
            blank.attr[DSSK_PARA_LINE].value = "-1";
            for (Dsskey_Attr& attr : blank.attr)
                attr.enabled = 1;
            bool did = write(blank, index);
            DssKey_Model_Base::SetDsskey(DSSK_LINE, &blank, q);
            blank.dktype = DT_NA;
            did |= write(blank, index);
            DssKey_Model_Base::SetDsskey(DSSK_LINE, &blank, q);
            if (did)
                AddChanged(changed, model, index);
        }
    }
    if (!SaveKeyFile(path, doc)) {
        log_log(2, 3, "Save the dsskey xml error!\n");
        return false;
    }
    if (model != DSSK_PROGRAMKEY)
        DssKey_Model_Base::SetDsskeyList(model, list, module, false);
    if (!changed.empty() && notify)
        SendMessage(model, changed, module);
    return true;
}

// ---- Writing: INI mirror ---------------------------------------------------

const char* DssKey_Model_Base::RegistryKeyName(DssKey_Type dktype, DSSK_PARA_TYPE para)
{
    switch (para) {
    case DSSK_PARA_VALUE: return "Value";
    case DSSK_PARA_LINE:
        return dktype == DT_HISTORY ? "HistoryType" : IsLineWithGroupList(dktype) ? "XMLPhoneBook" : "Line";
    case DSSK_PARA_LABEL: return "Label";
    case DSSK_PARA_EXT: return "PickupValue";
    }
    return "";
}

_HREGISTRY_* DssKey_Model_Base::GetRegistryHandle(DSSK_MODEL_TYPE model, int keyIndex, int module,
                                                  bool factory)
{
    char section[32];
    char file[128];
    switch (model) {
    case DSSK_MEMKEY:
    case DSSK_LINE:
    case DSSK_PROGRAMKEY:
        snprintf(section, sizeof section, "%s%d", model == DSSK_PROGRAMKEY ? "programablekey" : "memory",
                 keyIndex);
        return registryOpen(factory ? kFactoryIni : kUserIni, section);
    case DSSK_EXTKEY:
        if (!ValidModule(model, module))
            return nullptr;
        snprintf(file, sizeof file, "%s%d.cfg", factory ? kFactoryExpIni : kUserExpIni, module);
        snprintf(section, sizeof section, "%s%d", "key", keyIndex);
        return registryOpen(file, section);
    }
    return nullptr;
}

bool DssKey_Model_Base::SetDsskey(DSSK_MODEL_TYPE model, DssKey* key, int module)
{
    if (!key || key->dktype == DT_NONE) {
        log_log(2, 4, "DssKey_Model_Base::SetDsskey... pdsskey = null or dktype = -1\n");
        return false;
    }
    _HREGISTRY_* handle = GetRegistryHandle(model, key->keyIndex, module, false);
    if (!handle) {
        log_log(2, 4, "Open vpPhone.ini error!\n");
        return false;
    }
    DssKey_Type dktype = static_cast<DssKey_Type>(key->dktype);
    bool changed = SetRegValue(handle, "DKtype", std::to_string(key->dktype), true);
    for (int p = 0; p < kDsskParaCount; ++p) {
        DSSK_PARA_TYPE para = static_cast<DSSK_PARA_TYPE>(p);
        const Dsskey_Attr& attr = key->attr[p];
        if (!attr.enabled || !EnableParamer(para, model, dktype, key->keyIndex) ||
            !CheckSupportParamer(para, model))
            continue;
        bool pin = p == DSSK_PARA_EXT && dktype == DT_MEETME;
        if (pin && IsMaskedSecret(attr.value))
            continue;
        // The conference PIN never reaches the log.
        changed |= SetRegValue(handle, RegistryKeyName(dktype, para), attr.value, !pin);
    }
    registryFlush(handle);
    return changed;
}

bool DssKey_Model_Base::SetDsskeyList(DSSK_MODEL_TYPE model, ZRList<DssKey>* list, int module,
                                      bool notify)
{
    if (!list || !IsDsskeyModel(model)) {
        log_log(2, 4, "Dsskey model is wrong!\n");
        return false;
    }
    std::string changed;
    for (DssKey& key : *list) {
        if (SetDsskey(model, &key, module))
            AddChanged(changed, model, key.keyIndex);
    }
    if (!changed.empty() && notify)
        SendMessage(model, changed, module);
    return true;
}

bool DssKey_Model_Base::SendMessage(DSSK_MODEL_TYPE model, const std::string& changed, int module)
{
    if (!IsDsskeyModel(model))
        return false;
    std::string keys = changed.substr(0, kChangedKeysMax);
    int size = static_cast<int>(keys.size()) + 1;
    if (model == DSSK_PROGRAMKEY) {
        msgBroadpostThreadMsg(kMsgConfigChanged, kChangedProgramKeys, 0);
        return true;
    }
    msgBroadpostThreadMsg(kMsgConfigChanged, kChangedKeys, 0);
    if (model == DSSK_EXTKEY)
        msgBroadpostThreadMsgEx(kMsgConfigChanged, kChangedExpKeyList, module - 1, size, keys.c_str());
    else
        msgBroadpostThreadMsgEx(kMsgConfigChanged, kChangedKeyList, 0, size, keys.c_str());
    return true;
}

// ---- Factory defaults and the INI form of reading --------------------------

bool Dsskey_M7X_Model::SetFactoryDsskeyList(DSSK_MODEL_TYPE model)
{
    if (model != DSSK_PROGRAMKEY)
        return false;
    // A copy through the file calls: the factory file may be missing, and a
    // failed copy must not be reported as a reset.
    std::string text;
    if (!readWholeFile(phonePath(kFactoryProgramKeys), text) ||
        !writeFileAtomic(phonePath(DsskeyFilePath(DSSK_PROGRAMKEY, 1)), text)) {
        log_log(2, 3, "Copy the factory programkey.xml error!\n");
        return false;
    }
    SendMessage(DSSK_PROGRAMKEY, "", 0);
    return true;
}

bool DssKey_Model_Base::SetFactoryDsskeyList(DSSK_MODEL_TYPE model)
{
    if (model != DSSK_PROGRAMKEY)
        return false;
    Key_Display display;
    GetKeyIndexList(&display, DSSK_PROGRAMKEY, 1);
    ZRList<DssKey> keys;
    return GetFactoryData(&keys, DSSK_PROGRAMKEY, &display, 1) &&
           SetDsskeyList(DSSK_PROGRAMKEY, &keys, 1, true);
}

bool DssKey_Model_Base::GetFactoryData(ZRList<DssKey>* list, DSSK_MODEL_TYPE model,
                                       Key_Display* display, int module)
{
    if (!list || !display || display->displayMode == 0)
        return false;
    ZRList<int> indexes;
    if (display->displayMode == 2)
        indexes = display->keyIndexes;
    else if (display->keyIndexes.size() == 2)
        for (int k = display->keyIndexes.front(); k <= display->keyIndexes.back(); ++k)
            indexes.push_back(k);
    else
        return false;
    for (int k : indexes) {
        DssKey key;
        key.keyIndex = k;
        if (!GetFactoryDsskey(&key, model, module))
            return false;
        list->push_back(key);
    }
    return true;
}

bool DssKey_Model_Base::GetFactoryDsskey(DssKey* key, DSSK_MODEL_TYPE model, int module)
{
    if (!key)
        return false;
    _HREGISTRY_* handle = GetRegistryHandle(model, key->keyIndex, module, true);
    if (!handle) {
        log_log(2, 4, "Open factory config file(vpPhone.ini) error!\n");
        return false;
    }
    auto read = [handle](const char* name, const char* fallback) {
        std::string text = registryGetString(handle, name, fallback);
        return !text.empty() && text[0] == '?' ? text.substr(1) : text;
    };
    key->dktype = ToInt(read("DKtype", "0").c_str(), 0);
    DssKey_Type dktype = static_cast<DssKey_Type>(key->dktype);
    for (int p = 0; p < kDsskParaCount; ++p) {
        key->attr[p].value = read(RegistryKeyName(dktype, static_cast<DSSK_PARA_TYPE>(p)), "");
        key->attr[p].enabled = 1;
    }
    return true;
}

void DssKey_Model_Base::GetAttrValueList(Dsskey_Attr& attr, DssKey_Type dktype, DSSK_PARA_TYPE para,
                                         DSSK_MODEL_TYPE model, _HREGISTRY_* handle, int keyIndex)
{
    attr.enabled = EnableParamer(para, model, dktype, keyIndex);
    bool withList = IsAttrWithList(dktype, para, model);
    if (!attr.enabled && !withList)
        return;
    const char* fallback = "";
    if (para == DSSK_PARA_LINE)
        fallback = IsLineWithGroupList(dktype) || dktype == DT_NA ? "0" : "-1";
    attr.value = GetStringAndReplaceChar(handle, RegistryKeyName(dktype, para), fallback);
    if (withList && (para == DSSK_PARA_VALUE || para == DSSK_PARA_LINE))
        GetAttrListByDKtype(&attr.list, dktype, para, attr.enabled);
}

bool DssKey_Model_Base::GetDsskey(DssKey* key, DSSK_MODEL_TYPE model, int module, bool keepType)
{
    if (!key)
        return false;
    _HREGISTRY_* handle = GetRegistryHandle(model, key->keyIndex, module, false);
    if (!handle) {
        log_log(2, 4, "Open vpPhone.ini error!\n");
        return false;
    }
    if (!keepType) {
        key->dktype = ToInt(registryGetString(handle, "DKtype", "0").c_str(), 0);
        if (!CheckSupportDKtype(model, static_cast<DssKey_Type>(key->dktype)))
            key->dktype = DT_NA;
    }
    DssKey_Type dktype = static_cast<DssKey_Type>(key->dktype);
    bool blfList = !keepType && dktype == DT_BLFLIST &&
                   GetConfigValue(FILETYPE_GLOBAL, "BSFTActive", 0) == "1";
    if (blfList)
        GetBlfListDssKey(key, model);
    for (int p = 0; p < kDsskParaCount; ++p) {
        if (!blfList || p == DSSK_PARA_LINE)
            GetAttrValueList(key->attr[p], dktype, static_cast<DSSK_PARA_TYPE>(p), model, handle,
                             key->keyIndex);
    }
    return true;
}

// ---- Option lists of the line parameter ------------------------------------

bool DssKey_Model_Base::GetAccoutList(ZRList<KeyValue>* list, bool withAuto)
{
    if (!list)
        return false;
    if (withAuto)
        list->push_back(KeyValue(-1, "Auto"));
    int max = listAccountMax_ >= 0 ? listAccountMax_ : GetAccountMax();
    for (int i = 0; i < max; ++i)
        list->push_back(KeyValue(i, "Line " + std::to_string(i + 1)));
    return true;
}

bool DssKey_Model_Base::GetLocalGroupList(ZRList<KeyValue>* list)
{
    if (!list)
        return false;
    pugi::xml_document doc;
    doc.load_file(phonePath(kLocalGroups).c_str());
    pugi::xml_node root = doc.first_child();
    if (!root) {
        log_log(2, 4, "DSSKeyInterface::getLocalGroupLineData End.root element is null\n");
        return false;
    }
    int n = 0;
    for (pugi::xml_node group = root.first_child(); group; group = group.next_sibling()) {
        std::string name = group.attribute("display_name").value();
        if (group.type() == pugi::node_element && !name.empty() && name != "Blacklist")
            list->push_back(KeyValue(n++, name));
    }
    return true;
}

bool DssKey_Model_Base::GetXMLGroupList(ZRList<KeyValue>* list)
{
    if (!list)
        return false;
    pugi::xml_document doc;
    doc.load_file(phonePath(kRemotePhonebooks).c_str());
    pugi::xml_node root = doc.first_child();
    int n = 0;
    for (pugi::xml_node item = root.child("item"); item; item = item.next_sibling("item")) {
        std::string name = item.attribute("name").value();
        if (!name.empty())
            list->push_back(KeyValue(n++, name));
    }
    if (n == 0)
        list->push_back(KeyValue(0, "N/A"));
    if (!root)
        log_log(2, 4, "Load file: %s error!\n", kRemotePhonebooks);
    return static_cast<bool>(root);
}

bool DssKey_Model_Base::GetBsftGroupList(ZRList<KeyValue>* list)
{
    if (!list)
        return false;
    for (const char* field : {"AccountBroadsoftXSIHostAddr", "AccountBroadsoftXSIPort",
                              "AccountBroadsoftXSIPassword"}) {
        if (GetConfigValue(FILETYPE_ACCOUNT, field, 0).empty()) {
            list->push_back(KeyValue(0, "N/A"));
            return true;
        }
    }
    static const char* const kDirectories[][2] = {
        {"BsftGroup", "NetworkDirectoryGroupDisplayname"},
        {"BsftEnterprise", "NetworkDirectoryEnterpriseDisplayname"},
        {"BsftGroupCommon", "NetworkDirectoryGroupCommonDisplayname"},
        {"BsftEnterpriseCommon", "NetworkDirectoryEnterpriseCommonDisplayname"},
        {"BsftPersonal", "NetworkDirectoryPersonalDisplayname"},
    };
    int n = 0;
    list->push_back(KeyValue(n++, "All Contacts"));
    for (const auto& directory : kDirectories) {
        if (GetConfigValue(FILETYPE_GLOBAL, directory[0], 0) == "1")
            list->push_back(KeyValue(n++, GetConfigValue(FILETYPE_GLOBAL, directory[1], 0)));
    }
    if (GetConfigValue(FILETYPE_GLOBAL, "BsftCustom", 0) == "1") {
        ZRList<std::string> custom;
        String2List(custom, GetConfigValue(FILETYPE_GLOBAL, "BsftCustomListUse", 0), ',');
        for (const std::string& name : custom)
            list->push_back(KeyValue(n++, name));
    }
    return true;
}

bool DssKey_Model_Base::GetHistoryList(ZRList<KeyValue>* list)
{
    if (!list)
        return false;
    list->push_back(KeyValue(0, "Local History"));
    if (GetConfigValue(FILETYPE_GLOBAL, "BSFTActive", 0) == "1" &&
        GetConfigValue(FILETYPE_GLOBAL, "NetworkCalllogSwitch", 0) == "1")
        list->push_back(KeyValue(1, "Network CallLog"));
    return true;
}

bool DssKey_Model_Base::GetNetworkCalllogList(ZRList<KeyValue>* list)
{
    if (!list)
        return false;
    list->push_back(KeyValue(0, "NetCalllog"));
    return true;
}
