// proccessActionURI driven through the host fakes, with a scripted phone
// process on the bus.
#include "remote/actionuri.h"

#include "platform/configparser.h"
#include "platform/msgbus.h"
#include "tests/support/buspeer.h"
#include "tests/support/phone.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

const char kUserStore[] = "/config/system/config.cfg";
const char kClient[] = "10.0.0.9";

// Runs one command from kClient; query is the text after "/servlet?".
struct CommandPhone : Phone {
    using Phone::Phone;
    int run(const std::string& query, FakeResponse& response)
    {
        FakeRequest request("/servlet?" + query);
        request.setRemoteAddr(kClient);
        char type[kURITypeSize];
        getURIType(query.c_str(), type);
        return proccessActionURI(&request, &response, type, query.c_str());
    }
};

// The data of a text message: the text and its terminating zero.
std::string Text(const std::string& text)
{
    return text + std::string(1, '\0');
}

}  // namespace

TEST(ActionUriCommand, RefusalsReachNothing)
{
    struct Case {
        const char* name;
        const char* settings;
        const char* type;
        int status;
    } cases[] = {
        {"empty list trusts nobody", "AURILimitIP=\n", "key", 401},
        {"unlisted client", "AURILimitIP=192.168.*.*\n", "key", 401},
        {"regex entry trusts nobody", "AURILimitIP=.*\n", "number", 401},
        {"no type", "AURILimitIP=any\n", "", 404},
    };
    for (const Case& c : cases) {
        CommandPhone phone(c.settings);
        ASSERT_TRUE(phone.peer->bound());
        FakeRequest request("/servlet?key=OK");
        request.setRemoteAddr(kClient);
        FakeResponse response;
        EXPECT_EQ(proccessActionURI(&request, &response, c.type, "key=OK"), 0) << c.name;
        EXPECT_EQ(response.status, c.status) << c.name;
        EXPECT_TRUE(phone.received().empty()) << c.name;
    }
    FakeResponse response;
    EXPECT_EQ(proccessActionURI(nullptr, &response, "key", "key=OK"), 0);
}

TEST(ActionUriCommand, TextsHandedToThePhone)
{
    struct Case {
        const char* settings;
        const char* query;
        unsigned int id;
        const char* text;
    } cases[] = {
        {"", "number=123", 0x30017, "number=123&RIP=10.0.0.9"},
        {"", "csta", 0x30017, "csta&RIP=10.0.0.9"},
        // The client's own address always comes last.
        {"", "number=1&RIP=1.1.1.1", 0x30017, "number=1&RIP=1.1.1.1&RIP=10.0.0.9"},
        // The URL credentials never reach the phone.
        {"", "key=OK&@admin:secret", 0x30017, "key=OK&RIP=10.0.0.9"},
        {"", "key=IP:1.2.3.4:5", 0x30017, "key=IP:1.2.3.4:5&RIP=10.0.0.9"},
        {"ISQVA=1\n", "key=IP:1.2.3.4:5", 0x30017, "key=IP:10.0.0.9:5&RIP=10.0.0.9"},
        {"ISQVA=1\n", "key=IP:", 0x30017, "key=IP:10.0.0.9:&RIP=10.0.0.9"},
        {"ISQVA=1\n", "key=OK", 0x30017, "key=OK&RIP=10.0.0.9"},
        {"", "redirectcall=1&number=2", 0x30020, "redirectcall=1&number=2&RIP=10.0.0.9"},
        {"", "redirectcall&number=2", 0x30020, "&number=2&RIP=10.0.0.9"},
        {"", "forward=1&a=1&b=2&c=3&d=4&e=5&f=6&g=7&h=8&i=9&j=10&k=11", 0x30021,
         "forward=1&a=1&b=2&c=3&d=4&e=5&f=6&g=7&h=8&i=9&RIP=10.0.0.9"},
    };
    for (const Case& c : cases) {
        CommandPhone phone(std::string("AURILimitIP=10.0.0.*\n") + c.settings);
        FakeResponse response;
        EXPECT_EQ(phone.run(c.query, response), 1) << c.query;
        EXPECT_EQ(response.status, 0) << c.query;
        std::vector<BusMessage> got = phone.received();
        ASSERT_EQ(got.size(), 1u) << c.query;
        EXPECT_EQ(got[0].id, c.id) << c.query;
        EXPECT_EQ(got[0].kind, "post") << c.query;
        EXPECT_EQ(got[0].data, Text(c.text)) << c.query;
    }
}

TEST(ActionUriCommand, OverlongCommandsAreRefusedWhole)
{
    // "number=" + digits + "&RIP=10.0.0.9" fills exactly kActionCommandMax.
    const size_t fitting = kActionCommandMax - strlen("number=") - strlen("&RIP=10.0.0.9");
    struct Case {
        std::string query;
        int result;
        int status;
    } cases[] = {
        {"number=" + std::string(fitting, '5'), 1, 0},
        {"number=" + std::string(fitting + 1, '5'), 0, 400},
        {"key=" + std::string(5000, 'K'), 0, 400},
        {"forward=" + std::string(kActionItemMax, '1'), 0, 400},
        {"redirectcall=1&x=" + std::string(kActionItemMax, '1'), 0, 400},
    };
    for (const Case& c : cases) {
        CommandPhone phone;
        FakeResponse response;
        EXPECT_EQ(phone.run(c.query, response), c.result) << c.query.size();
        EXPECT_EQ(response.status, c.status) << c.query.size();
        std::vector<BusMessage> got = phone.received();
        ASSERT_EQ(got.size(), c.result ? 1u : 0u);
        if (c.result) {
            EXPECT_EQ(got[0].data.size(), kActionCommandMax + 1);
        }
    }
}

TEST(ActionUriCommand, PhoneNotRunningIsAFailure)
{
    TestRoot root;
    root.write(kUserStore, "AURILimitIP=any\n");
    FakeRequest request("/servlet?number=1");
    FakeResponse response;
    EXPECT_EQ(proccessActionURI(&request, &response, "number", "number=1"), 0);
    EXPECT_EQ(response.status, 500);
}

TEST(ActionUriCommand, ProvisioningServer)
{
    struct Case {
        const char* query;
        int result;
        const char* url;
        const char* user;
        const char* password;
    } cases[] = {
        {"Server=http://p/&UserName=u&Password=pw", 1, "http://p/", "u", "pw"},
        {"Server=http://p/&UserName=u&Password=********", 1, "http://p/", "u", "old"},
        {"Server=http://p/&Password=pw", 1, "http://p/", "olduser", "old"},
        {"Server=http://p/&UserName=u", 1, "http://p/", "u", "old"},
        {"Servers=x&UserName=u&Password=pw", 0, "oldurl", "olduser", "old"},
    };
    for (const Case& c : cases) {
        CommandPhone phone("AURILimitIP=any\nAutoProvisionServerURL=oldurl\nAutoProvisionUser=olduser\n"
                    "AutoProvisionPassword=old\n");
        FakeResponse response;
        EXPECT_EQ(phone.run(c.query, response), c.result) << c.query;
        EXPECT_EQ(configParser_GetConfigString("AutoProvisionServerURL"), c.url) << c.query;
        EXPECT_EQ(configParser_GetConfigString("AutoProvisionUser"), c.user) << c.query;
        EXPECT_EQ(configParser_GetConfigString("AutoProvisionPassword"), c.password) << c.query;
        std::vector<BusMessage> got = phone.received();
        ASSERT_EQ(got.size(), c.result ? 1u : 0u) << c.query;
        if (c.result) {
            EXPECT_EQ(got[0].id, 0x1000Bu);
            EXPECT_FALSE(got[0].hasData);
        }
    }
}

TEST(ActionUriCommand, ProvisioningStoreFailureIsNoSuccess)
{
    CommandPhone phone;
    configParser_FailNextWrites(-1);
    FakeResponse response;
    EXPECT_EQ(phone.run("Server=http://p/&UserName=u&Password=pw", response), 0);
    configParser_FailNextWrites(0);
    EXPECT_EQ(response.status, 500);
    EXPECT_EQ(configParser_GetConfigString("AutoProvisionServerURL"), "");
    EXPECT_TRUE(phone.received().empty());
}

TEST(ActionUriCommand, ProvisioningPasswordIsNeverLogged)
{
    CommandPhone phone("AURILimitIP=any\nServerLogLevel=6\n");
    LogCapture log;
    FakeResponse response;
    EXPECT_EQ(phone.run("Server=http://p/&UserName=u&Password=TopSecret42", response), 1);
    for (const LogCapture::Line& line : log.lines)
        EXPECT_EQ(line.text.find("TopSecret42"), std::string::npos) << line.text;
}

TEST(ActionUriCommand, PhonecfgDownload)
{
    CommandPhone phone;
    phone.peer->setHandler([&](const BusMessage& message) -> std::optional<int> {
        if (message.id != 0x3001F)
            return 0;
        phone.root.write("/tmp/phonecfg.ini", "[phone]\nname=demo\n");
        return 1;
    });
    FakeResponse response;
    std::string query = "phonecfg=get&a=1&b=2&c=3&d=4&e=5&f=6&g=7&h=8&i=9&j=10";
    EXPECT_EQ(phone.run(query, response), 1);
    EXPECT_EQ(response.status, 0);
    EXPECT_EQ(response.contentType, "text/xml");
    EXPECT_EQ(response.header("Content-disposition"), "attachment; filename=phonecfg.ini");
    EXPECT_EQ(response.header("Accept-Ranges"), "bytes");
    EXPECT_EQ(response.header("Expires"), "-1");
    EXPECT_EQ(response.body, "[phone]\nname=demo\n");
    EXPECT_FALSE(phone.root.exists("/tmp/phonecfg.ini"));
    std::vector<BusMessage> got = phone.received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].kind, "send");
    EXPECT_EQ(got[0].data, Text("phonecfg=get&a=1&b=2&c=3&d=4&e=5&f=6&g=7&h=8&RIP=10.0.0.9"));
}

TEST(ActionUriCommand, PhonecfgFailuresAnswerNoFile)
{
    struct Case {
        const char* name;
        int reply;
        bool writesFile;
    } cases[] = {
        {"refused (a time-out answers 0 too)", 0, true},
        {"ready but no file", 1, false},
    };
    for (const Case& c : cases) {
        CommandPhone phone;
        phone.peer->setHandler([&](const BusMessage&) -> std::optional<int> {
            if (c.writesFile)
                phone.root.write("/tmp/phonecfg.ini", "stale");
            return c.reply;
        });
        FakeResponse response;
        EXPECT_EQ(phone.run("phonecfg=get", response), 0) << c.name;
        EXPECT_EQ(response.status, 500) << c.name;
        EXPECT_EQ(response.body, "") << c.name;
    }
}

class Screenshot : public ::testing::Test {
protected:
    // A capture tool that records its arguments and writes a fixed picture.
    void installTool(const std::string& picture)
    {
        std::string script = "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"\n";
        if (!picture.empty())
            script += "printf '" + picture + "' > \"$2\"\n";
        phone.root.write("/boot/bin/utrac", script);
        chmod(phone.root.real("/boot/bin/utrac").c_str(), 0755);
    }

    CommandPhone phone;
};

TEST_F(Screenshot, InlineAndDownload)
{
    installTool("JPEGDATA");
    struct Case {
        const char* query;
        const char* disposition;
    } cases[] = {
        {"command=screenshot", "inline; filename=screen.jpg"},
        {"command=screenshot&type=view", "inline; filename=screen.jpg"},
        {"command=screenshot&type=download", "attachment; filename=screen.jpg"},
    };
    for (const Case& c : cases) {
        phone.root.write("/tmp/screen.jpg", "stale");
        FakeResponse response;
        EXPECT_EQ(phone.run(c.query, response), 1) << c.query;
        EXPECT_EQ(response.status, 0);
        EXPECT_EQ(response.contentType, "image/jpeg");
        EXPECT_EQ(response.header("Content-disposition"), c.disposition);
        EXPECT_EQ(response.header("Accept-Ranges"), "bytes");
        EXPECT_EQ(response.header("Expires"), "-1");
        EXPECT_EQ(response.body, "JPEGDATA");
    }
    // The tool gets the mapped path, one argument each.
    EXPECT_EQ(phone.root.read("/boot/bin/args"), "-s\n" + phone.root.real("/tmp/screen.jpg") + "\n");
    EXPECT_TRUE(phone.received().empty());
}

TEST_F(Screenshot, OtherCommandsDoNothing)
{
    installTool("JPEGDATA");
    for (const char* query : {"command=reboot", "command", "command=screenshot2"}) {
        FakeResponse response;
        EXPECT_EQ(phone.run(query, response), 1) << query;
        EXPECT_FALSE(response.answered()) << query;
        EXPECT_FALSE(phone.root.exists("/boot/bin/args")) << query;
    }
}

TEST_F(Screenshot, NoPictureIsAFailure)
{
    installTool("");
    phone.root.write("/tmp/screen.jpg", "stale");
    FakeResponse response;
    EXPECT_EQ(phone.run("command=screenshot", response), 0);
    EXPECT_EQ(response.status, 500);
    EXPECT_EQ(response.body, "");
    EXPECT_EQ(response.contentType, "");
}
