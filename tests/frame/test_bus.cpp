// The frame's conversations with the phone process, against a scripted peer.
#include <gtest/gtest.h>

#include "frame/helpers.h"
#include "frame/servlet.h"
#include "platform/configparser.h"
#include "platform/msgids.h"
#include "tests/support/buspeer.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

namespace {

TEST(TalkingCheck, NoticeOnlyDuringACall)
{
    TestRoot root;
    FakeResponse nobody;  // no phone process: no call
    EXPECT_FALSE(IsInTalking(&nobody));
    EXPECT_FALSE(nobody.answered());
    BusPeer phone({"app_vpPhone"});
    ASSERT_TRUE(phone.bound());
    phone.reply(kMsgAskTalking, 0);

    FakeResponse response;
    EXPECT_TRUE(IsInTalking(&response));
    EXPECT_EQ(response.rendered, "/phone/www/WEB-INFO/template/notice.htm");
    EXPECT_EQ(response.var("noticeLabel"), "setTimeout$notice$Talking, Please wait...");
    ASSERT_EQ(phone.count(), 1u);
    BusMessage asked = phone.messages()[0];
    EXPECT_EQ(asked.kind, "send");
    EXPECT_EQ(asked.id, kMsgAskTalking);
    EXPECT_EQ(asked.wparam, 0u);
    EXPECT_EQ(asked.lparam, 1);

    // An idle phone answers 1: nothing is shown.
    phone.reply(kMsgAskTalking, 1);
    FakeResponse idle;
    EXPECT_FALSE(IsInTalking(&idle));
    EXPECT_FALSE(idle.answered());
}

TEST(MakeCall, PostCarriesTheNumberAndItsEnd)
{
    TestRoot root;
    BusPeer phone({"app_vpPhone"});
    ASSERT_TRUE(phone.bound());
    EXPECT_EQ(sendMakeCallMsg(101, 0, "1234", false), 1);
    ASSERT_TRUE(phone.waitForCount(1));
    BusMessage call = phone.messages()[0];
    EXPECT_EQ(call.kind, "post");
    EXPECT_EQ(call.id, kMsgMakeCall);
    EXPECT_EQ(call.wparam, 101u);
    EXPECT_EQ(call.lparam, 0);
    EXPECT_EQ(call.data, std::string("1234", 5));
}

TEST(MakeCall, WaitingGivesThePhonesAnswer)
{
    TestRoot root;
    BusPeer phone({"app_vpPhone"});
    ASSERT_TRUE(phone.bound());
    phone.reply(kMsgMakeCall, 3);
    EXPECT_EQ(sendMakeCallMsg(1101, 0, "5", true), 1);
    phone.reply(kMsgMakeCall, 0);
    EXPECT_EQ(sendMakeCallMsg(1101, 0, "5", true), 0);
    EXPECT_EQ(phone.messages()[0].kind, "send");
    EXPECT_EQ(sendMakeCallMsg(1101, 0, nullptr, false), 0);
}

TEST(MakeCall, NoPhoneIsNoCall)
{
    TestRoot root;
    EXPECT_EQ(sendMakeCallMsg(100, 0, "1234", false), 0);
}

TEST(Reboot, NegativeModeBecomesTwo)
{
    TestRoot root;
    BusPeer phone({"app_vpPhone"});
    ASSERT_TRUE(phone.bound());
    sysReboot(-1);
    sysReboot(1);
    ASSERT_TRUE(phone.waitForCount(2));
    EXPECT_EQ(phone.messages()[0].id, kMsgReboot);
    EXPECT_EQ(phone.messages()[0].wparam, 2u);
    EXPECT_EQ(phone.messages()[1].wparam, 1u);
}

TEST(AccountID, FirstRegisteredAccountWithThatAddress)
{
    TestRoot root;
    root.write("/config/system/phonetype", "22");  // three accounts
    for (int i = 0; i < 3; ++i) {
        configParser_SetConfigString(configParser_GetAccountConfigName("AccountUserName", i).c_str(),
                                     "100");
        root.write("/config/user/voip/sipAccount" + std::to_string(i) + ".cfg",
                   "[sipserver1]\nserver=pbx.example\n");
    }
    // Without an address or a phone process nothing is registered.
    EXPECT_EQ(GetAccountID(nullptr), -1);
    EXPECT_EQ(GetAccountID("100@pbx.example"), -1);
    BusPeer phone({"app_vpPhone"});
    ASSERT_TRUE(phone.bound());
    // Account 0 is not registered; 1 and 2 are.
    phone.setHandler([](const BusMessage& m) -> std::optional<int> {
        return m.id == kMsgAccountStatus && m.wparam > 0 ? 2 : 0;
    });
    EXPECT_EQ(GetAccountID("100@pbx.example"), 1);
    EXPECT_EQ(GetAccountID("100@other.example"), -1);
    EXPECT_EQ(GetAccountID("200@pbx.example"), -1);
}

}  // namespace
