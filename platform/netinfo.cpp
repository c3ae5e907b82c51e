#include "platform/netinfo.h"

#include "platform/paths.h"
#include "platform/registry.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <ifaddrs.h>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sstream>
#include <vector>

namespace {

const char kOverrideFile[] = "/config/system/network.ini";
const char kOverrideSection[] = "net";
const char kClockOffsetFile[] = "/config/system/clock_offset";
const char kClockFolder[] = "/config/system";
// A default no override file can hold: tells "unset" from "set to empty".
const char kUnset[] = "\x01";

// What the machine's first working interface reports.
struct MachineNet {
    std::string iface;
    std::string ipv4;
    std::string netmask;
    std::string ipv6;
    std::string prefix6;
};

bool overrideFor(const char* key, std::string& value)
{
    value = etlGetProfileString(kOverrideFile, kOverrideSection, key, kUnset);
    return value != kUnset;
}

std::string addressText(const sockaddr* address)
{
    char text[INET6_ADDRSTRLEN] = "";
    if (address->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
    else if (address->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text, sizeof text);
    return text;
}

int prefixLength(const sockaddr_in6* mask)
{
    int bits = 0;
    for (unsigned char byte : mask->sin6_addr.s6_addr) {
        for (; byte & 0x80; byte = static_cast<unsigned char>(byte << 1))
            ++bits;
    }
    return bits;
}

bool isUsable(const ifaddrs* entry)
{
    return entry->ifa_addr && (entry->ifa_flags & IFF_UP) && !(entry->ifa_flags & IFF_LOOPBACK);
}

// The first interface that is up, is not loopback and has an IPv4 address;
// failing that, the first one with any address.
MachineNet readMachine()
{
    MachineNet net;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return net;
    for (int pass = 0; pass < 2 && net.iface.empty(); ++pass) {
        for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
            if (isUsable(entry) && (pass == 1 || entry->ifa_addr->sa_family == AF_INET)) {
                net.iface = entry->ifa_name;
                break;
            }
        }
    }
    bool globalIPv6 = false;
    for (ifaddrs* entry = list; entry && !net.iface.empty(); entry = entry->ifa_next) {
        if (!isUsable(entry) || net.iface != entry->ifa_name)
            continue;
        if (entry->ifa_addr->sa_family == AF_INET && net.ipv4.empty()) {
            net.ipv4 = addressText(entry->ifa_addr);
            if (entry->ifa_netmask)
                net.netmask = addressText(entry->ifa_netmask);
        } else if (entry->ifa_addr->sa_family == AF_INET6 && !globalIPv6) {
            // A global address wins over the link-local one.
            const auto* address = reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr);
            bool linkLocal = IN6_IS_ADDR_LINKLOCAL(&address->sin6_addr);
            if (!linkLocal || net.ipv6.empty()) {
                net.ipv6 = addressText(entry->ifa_addr);
                if (entry->ifa_netmask)
                    net.prefix6 = std::to_string(
                        prefixLength(reinterpret_cast<const sockaddr_in6*>(entry->ifa_netmask)));
                globalIPv6 = !linkLocal;
            }
        }
    }
    freeifaddrs(list);
    return net;
}

std::vector<std::vector<std::string>> readTable(const char* path)
{
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<std::string> row;
        std::string field;
        while (fields >> field)
            row.push_back(field);
        if (!row.empty())
            rows.push_back(row);
    }
    return rows;
}

std::string gatewayIPv4(const std::string& iface)
{
    std::string found;
    for (const auto& row : readTable("/proc/net/route")) {
        // Iface Destination Gateway Flags ...; addresses in the kernel's byte order.
        if (row.size() < 4 || row[1] != "00000000")
            continue;
        unsigned long flags = strtoul(row[3].c_str(), nullptr, 16);
        if (!(flags & RTF_GATEWAY))
            continue;
        in_addr gateway;
        gateway.s_addr = static_cast<in_addr_t>(strtoul(row[2].c_str(), nullptr, 16));
        char text[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &gateway, text, sizeof text);
        if (row[0] == iface)
            return text;
        if (found.empty())
            found = text;
    }
    return found;
}

bool parseHexAddress(const std::string& hex, in6_addr& out)
{
    if (hex.size() != 32)
        return false;
    for (size_t i = 0; i < 16; ++i) {
        char pair[3] = {hex[2 * i], hex[2 * i + 1], '\0'};
        char* end = nullptr;
        out.s6_addr[i] = static_cast<unsigned char>(strtoul(pair, &end, 16));
        if (*end != '\0')
            return false;
    }
    return true;
}

std::string gatewayIPv6(const std::string& iface)
{
    std::string found;
    const std::string zero(32, '0');
    for (const auto& row : readTable("/proc/net/ipv6_route")) {
        // dest destlen src srclen nexthop metric refcnt use flags iface
        if (row.size() < 10 || row[0] != zero || row[1] != "00" || row[4] == zero)
            continue;
        in6_addr hop;
        char text[INET6_ADDRSTRLEN] = "";
        if (!parseHexAddress(row[4], hop) || !inet_ntop(AF_INET6, &hop, text, sizeof text))
            continue;
        if (row[9] == iface)
            return text;
        if (found.empty())
            found = text;
    }
    return found;
}

// The n-th (from 0) name server of the given family in /etc/resolv.conf.
std::string nameServer(int family, int n)
{
    for (const auto& row : readTable("/etc/resolv.conf")) {
        if (row.size() < 2 || row[0] != "nameserver")
            continue;
        std::string address = row[1].substr(0, row[1].find('%'));
        unsigned char buffer[sizeof(in6_addr)];
        if (inet_pton(family, address.c_str(), buffer) == 1 && n-- == 0)
            return address;
    }
    return std::string();
}

std::string sysNetFile(const std::string& iface, const char* file)
{
    if (iface.empty())
        return std::string();
    std::ifstream in("/sys/class/net/" + iface + "/" + file);
    std::string value;
    std::getline(in, value);
    return value;
}

// The override when network.ini gives one, else what the machine says.
template <typename Machine>
std::string value(const char* key, Machine machine)
{
    std::string text;
    return overrideFor(key, text) ? text : machine();
}

// Seconds the phone's clock is ahead of the machine's; 0 when unset or
// unreadable, so a damaged file falls back to the machine's time.
long long clockOffset()
{
    std::string text;
    if (!readWholeFile(phonePath(kClockOffsetFile), text))
        return 0;
    errno = 0;
    char* end = nullptr;
    long long offset = strtoll(text.c_str(), &end, 10);
    return end == text.c_str() || errno != 0 ? 0 : offset;
}

}  // namespace

std::string netGetLocalIPv4()
{
    return value("ipv4", [] { return readMachine().ipv4; });
}

std::string netGetLocalIPv6()
{
    return value("ipv6", [] { return readMachine().ipv6; });
}

std::string netGetLanIP()
{
    // On a bridged phone the PC port shares the WAN address.
    return value("lan", [] { return netGetLocalIPv4(); });
}

std::string netGetWanNetmaskIPv4()
{
    return value("netmask", [] { return readMachine().netmask; });
}

std::string netGetWanGatewayIPv4()
{
    return value("gateway", [] { return gatewayIPv4(readMachine().iface); });
}

std::string netGetWanPrimaryDNSIPv4()
{
    return value("dns1", [] { return nameServer(AF_INET, 0); });
}

std::string netGetWanSecondaryDNSIPv4()
{
    return value("dns2", [] { return nameServer(AF_INET, 1); });
}

std::string netGetWanPrefixIPv6()
{
    return value("prefix6", [] { return readMachine().prefix6; });
}

std::string netGetWanGatewayIPv6()
{
    return value("gateway6", [] { return gatewayIPv6(readMachine().iface); });
}

std::string netGetWanPrimaryDNSIPv6()
{
    return value("dns6_1", [] { return nameServer(AF_INET6, 0); });
}

std::string netGetWanSecondaryDNSIPv6()
{
    return value("dns6_2", [] { return nameServer(AF_INET6, 1); });
}

std::string netGetMACText(int /*iface*/, int /*separator*/)
{
    return value("mac", [] { return sysNetFile(readMachine().iface, "address"); });
}

bool netIsCableConnected()
{
    return value("cable", [] { return sysNetFile(readMachine().iface, "carrier"); }) == "1";
}

bool netGetLocalTime(int& year, int& month, int& day, int& hour, int& minute, int& second)
{
    time_t now = static_cast<time_t>(static_cast<long long>(time(nullptr)) + clockOffset());
    tm local;
    if (!localtime_r(&now, &local))
        return false;
    year = local.tm_year + 1900;
    month = local.tm_mon + 1;
    day = local.tm_mday;
    hour = local.tm_hour;
    minute = local.tm_min;
    second = local.tm_sec;
    return true;
}

// The machine's clock is not ours to set: the phone's time is kept as an
// offset from it.
bool netSetLocalTime(int year, int month, int day, int hour, int minute, int second)
{
    if (year < 1970 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    tm wanted{};
    wanted.tm_year = year - 1900;
    wanted.tm_mon = month - 1;
    wanted.tm_mday = day;
    wanted.tm_hour = hour;
    wanted.tm_min = minute;
    wanted.tm_sec = second;
    wanted.tm_isdst = -1;
    tm normalized = wanted;
    time_t target = mktime(&normalized);
    // mktime rolls 31 April over to 1 May: such a date is refused.
    if (target == static_cast<time_t>(-1) || normalized.tm_mday != day ||
        normalized.tm_mon != month - 1)
        return false;
    long long offset = static_cast<long long>(target) - static_cast<long long>(time(nullptr));
    return makeDirs(phonePath(kClockFolder)) &&
           writeFileAtomic(phonePath(kClockOffsetFile), std::to_string(offset) + "\n");
}
