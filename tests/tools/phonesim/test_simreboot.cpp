#include "tools/phonesim/simreboot.h"

#include "platform/fwimage.h"
#include "platform/msgids.h"
#include "platform/system.h"
#include "tests/support/testroot.h"

#include <gtest/gtest.h>
#include <openssl/sha.h>

namespace {

BusMessage Message(const char* thread, unsigned int id)
{
    BusMessage message;
    message.thread = thread;
    message.id = id;
    return message;
}

std::string Env(const char* name)
{
    char value[32] = "";
    userenv_get(name, value, sizeof value);
    return value;
}

}  // namespace

TEST(PhonesimReboot, RestartsAndAnswersTheUpgradeQuestion)
{
    phonesim::RebootPlay play;
    EXPECT_EQ(play.answer(Message("smGui", kMsgProvisionStart)), 0);
    play.note(Message("*", kMsgBeforeUpgradeBroadcast));
    EXPECT_EQ(play.answer(Message("smGui", kMsgProvisionStart)), 1) << "a second upgrade must wait";
    EXPECT_FALSE(play.requested());
    play.note(Message("*", kMsgFactoryReset));
    EXPECT_TRUE(play.requested() && play.factoryReset());
    EXPECT_GT(play.msUntilDue(), 0);
}

TEST(PhonesimReboot, FactoryResetRestoresConfigurationAndKeepsIdentity)
{
    TestRoot root;
    root.write("/config/system/config.cfg", "AccountLabel.0=mine\n");
    root.write("/config/system/phonetype", "28\n");
    root.write("/config/data/htpasswd", "admin:changed\n");
    root.write("/config/data/linekey.xml", "<keys/>");
    root.write("/phone/factory/htpasswd", "admin:factory\n");
    root.write("/phone/factory/user/voip/sipAccount0.cfg", "[account]\n");
    root.write("/data/customfactory/system/custom.ini", "[x]\n");
    std::string error;
    EXPECT_TRUE(phonesim::RestoreFactoryConfig(error)) << error;
    EXPECT_FALSE(root.exists("/config/system/config.cfg"));
    EXPECT_FALSE(root.exists("/config/data/linekey.xml"));
    EXPECT_EQ(root.read("/config/data/htpasswd"), "admin:factory\n");
    EXPECT_EQ(root.read("/config/user/voip/sipAccount0.cfg"), "[account]\n");
    EXPECT_EQ(root.read("/config/system/custom.ini"), "[x]\n");
    EXPECT_EQ(root.read("/config/system/phonetype"), "28\n");
}

TEST(PhonesimReboot, BootInstallsOnlyAVerifiedFirmwareAndEndsSafeMode)
{
    TestRoot root;
    root.write("/phone/factory/config.cfg", "PhoneFirmware=1.0\nOther=1\n");
    unsigned char digest[32];
    SHA256(reinterpret_cast<const unsigned char*>("abc"), 3, digest);
    std::string image = BuildFirmwareHeader("2.0", 3, digest) + "abc";
    for (const std::string& stored : {image.substr(0, image.size() - 1) + "x", image}) {
        root.write(kFirmwareImage, stored);
        userenv_set("NeedSync", "1");
        userenv_set("BOOTMODE", "safemode");
        userenv_set("bWebUpgrade", "1");
        std::vector<int> standIns;
        phonesim::BootPhone(standIns);
        EXPECT_EQ(standIns.size(), phonesim::StandInNames().size());
        phonesim::StopStandIns(standIns);
        EXPECT_EQ(Env("NeedSync"), "0");
        EXPECT_EQ(Env("BOOTMODE"), "safemode") << "the boot asked for runs in safe mode";
        phonesim::BootPhone(standIns);
        phonesim::StopStandIns(standIns);
        EXPECT_EQ(Env("BOOTMODE"), "") << "the next one does not";
        EXPECT_EQ(root.read("/phone/factory/config.cfg"),
                  stored == image ? "PhoneFirmware=2.0\nOther=1\n" : "PhoneFirmware=1.0\nOther=1\n");
    }
}
