// The DSS key model: the records that carry one key, what each key set
// allows (functions, parameters, option lists), and the key files with
// their INI mirrors. One model object serves the whole process.
#pragma once

#include <string>

#include "containers/zrlist.h"

namespace pugi {
class xml_document;
class xml_node;
}  // namespace pugi
struct _HREGISTRY_;

// Key sets; any other value is invalid. A fixed underlying type keeps every
// int a browser may send representable, so range checks stay defined.
enum DSSK_MODEL_TYPE : int {
    DSSK_MEMKEY = 0,
    DSSK_LINE = 1,
    DSSK_PROGRAMKEY = 2,
    DSSK_EXTKEY = 3,
};

// A key parameter, and the index of its slot in a DssKey.
enum DSSK_PARA_TYPE : int {
    DSSK_PARA_VALUE = 0,
    DSSK_PARA_LINE = 1,
    DSSK_PARA_LABEL = 2,
    DSSK_PARA_EXT = 3,
};
constexpr int kDsskParaCount = 4;

// Key functions 0..61; -1 means no type was given. Only the functions the
// rules single out are named.
enum DssKey_Type : int {
    DT_NONE = -1,
    DT_NA = 0,
    DT_FORWARD = 2,
    DT_INTERCOM = 14,
    DT_LINE = 15,
    DT_BLF = 16,
    DT_BLA = 21,
    DT_XMLGROUP = 22,
    DT_HISTORY = 28,
    DT_BLFLIST = 39,
    DT_PREFIX = 40,
    DT_NETDIRECTORY = 44,
    DT_LOCALGROUP = 45,
    DT_NETGROUP = 46,
    DT_XMLPHONEBOOK = 47,
    DT_CUSTOM = 49,
    DT_NETCALLLOG_GROUP = 54,
    DT_MEETME = 55,
    DT_LAST = 61,
};

// Line-key modes of a Line or BLA key; "2" locks the key on every page.
constexpr char kLineKeyLocked[] = "2";
constexpr int kLineKeysPerPage = 9;
constexpr int kLineKeyPages = 3;

struct KeyValue {
    int key = 0;
    std::string value;
    KeyValue() = default;
    KeyValue(int k, const std::string& text) : key(k), value(text) {}
};

struct Dsskey_Attr {
    ZRList<KeyValue> list;  // options; empty for free text
    std::string value;
    // The parameter applies to the key's function on its key set; on data
    // taken from a posted form: the field was posted.
    int enabled = 0;
};

struct DssKey {
    int dktype = 0;
    int keyIndex = 0;  // 1-based; 0-based on expansion modules
    Dsskey_Attr attr[kDsskParaCount];
};

struct Key_Display {
    int displayMode = 0;  // 0 nothing, 1 range [first, last], 2 listed keys
    int page = -1;        // page, or expansion module, 1-based
    int pageCount = 0;
    ZRList<int> keyIndexes;
};

class DssKey_Model_Base {
public:
    DssKey_Model_Base();

    virtual bool GetDsskey(DssKey* key, DSSK_MODEL_TYPE model, int module, bool keepType);
    virtual void GetKeyIndexList(Key_Display* display, DSSK_MODEL_TYPE model, int page);
    virtual bool SetDsskeyList(DSSK_MODEL_TYPE model, ZRList<DssKey>* list, int module, bool notify);
    virtual bool SetFactoryDsskeyList(DSSK_MODEL_TYPE model);
    virtual bool CheckSupportDKtype(DSSK_MODEL_TYPE model, DssKey_Type dktype);
    virtual bool SetDsskey(DSSK_MODEL_TYPE model, DssKey* key, int module);
    virtual bool EnableParamer(DSSK_PARA_TYPE para, DSSK_MODEL_TYPE model, DssKey_Type dktype, int keyIndex);
    virtual bool EnableValue(DSSK_MODEL_TYPE model, DssKey_Type dktype, int keyIndex);
    virtual bool EnableLabel(DSSK_MODEL_TYPE model, DssKey_Type dktype, int keyIndex);
    virtual bool EnableLine(DSSK_MODEL_TYPE model, DssKey_Type dktype, int keyIndex);
    virtual bool EnableExtension(DSSK_MODEL_TYPE model, DssKey_Type dktype, int keyIndex);
    virtual _HREGISTRY_* GetRegistryHandle(DSSK_MODEL_TYPE model, int keyIndex, int module, bool factory);
    virtual bool IsAttrWithList(DssKey_Type dktype, DSSK_PARA_TYPE para, DSSK_MODEL_TYPE model);
    virtual bool IsLineWithGroupList(DssKey_Type dktype);
    virtual bool GetAttrListByDKtype(ZRList<KeyValue>* list, DssKey_Type dktype, DSSK_PARA_TYPE para, bool withList);
    virtual bool GetLineListByDKtype(ZRList<KeyValue>* list, DssKey_Type dktype, bool withList);
    virtual bool GetValueListByDKtype(ZRList<KeyValue>* list, DssKey_Type dktype);
    virtual bool GetBsftGroupList(ZRList<KeyValue>* list);
    virtual bool GetXMLGroupList(ZRList<KeyValue>* list);
    virtual bool GetLocalGroupList(ZRList<KeyValue>* list);
    virtual bool GetHistoryList(ZRList<KeyValue>* list);
    virtual bool GetNetworkCalllogList(ZRList<KeyValue>* list);
    virtual bool GetAccoutList(ZRList<KeyValue>* list, bool withAuto);

    bool CheckSupportParamer(DSSK_PARA_TYPE para, DSSK_MODEL_TYPE model);
    bool IsBroadsoftDKtype(DssKey_Type dktype);
    bool GetDKtypeList(ZRList<DssKey_Type>* list, DSSK_MODEL_TYPE model);
    bool GetDsskeyList(ZRList<DssKey>* list, DSSK_MODEL_TYPE model, Key_Display* display, int module);
    // The INI form: the parameters from the key's user section.
    void GetAttrValueList(Dsskey_Attr& attr, DssKey_Type dktype, DSSK_PARA_TYPE para,
                          DSSK_MODEL_TYPE model, _HREGISTRY_* handle, int keyIndex);
    // Broadcasts which keys changed; `changed` is the changed-key text.
    bool SendMessage(DSSK_MODEL_TYPE model, const std::string& changed, int module);
    bool GetBlfListDssKey(DssKey* key, DSSK_MODEL_TYPE model);
    bool GetFactoryData(ZRList<DssKey>* list, DSSK_MODEL_TYPE model, Key_Display* display, int module);
    bool GetFactoryDsskey(DssKey* key, DSSK_MODEL_TYPE model, int module);

    int extModuleKind = 0;  // 1: modules of 38 keys, 2: of 40 keys; 0 until asked
    int phoneType = 0;

protected:
    // The account count while a key list is read: every key's line list
    // needs it, and it does not change within one request.
    int listAccountMax_ = -1;
    // The INI key name of a parameter for a function.
    const char* RegistryKeyName(DssKey_Type dktype, DSSK_PARA_TYPE para);
};

class Dsskey_M7X_Model : public DssKey_Model_Base {
public:
    bool GetDsskey(DssKey* key, DSSK_MODEL_TYPE model, int module, bool keepType) override;
    void GetKeyIndexList(Key_Display* display, DSSK_MODEL_TYPE model, int page) override;
    bool SetDsskeyList(DSSK_MODEL_TYPE model, ZRList<DssKey>* list, int module, bool notify) override;
    bool SetFactoryDsskeyList(DSSK_MODEL_TYPE model) override;
    bool CheckSupportDKtype(DSSK_MODEL_TYPE model, DssKey_Type dktype) override;
    bool EnableValue(DSSK_MODEL_TYPE model, DssKey_Type dktype, int keyIndex) override;
    bool EnableLabel(DSSK_MODEL_TYPE model, DssKey_Type dktype, int keyIndex) override;
    bool IsAttrWithList(DssKey_Type dktype, DSSK_PARA_TYPE para, DSSK_MODEL_TYPE model) override;
    bool GetValueListByDKtype(ZRList<KeyValue>* list, DssKey_Type dktype) override;

    // The XML attribute of a parameter whose name depends on the function
    // (line and extension); false for the others or a null buffer.
    bool GetXMLAttrName(DssKey_Type dktype, DSSK_PARA_TYPE para, std::string* buffer);
    bool GetXmlDataNode(DSSK_MODEL_TYPE model, int keyIndex, pugi::xml_document& doc,
                        pugi::xml_node& item, int module);
    bool SetDsskey(DSSK_MODEL_TYPE model, DssKey* key, pugi::xml_node& item, int step, int reserved);
    using DssKey_Model_Base::SetDsskey;
    // The XML form: the parameter from "itemdata".
    void GetAttrValueList(Dsskey_Attr& attr, DssKey_Type dktype, DSSK_PARA_TYPE para,
                          DSSK_MODEL_TYPE model, pugi::xml_node& itemdata, int keyIndex);
    bool IsLineKeyLocked(DSSK_MODEL_TYPE model, DssKey* key, int keyIndex);
};

// The process-wide model, made on first use.
DssKey_Model_Base* GetModelInitObj();

// ---- Shared by the model and the page --------------------------------------

// The drop-down text of a function ("PTT" for 40 on programmable keys).
const char* DsskeyTypeName(int dktype, int model);
// The key file of a key set (a phone path; module 1-based); "" for none.
std::string DsskeyFilePath(int model, int module);
// A key set 0..3.
inline bool IsDsskeyModel(int model) { return model >= DSSK_MEMKEY && model <= DSSK_EXTKEY; }
// The number a changed-key text carries for a key.
inline int ChangedKeyNumber(int model, int keyIndex)
{
    return model == DSSK_EXTKEY ? keyIndex + 1 : keyIndex;
}
// A posted secret equal to a mask leaves the stored one as it is.
bool IsMaskedSecret(const std::string& text);
constexpr char kSecretMask[] = "********";
// The exchange file the phone leaves with the BLF-list values.
constexpr char kBlfListFile[] = "/tmp/tmpBLFListValues";
// The fields (value, label, extension) of key `number` in an exchange
// text; false when no record carries that number.
bool ParseBlfListRecord(const std::string& text, int number, std::string fields[3]);
