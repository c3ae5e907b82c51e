// Every feature page over HTTP: save, reload, see the value, see the message.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "tests/integration/harness.h"

namespace {

struct RoundTrip {
    const char* page;
    const char* action;
    const char* form;   // urlencoded
    const char* field;  // the form control that shows the value (sms: none)
    const char* shown;  // the value as the page holds it
    const char* bus;    // a part of the bus.log line, "" for pages that send nothing
};

const RoundTrip kRoundTrips[] = {
    {"features-forward", "write", "NoAnswerForwardTarget=300", "NoAnswerForwardTarget", "300",
     "\"to\":\"*\",\"id\":65543,\"wparam\":1,"},
    {"features-general", "write", "TextLogo=Desk", "TextLogo", "Desk",
     "\"to\":\"app_vpPhone\",\"id\":65543,\"wparam\":21,"},
    {"features-audio", "write", "ReDialtoneNumber=9", "ReDialtoneNumber", "9", "\"wparam\":11,"},
    {"features-intercom", "write", "IntercomMuteSwitch=1", "IntercomMuteSwitch", "1", "\"id\":65543,\"wparam\":29,"},
    {"features-transfer", "write", "TransferModeViaDsskey=2", "TransferModeViaDsskey", "2", ""},
    {"features-callpickup", "write", "GPickupCode=%2A88", "GPickupCode", "*88", ""},
    {"features-remotecontrl", "write", "PushXMLServerIP=10.1.1.1", "PushXMLServerIP", "10.1.1.1", ""},
    {"features-phonelock", "write", "LockTimeout=60", "LockTimeout", "60", "\"wparam\":20,"},
    {"features-acd", "write", "ACDAutoAvailableTime=45", "ACDAutoAvailableTime", "45", "\"wparam\":39,"},
    {"features-powerled", "write", "MutePowerLightFlash=1", "MutePowerLightFlash", "1", "\"wparam\":90,"},
    {"features-actionurl", "write", "AUOffHook=http%3A%2F%2Fsrv%2Fa%3Fx%3D1%26y%3D%22",
     "AUOffHook", "http://srv/a?x=1&amp;y=&quot;", "\"wparam\":38,"},
    {"features-bluetooth", "write", "BluetoothSwitch=1", "BluetoothSwitch", "1",
     "\"to\":\"bluetooththread\",\"id\":2649,\"wparam\":1,"},
    {"hidden", "write", "HeadsetSend=-3", "HeadsetSend", "-3", "\"to\":\"*\",\"id\":65543,\"wparam\":28,"},
    {"features-sms", "send", "acc=0&editMsgTarget=bob&editMsgTxt=Hi+%3Cthere%3E", "", "Hi &lt;there&gt;",
     "\"to\":\"app_sipClient0\",\"id\":262155,\"wparam\":10,\"lparam\":23,"},
};

// Whether the page shows the value in the named control: an input's value,
// or a select's chosen option. Without a control, anywhere on the page.
bool Shows(const std::string& body, const RoundTrip& trip)
{
    if (!*trip.field)
        return body.find(trip.shown) != std::string::npos;
    size_t at = body.find(std::string("name=\"") + trip.field + "\"");
    if (at == std::string::npos)
        return false;
    size_t select = body.rfind('<', at);
    bool isSelect = body.compare(select, 7, "<select") == 0;
    std::string control = body.substr(at, body.find(isSelect ? "</select>" : ">", at) - at);
    std::string value = std::string("value=\"") + trip.shown + "\"";
    return control.find(isSelect ? value + " class=\"t\" selected" : value) != std::string::npos;
}

class FeaturesOverHttp : public ::testing::Test {
protected:
    static Stack::Options RealPages()
    {
        Stack::Options options;
        options.testPages = false;
        return options;
    }

    void TearDown() override
    {
        if (HasFailure())
            fprintf(stderr, "---- server log ----\n%s\n", stack.serverLog().c_str());
    }

    bool busLogHas(const std::string& part)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            for (const std::string& line : stack.busLog())
                if (line.find(part) != std::string::npos)
                    return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    Stack stack{RealPages()};
    HttpClient http = stack.client();
};

TEST_F(FeaturesOverHttp, EveryPageSavesReloadsAndTellsThePhone)
{
    http.postForm("/servlet?p=login&q=login", "username=admin&pwd=admin&jumpto=status");
    for (const RoundTrip& trip : kRoundTrips) {
        std::string load = std::string("/servlet?p=") + trip.page + "&q=load";
        HttpAnswer before = http.get(load);
        ASSERT_EQ(200, before.status) << trip.page;
        EXPECT_EQ(std::string::npos, before.body.find("Template error")) << trip.page << before.body;
        EXPECT_FALSE(Shows(before.body, trip)) << trip.page;

        HttpAnswer saved = http.postForm(std::string("/servlet?p=") + trip.page + "&q=" + trip.action,
                                         trip.form);
        EXPECT_EQ(302, saved.status) << trip.page << saved.body;
        EXPECT_NE(std::string::npos, saved.header("Location").find(load)) << trip.page;
        std::string after = http.get(load).body;
        EXPECT_TRUE(Shows(after, trip)) << trip.page;
        // A settings page says so after a save; the message list shows the message itself.
        EXPECT_TRUE(!*trip.field || after.find("class=\"saved\"") != std::string::npos) << trip.page;
        EXPECT_TRUE(!*trip.bus || busLogHas(trip.bus)) << trip.page;
    }
}

}  // namespace
