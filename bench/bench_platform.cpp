// Costs of the platform stand-ins on this machine: configuration reads
// (cached, one stat per store and call), saves, registry opens and bus round
// trips. Run: build/bench/bench_platform (uses a temporary root).
#include "bench/benchutil.h"
#include "platform/configparser.h"
#include "platform/msgbus.h"
#include "platform/paths.h"
#include "platform/registry.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main()
{
    bench::TempDir root;
    makeDirs(phonePath("/phone/factory"));
    makeDirs(phonePath("/config/user"));
    // A store of realistic size: 2000 settings, a third of them per account.
    std::string factory;
    for (int i = 0; i < 2000; ++i)
        factory += "Field" + std::to_string(i) + (i % 3 ? "" : ".*") + "=value" + std::to_string(i) + "\n";
    writeFileAtomic(phonePath("/phone/factory/config.cfg"), factory);

    measure("config read (first, parses the store)", 1,
            [](int) { configParser_GetConfigString("Field1"); });
    measure("config read (cached)", 20000, [](int i) {
        configParser_GetConfigString(("Field" + std::to_string(i % 2000)).c_str());
    });
    measure("config read through the account wildcard", 20000,
            [](int) { configParser_GetConfigString("Field3.5"); });
    measure("config save (locked, atomic, fsync)", 200, [](int i) {
        configParser_SetConfigString(("Saved" + std::to_string(i % 50)).c_str(), std::to_string(i).c_str());
    });
    measure("registry open + get", 20000, [](int) {
        registryGetString(registryOpen("/config/user/account.cfg", "account"), "server", "");
    });

    BusEndpoint peer;
    if (!peer.bind("app_vpPhone"))
        return 1;
    std::thread serve([&] {
        BusMessage message;
        while (peer.receive(message, 2000)) {
            if (message.id == 0xDEAD)
                break;
            peer.reply(message, 1);
        }
    });
    HTHREAD phone = msgGetThreadByName("app_vpPhone");
    measure("msgGetThreadByName (liveness check)", 5000,
            [](int) { msgGetThreadByName("app_vpPhone"); });
    measure("bus send round trip", 5000, [&](int) { msgSendMsgToThread(phone, 0x30006, 0, 0); });
    std::string block(1024 * 1024, 'x');
    measure("bus send round trip with 1 MiB", 50, [&](int) {
        msgSendMsgToThreadEx(phone, 0x10014, 0, 0, static_cast<int>(block.size()), block.data());
    });
    msgPostMsgToThread(phone, 0xDEAD, 0, 0);
    serve.join();
    return 0;
}
