// The page "dsskey": one key table for each key set (line keys by page,
// programmable keys, expansion keys by module), the live answer when a key
// gets another function, and the factory reset of the programmable keys.
#pragma once

#include <cstddef>
#include <string>

#include "dsskey/DssKeyModel.h"
#include "frame/http.h"

struct TMPL_varlist;
struct TMPL_loop;

class DssKeyServlet : public HttpServlet {
public:
    void init() override;
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override;

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    int typeChanged(HttpRequest* request, HttpResponse* response);
    int ResetDefaultData(HttpRequest* request, HttpResponse* response);

    int GetDefaultDsskey(int phoneType);
    void GetDKtypeDisplay(char* buffer, size_t size, int dktype, int model);
    void SendMsgQueryBlfList(int model, int page);
    TMPL_loop* DevDataInfo2Loop(const Key_Display& display);
    TMPL_loop* AttrValueList2Loop(const Dsskey_Attr& attr);
    TMPL_loop* DKtypeList2Loop(ZRList<DssKey_Type>& types, int model);
    // `types`: the drop-down of the key set, given to each row as ready
    // option elements with the key's function selected.
    TMPL_loop* DsskConfigData2Loop(ZRList<DssKey>& keys, int model,
                                   ZRList<DssKey_Type>* types = nullptr);
    bool PageData2ConfigData(HttpRequest* request, ZRList<DssKey>* keys, Key_Display* display);
    bool GetKeyConfigDataFromPage(DssKey* key, HttpRequest* request);
    bool AttrValueList2String(const ZRList<KeyValue>* list, std::string& out);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request, int model);

private:
    DssKey_Model_Base* model_ = nullptr;
};

PHONEWEB_EXPORT HttpServlet* createDssKeyServlet();

// A text between double quotes of the type-change answer: quotes,
// backslashes, control and markup characters escaped.
std::string DsskeyScriptText(const std::string& text);
