// Costs of the frame work every page load does on this machine: reading a
// page's field list into a varlist, the ShowLevel and device variables,
// escaping a long value and building a ring-tone option list.
// Run: build/bench/bench_frame (uses a temporary root).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/benchutil.h"
#include "frame/frame.h"

int main()
{
    bench::TempDir root;
    makeDirs(phonePath("/phone/factory"));
    makeDirs(phonePath("/phone/resource/sysdata/sound"));
    makeDirs(phonePath("/data/userdata/sound"));
    std::string factory;
    std::vector<std::string> names;
    for (int i = 0; i < 49; ++i) {
        names.push_back("AccountField" + std::to_string(i));
        factory += names.back() + ".*=value <" + std::to_string(i) + "> & more\n";
    }
    writeFileAtomic(phonePath("/phone/factory/config.cfg"), factory);
    for (int i = 0; i < 40; ++i)
        writeFileAtomic(phonePath("/phone/resource/sysdata/sound/Ring" + std::to_string(i) + ".wav"), "");
    for (int i = 0; i < 10; ++i)
        writeFileAtomic(phonePath("/data/userdata/sound/user" + std::to_string(i) + ".wav"), "");

    std::vector<const char*> fields;
    for (const std::string& name : names)
        fields.push_back(name.c_str());
    const int count = static_cast<int>(fields.size());

    measure("read 49 account fields into a varlist", 2000, [&](int) {
        TMPL_free_varlist(readConfigOperate(FILETYPE_ACCOUNT, fields.data(), count, nullptr, 1));
    });
    bench::Request request("/servlet?p=account-adv&q=load&acc=0");
    measure("ShowLevel (4 menus, 38 items) + device vars", 2000, [&](int) {
        TMPL_free_varlist(AddShowLevel(nullptr, &request, fields.data(), 4, fields.data() + 4, 38));
    });
    std::string ampersands(1023, '&');
    measure("escape 1023 ampersands", 20000, [&](int) { EscapeHtml(ampersands); });
    measure("ring-tone option list (50 files)", 500,
            [](int) { TMPL_free_loop(GetRingToneLoop("Config:user3.wav", RING_ACCOUNT, true)); });

    return 0;
}
