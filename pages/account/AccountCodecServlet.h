// Audio codecs of one account: which of its 19 codec slots are enabled and
// in what order the phone offers them.
#pragma once

#include <string>

#include "containers/zrlist.h"
#include "frame/http.h"

struct TMPL_varlist;

// One codec slot of the working list.
struct Codec_Info {
    int index = 0;  // the slot, 0 .. kCodecSlots - 1
    bool enabled = false;
    std::string name;
    int priority = 0;  // lower comes first
};

constexpr int kCodecSlots = 19;

// Appends the account's named slots in slot order (iLBC ones only while
// "ILBCEnable" is set). 0 for a null list or a negative account, else 1.
int GetCodecConfigData(ZRList<Codec_Info>* list, int account);
// Stable sort by ascending priority; equal priorities keep their order.
void SortAudioByPriority(ZRList<Codec_Info>* list);
// Appends one row per "name:slot" entry (entries without ":", with an empty
// name or with a slot that is not a slot number are skipped). Enabled rows
// get the priorities 1, 2, 3 ... in entry order; disabled rows 0.
void PutCodecData2List(ZRList<Codec_Info>& out, ZRList<std::string>& entries, bool enabled);

class AccountCodecServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);
};

PHONEWEB_EXPORT HttpServlet* createAccountCodecServlet();
