// Network information. Values come from the machine's own interfaces and can
// be overridden per key from "/config/system/network.ini", section "net"
// (keys: ipv4, ipv6, lan, netmask, gateway, dns1, dns2, prefix6, gateway6,
// dns6_1, dns6_2, mac, cable), which the demo and the tests use.
#pragma once

#include <string>

std::string netGetLocalIPv4();
std::string netGetLocalIPv6();
std::string netGetLanIP();
std::string netGetWanNetmaskIPv4();
std::string netGetWanGatewayIPv4();
std::string netGetWanPrimaryDNSIPv4();
std::string netGetWanSecondaryDNSIPv4();
std::string netGetWanPrefixIPv6();
std::string netGetWanGatewayIPv6();
std::string netGetWanPrimaryDNSIPv6();
std::string netGetWanSecondaryDNSIPv6();
// "00:15:65:12:34:56" style text; empty when unknown. Both arguments are
// accepted for the callers' sake (callers pass 0, 0).
std::string netGetMACText(int iface, int separator);
bool netIsCableConnected();
// Local time broken down; false on failure.
bool netGetLocalTime(int& year, int& month, int& day, int& hour, int& minute, int& second);
bool netSetLocalTime(int year, int month, int day, int hour, int minute, int second);
