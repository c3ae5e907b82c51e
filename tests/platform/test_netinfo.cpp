#include "platform/netinfo.h"

#include "tests/support/testroot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

TEST(NetInfo, EveryValueCanBeOverridden)
{
    TestRoot root;
    root.write("/config/system/network.ini",
               "[net]\nipv4=10.0.0.5\nipv6=2001:db8::5\nlan=192.168.1.1\nnetmask=255.255.255.0\n"
               "gateway=10.0.0.1\ndns1=10.0.0.2\ndns2=10.0.0.3\nprefix6=64\ngateway6=2001:db8::1\n"
               "dns6_1=2001:db8::2\ndns6_2=2001:db8::3\nmac=00:15:65:12:34:56\ncable=0\n");
    struct Case {
        std::string (*get)();
        const char* expected;
    } cases[] = {
        {netGetLocalIPv4, "10.0.0.5"},           {netGetLocalIPv6, "2001:db8::5"},
        {netGetLanIP, "192.168.1.1"},            {netGetWanNetmaskIPv4, "255.255.255.0"},
        {netGetWanGatewayIPv4, "10.0.0.1"},      {netGetWanPrimaryDNSIPv4, "10.0.0.2"},
        {netGetWanSecondaryDNSIPv4, "10.0.0.3"}, {netGetWanPrefixIPv6, "64"},
        {netGetWanGatewayIPv6, "2001:db8::1"},   {netGetWanPrimaryDNSIPv6, "2001:db8::2"},
        {netGetWanSecondaryDNSIPv6, "2001:db8::3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.get(), c.expected);
    EXPECT_EQ(netGetMACText(0, 0), "00:15:65:12:34:56");
    EXPECT_FALSE(netIsCableConnected());
    root.write("/config/system/network.ini", "[net]\ncable=1\ndns2=\n");
    EXPECT_TRUE(netIsCableConnected());
    EXPECT_EQ(netGetWanSecondaryDNSIPv4(), "");  // set to empty is an override too
}

TEST(NetInfo, SetTimeKeepsAnOffsetNotTheMachineClock)
{
    TestRoot root;
    time_t machineBefore = time(nullptr);
    ASSERT_TRUE(netSetLocalTime(2031, 5, 17, 10, 20, 30));
    EXPECT_TRUE(root.exists("/config/system/clock_offset"));
    EXPECT_LT(time(nullptr) - machineBefore, 3600);  // the machine's clock did not move
    int year, month, day, hour, minute, second;
    ASSERT_TRUE(netGetLocalTime(year, month, day, hour, minute, second));
    auto toTime = [](int y, int mo, int d, int h, int mi, int s) {
        tm t{};
        t.tm_year = y - 1900;
        t.tm_mon = mo - 1;
        t.tm_mday = d;
        t.tm_hour = h;
        t.tm_min = mi;
        t.tm_sec = s;
        t.tm_isdst = -1;
        return mktime(&t);
    };
    double apart = difftime(toTime(year, month, day, hour, minute, second), toTime(2031, 5, 17, 10, 20, 30));
    // The clock kept running between the two calls.
    EXPECT_GE(apart, 0);
    EXPECT_LT(apart, 60);
}

TEST(NetInfo, RefusesImpossibleTimes)
{
    TestRoot root;
    struct Case {
        int year, month, day, hour, minute, second;
    } cases[] = {{2030, 2, 30, 0, 0, 0}, {2030, 4, 31, 0, 0, 0}, {2030, 13, 1, 0, 0, 0},
                 {2030, 0, 1, 0, 0, 0},  {2030, 1, 1, 24, 0, 0}, {2030, 1, 1, 0, 60, 0},
                 {2030, 1, 1, 0, 0, -1}, {1969, 1, 1, 0, 0, 0}};
    for (const Case& c : cases)
        EXPECT_FALSE(netSetLocalTime(c.year, c.month, c.day, c.hour, c.minute, c.second))
            << c.year << "-" << c.month << "-" << c.day << " " << c.hour << ":" << c.minute;
    EXPECT_FALSE(root.exists("/config/system/clock_offset"));
}

TEST(NetInfo, DamagedOffsetFallsBackToTheMachineClock)
{
    TestRoot root;
    root.write("/config/system/clock_offset", "garbage");
    int year = 0, month, day, hour, minute, second;
    ASSERT_TRUE(netGetLocalTime(year, month, day, hour, minute, second));
    time_t now = time(nullptr);
    tm local;
    localtime_r(&now, &local);
    EXPECT_NEAR(year, local.tm_year + 1900, 1);
}
