// What each key set allows: functions, parameters and option lists.
#include "dsskey/DssKeyModel.h"

#include <cstdio>

#include "frame/configbridge.h"
#include "platform/system.h"

namespace {

const char* const kTypeNames[DT_LAST + 1] = {
    "N/A",           "Conference",     "Forward",        "Transfer",          "Hold",
    "DND",           "Redial",         "Call Return",    "SMS",               "Direct Pickup",
    "Call Park",     "DTMF",           "Voice Mail",     "Speed Dial",        "Intercom",
    "Line",          "BLF",            "URL",            "Group Listen",      "Public Hold",
    "Private Hold",  "BLA",            "XML Group",      "Group Pickup",      "Paging",
    "Record",        "Voice Record",   "XML Browser",    "History",           "Directory",
    "Menu",          "Switch Account", "New SMS",        "Status",            "HotDesking",
    "URL record",    "Button",         "Exp Switch",     "LDAP",              "BLF List",
    "Prefix",        "zero sp touch",  "ACD",            "Local Phonebook",   "Network Directory",
    "Local Group",   "Network Group",  "XML Phonebook",  "Get Balance",       "Custom Button",
    "Keypad Lock",   "Switch Account Up", "Switch Account Down", "NetCalllog Phonebook",
    "NetCalllog Group", "Meet-Me Conference", "Retrieve Park", "Hoteling", "ACD Trace",
    "Disp Code",     "Emergency",      "Favorites",
};

// The drop-down order of the page.
const int kTypeOrder[DT_LAST + 1] = {
    37, 0,  15, 13, 16, 39, 12, 9,  23, 10, 14, 11, 40, 45, 22, 27, 29, 28, 30, 31, 38,
    46, 1,  2,  3,  4,  5,  6,  7,  8,  25, 32, 35, 47, 33, 24, 18, 19, 20, 43, 44, 34,
    42, 41, 17, 49, 21, 26, 36, 48, 50, 51, 52, 53, 54, 55, 56, 57, 58, 60, 59, 61,
};

// Function sets as bit masks over the types 0..61.
typedef unsigned long long TypeSet;

constexpr TypeSet Types(std::initializer_list<int> types)
{
    TypeSet set = 0;
    for (int t : types)
        set |= 1ULL << t;
    return set;
}

constexpr TypeSet Range(int first, int last)
{
    TypeSet set = 0;
    for (int t = first; t <= last; ++t)
        set |= 1ULL << t;
    return set;
}

bool In(TypeSet set, int dktype)
{
    return dktype >= 0 && dktype <= DT_LAST && (set >> dktype) & 1;
}

constexpr TypeSet kWithValue = Types({1, 3, 9, 10, 11, 12, 13, 14, 16, 17, 23, 24, 27, 35, 40, 55, 56, 59, 60});
constexpr TypeSet kWithLine = Types({9, 10, 12, 13, 14, 15, 16, 22, 23, 28, 39, 45, 46, 49, 54, 55, 56});
constexpr TypeSet kBroadsoft = Types({20, 39, 53, 54, 55, 56, 57, 58, 59, 60});
constexpr TypeSet kBaseSupported = Range(0, 5) | Range(7, 18) | Types({20}) | Range(22, 25) |
                                   Types({27, 34, 35}) | Range(38, 42) | Types({45, 46, 49, 50}) |
                                   Range(55, 61);
constexpr TypeSet kProgramKeyRefused = Types({1, 3, 4, 10, 11, 12, 14, 15, 16, 17, 18, 20, 24, 25,
                                              29, 35, 39, 41, 42, 56, 57, 58, 59, 60});
constexpr TypeSet kProgramKeyAdded = Types({28, 30, 32, 33, 43, 44, 47, 51, 52});
constexpr TypeSet kGroupLine = Types({22, 28, 45, 46});
constexpr TypeSet kPhonebookLine = Types({22, 45, 46, 47, 54});
constexpr TypeSet kPickupExt = Types({14, 16, 55});
// Phones without a display label per line key.
const int kPhonesWithoutLineLabels[] = {20, 21, 22, 26, 60, 65};

bool IsPara(int para) { return para >= DSSK_PARA_VALUE && para <= DSSK_PARA_EXT; }

}  // namespace

const char* DsskeyTypeName(int dktype, int model)
{
    if (dktype == DT_PREFIX && model == DSSK_PROGRAMKEY)
        return "PTT";
    return dktype >= 0 && dktype <= DT_LAST ? kTypeNames[dktype] : kTypeNames[DT_NA];
}

bool IsMaskedSecret(const std::string& text)
{
    return text == "******" || text == kSecretMask;
}

DssKey_Model_Base::DssKey_Model_Base() : phoneType(GetPhoneType()) {}

bool DssKey_Model_Base::CheckSupportParamer(DSSK_PARA_TYPE para, DSSK_MODEL_TYPE model)
{
    if (!IsPara(para) || !IsDsskeyModel(model))
        return false;
    return !(para == DSSK_PARA_LABEL && model == DSSK_MEMKEY);
}

bool DssKey_Model_Base::EnableParamer(DSSK_PARA_TYPE para, DSSK_MODEL_TYPE model,
                                      DssKey_Type dktype, int keyIndex)
{
    switch (para) {
    case DSSK_PARA_VALUE: return EnableValue(model, dktype, keyIndex);
    case DSSK_PARA_LINE: return EnableLine(model, dktype, keyIndex);
    case DSSK_PARA_LABEL: return EnableLabel(model, dktype, keyIndex);
    case DSSK_PARA_EXT: return EnableExtension(model, dktype, keyIndex);
    }
    return false;
}

bool DssKey_Model_Base::EnableValue(DSSK_MODEL_TYPE model, DssKey_Type dktype, int)
{
    if (dktype == DT_FORWARD)
        return model != DSSK_PROGRAMKEY;
    return In(kWithValue, dktype);
}

bool DssKey_Model_Base::EnableLine(DSSK_MODEL_TYPE, DssKey_Type dktype, int)
{
    return In(kWithLine, dktype);
}

bool DssKey_Model_Base::EnableLabel(DSSK_MODEL_TYPE model, DssKey_Type dktype, int keyIndex)
{
    if (dktype == DT_NA || model == DSSK_MEMKEY)
        return false;
    switch (model) {
    case DSSK_EXTKEY:
        return dktype != DT_LINE && extModuleKind == 2;
    case DSSK_LINE:
        for (int type : kPhonesWithoutLineLabels)
            if (phoneType == type)
                return false;
        return dktype != DT_LINE && dktype != DT_BLFLIST;
    case DSSK_PROGRAMKEY:
        // Only the four soft keys carry a label.
        return keyIndex <= 4 && keyIndex != -1;
    default:
        return false;
    }
}

bool DssKey_Model_Base::EnableExtension(DSSK_MODEL_TYPE, DssKey_Type dktype, int)
{
    return dktype == DT_BLF || dktype == DT_MEETME;
}

bool DssKey_Model_Base::IsAttrWithList(DssKey_Type, DSSK_PARA_TYPE para, DSSK_MODEL_TYPE)
{
    return para == DSSK_PARA_LINE;
}

bool DssKey_Model_Base::IsLineWithGroupList(DssKey_Type dktype)
{
    return In(kGroupLine, dktype);
}

bool DssKey_Model_Base::GetAttrListByDKtype(ZRList<KeyValue>* list, DssKey_Type dktype,
                                            DSSK_PARA_TYPE para, bool withList)
{
    if (para == DSSK_PARA_VALUE)
        return GetValueListByDKtype(list, dktype);
    if (para == DSSK_PARA_LINE)
        return GetLineListByDKtype(list, dktype, withList);
    return false;
}

bool DssKey_Model_Base::GetLineListByDKtype(ZRList<KeyValue>* list, DssKey_Type dktype,
                                            bool withList)
{
    if (!list)
        return false;
    if (!withList) {
        list->push_back(KeyValue(0, "N/A"));
        return true;
    }
    switch (dktype) {
    case DT_XMLGROUP: GetXMLGroupList(list); break;
    case DT_HISTORY: GetHistoryList(list); break;
    case DT_LOCALGROUP: GetLocalGroupList(list); break;
    case DT_NETGROUP: GetBsftGroupList(list); break;
    case DT_NETCALLLOG_GROUP: GetNetworkCalllogList(list); break;
    default: GetAccoutList(list, false); break;
    }
    return true;
}

bool DssKey_Model_Base::GetValueListByDKtype(ZRList<KeyValue>*, DssKey_Type)
{
    return false;
}

bool DssKey_Model_Base::IsBroadsoftDKtype(DssKey_Type dktype)
{
    return In(kBroadsoft, dktype);
}

bool DssKey_Model_Base::CheckSupportDKtype(DSSK_MODEL_TYPE, DssKey_Type dktype)
{
    return In(kBaseSupported, dktype);
}

bool DssKey_Model_Base::GetDKtypeList(ZRList<DssKey_Type>* list, DSSK_MODEL_TYPE model)
{
    if (!list || !IsDsskeyModel(model))
        return false;
    for (int type : kTypeOrder) {
        if (CheckSupportDKtype(model, static_cast<DssKey_Type>(type)))
            list->push_back(static_cast<DssKey_Type>(type));
    }
    return true;
}

// ---- The one model of this phone -------------------------------------------

bool Dsskey_M7X_Model::CheckSupportDKtype(DSSK_MODEL_TYPE model, DssKey_Type dktype)
{
    if (dktype < 0 || dktype > DT_LAST)
        return false;
    // The setting is read only for the functions it governs: the page asks
    // about every function of its drop-down.
    if ((dktype == DT_NETDIRECTORY || dktype == DT_NETGROUP || IsBroadsoftDKtype(dktype)) &&
        GetConfigValue(FILETYPE_GLOBAL, "BSFTActive", 0) == "0")
        return false;
    if (dktype == DT_CUSTOM)
        return false;
    if (model == DSSK_PROGRAMKEY) {
        if (In(kProgramKeyRefused, dktype))
            return false;
        if (In(kProgramKeyAdded, dktype))
            return true;
    }
    return DssKey_Model_Base::CheckSupportDKtype(model, dktype);
}

bool Dsskey_M7X_Model::EnableValue(DSSK_MODEL_TYPE model, DssKey_Type dktype, int keyIndex)
{
    // On line keys a Line or BLA key's value is its mode.
    if (model == DSSK_LINE && (dktype == DT_LINE || dktype == DT_BLA))
        return true;
    return DssKey_Model_Base::EnableValue(model, dktype, keyIndex);
}

bool Dsskey_M7X_Model::EnableLabel(DSSK_MODEL_TYPE model, DssKey_Type dktype, int keyIndex)
{
    return DssKey_Model_Base::EnableLabel(model, dktype, keyIndex);
}

bool Dsskey_M7X_Model::IsAttrWithList(DssKey_Type dktype, DSSK_PARA_TYPE para,
                                      DSSK_MODEL_TYPE model)
{
    if (para == DSSK_PARA_LINE)
        return true;
    return para == DSSK_PARA_VALUE && model == DSSK_LINE &&
           (dktype == DT_LINE || dktype == DT_BLA);
}

bool Dsskey_M7X_Model::GetValueListByDKtype(ZRList<KeyValue>* list, DssKey_Type dktype)
{
    if (!list || (dktype != DT_LINE && dktype != DT_BLA))
        return false;
    list->push_back(KeyValue(0, "default"));
    list->push_back(KeyValue(1, "float"));
    list->push_back(KeyValue(2, "lock"));
    return true;
}

bool Dsskey_M7X_Model::GetXMLAttrName(DssKey_Type dktype, DSSK_PARA_TYPE para, std::string* buffer)
{
    if (!buffer)
        return false;
    if (para == DSSK_PARA_LINE)
        *buffer = In(kPhonebookLine, dktype) ? "xml_phonebook" : dktype == DT_HISTORY ? "history_type" : "line";
    else if (para == DSSK_PARA_EXT)
        *buffer = In(kPickupExt, dktype) ? "pickup_value" : "extension";
    else
        return false;
    return true;
}

DssKey_Model_Base* GetModelInitObj()
{
    static Dsskey_M7X_Model* model = new Dsskey_M7X_Model;
    return model;
}
