// Costs of the Action URI work every remote command pays before it reaches
// the phone: the trust check against lists of several lengths, the command
// type and the item rebuilding.
// Run: build/bench/bench_remote (uses a temporary root).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/benchutil.h"
#include "platform/configparser.h"
#include "platform/paths.h"
#include "remote/actionuri.h"

namespace {

// "10.0.<n>.*" entries, n from 0.
std::string TrustList(int entries)
{
    std::string list;
    for (int i = 0; i < entries; ++i)
        list += (i ? "," : "") + std::string("10.0.") + std::to_string(i) + ".*";
    return list;
}

}  // namespace

int main()
{
    bench::TempDir root;
    makeDirs(phonePath("/config/system"));

    configParser_SetConfigString("AURILimitIP", "any");
    measure("IsTrustIP, \"any\"", 20000, [](int) { IsTrustIP("10.0.0.9"); });
    for (int entries : {1, 10, 50}) {
        configParser_SetConfigString("AURILimitIP", TrustList(entries).c_str());
        std::string last = "10.0." + std::to_string(entries - 1) + ".7";
        std::string what = "IsTrustIP, last of " + std::to_string(entries) + " entries";
        measure(what.c_str(), 2000, [&](int) { IsTrustIP(last.c_str()); });
    }

    char type[kURITypeSize];
    measure("getURIType, \"csta\" (last in the table)", 200000,
            [&](int) { getURIType("csta", type); });
    std::string query = "redirectcall=1";
    for (int i = 0; i < 20; ++i)
        query += "&item" + std::to_string(i) + "=" + std::string(40, 'v');
    std::string text;
    measure("RebuildActionItems, 10 of 21 items", 100000,
            [&](int) { RebuildActionItems(query.c_str(), kRebuildItemLimit, text); });

    return 0;
}
