#include "remote/pushxml.h"

#include "platform/msgbus.h"
#include "tests/support/buspeer.h"
#include "tests/support/phone.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

const char kUserStore[] = "/config/system/config.cfg";
const char kPushFile[] = "/tmp/XmlBrowserFile.xml";
const char kCstaFile[] = "/tmp/CSTAResponseXml.xml";

// A request whose body arrives in small pieces, counting what was asked.
class StreamedRequest : public FakeRequest {
public:
    explicit StreamedRequest(const std::string& url, int piece = 1 << 30)
        : FakeRequest(url), piece_(piece)
    {
    }
    int readBody(char* buffer, int n) override
    {
        ++reads;
        return FakeRequest::readBody(buffer, std::min(n, piece_));
    }
    int reads = 0;

private:
    int piece_;
};


int Push(const std::string& from, const std::string& body, FakeResponse* response = nullptr)
{
    FakeRequest request("/servlet?push");
    request.setRemoteAddr(from);
    request.setBody(body);
    return ProcessPushXml(&request, false, response);
}

}  // namespace

TEST(PushXml, TrustedServerList)
{
    struct Case {
        const char* list;
        const char* address;
        int trusted;
    } cases[] = {
        {" 10.0.0.5 ,10.0.0.6", "10.0.0.50", 0},
        {"\t10.0.0.5\t", "10.0.0.5", 1},
        {"10.0.0.*", "10.0.0.5", 0},  // no wildcards
        {"", "10.0.0.5", 0},
        {"10.0.0.5,,", "", 0},
        {"10.0.0.5", "10.0.0.5 ", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsTrustServerIP(c.address, c.list), c.trusted)
            << "'" << c.list << "' vs '" << c.address << "'";
    EXPECT_EQ(IsTrustServerIP(nullptr, "1.2.3.4"), 0);
    EXPECT_EQ(IsTrustServerIP("1.2.3.4", nullptr), 0);
}

TEST(PushXml, ListedServerStoresAndAnnounces)
{
    Phone phone("PushXMLServerIP= 10.0.0.5 ,10.0.0.6\n");
    EXPECT_EQ(Push("10.0.0.6", "xml=<PhoneText>one</PhoneText>"), 1);
    EXPECT_EQ(phone.root.read(kPushFile), "<PhoneText>one</PhoneText>");
    EXPECT_EQ(Push("10.0.0.5", "xml=<two/>"), 1);
    EXPECT_EQ(phone.root.read(kPushFile), "<two/>");
    std::vector<BusMessage> got = phone.received();
    ASSERT_EQ(got.size(), 2u);
    for (const BusMessage& message : got) {
        EXPECT_EQ(message.id, 0x3001Au);
        EXPECT_EQ(message.kind, "post");
        EXPECT_FALSE(message.hasData);
    }
}

TEST(PushXml, RefusedPushesLeaveNothing)
{
    struct Case {
        const char* name;
        const char* from;
        std::string body;
    } cases[] = {
        {"unlisted server", "10.0.0.50", "xml=<x/>"},
        {"no address", "", "xml=<x/>"},
        {"empty XML", "10.0.0.5", "xml="},
        {"no prefix", "10.0.0.5", "<x/>"},
        {"prefix in other case", "10.0.0.5", "XML=<x/>"},
        {"zero byte first", "10.0.0.5", std::string("xml=\0<x/>", 9)},
        {"no body", "10.0.0.5", ""},
    };
    for (const Case& c : cases) {
        Phone phone("PushXMLServerIP=10.0.0.5\n");
        phone.root.write(kPushFile, "before");
        EXPECT_EQ(Push(c.from, c.body), 0) << c.name;
        EXPECT_EQ(phone.root.read(kPushFile), "before") << c.name;
        EXPECT_TRUE(phone.received().empty()) << c.name;
    }
}

TEST(PushXml, TextEndsAtZeroByte)
{
    Phone phone("PushXMLServerIP=10.0.0.5\n");
    EXPECT_EQ(Push("10.0.0.5", std::string("xml=<a/>\0junk", 13)), 1);
    EXPECT_EQ(phone.root.read(kPushFile), "<a/>");
}

TEST(PushXml, OversizedBodyRefusedUnread)
{
    Phone phone("PushXMLServerIP=10.0.0.5\n");
    StreamedRequest request("/servlet?push");
    request.setRemoteAddr("10.0.0.5");
    request.setBody("xml=<x/>");
    request.setContentLength(kRemoteBodyMax + 1);
    FakeResponse response;
    EXPECT_EQ(ProcessPushXml(&request, false, &response), 0);
    EXPECT_EQ(response.status, 400);
    EXPECT_EQ(request.reads, 0);
    EXPECT_FALSE(phone.root.exists(kPushFile));
    EXPECT_TRUE(phone.received().empty());
}

TEST(PushXml, FromTheHiddenPage)
{
    Phone phone("PushXMLServerIP=127.0.0.1\n");
    FakeRequest request("/servlet?p=hidden&q=pushXML");
    request.setPost({{"editPushXML", "<page/>"}});
    EXPECT_EQ(ProcessPushXml(&request, true), 1);
    EXPECT_EQ(phone.root.read(kPushFile), "<page/>");

    FakeRequest missing("/servlet?p=hidden&q=pushXML");
    missing.setBody("xml=<body/>");
    EXPECT_EQ(ProcessPushXml(&missing, true), 0);
    EXPECT_EQ(phone.root.read(kPushFile), "<page/>");
}

TEST(Csta, BodyReachesThePhoneWholeAndResponseComesBack)
{
    Phone phone("");
    std::string body = "<MakeCall>" + std::string(3000 - 21, 'c') + "</MakeCall>";
    ASSERT_EQ(body.size(), 3000u);
    phone.peer->setHandler([&](const BusMessage& message) -> std::optional<int> {
        phone.root.write(kCstaFile, "<MakeCallResponse/>");
        return message.id == 0x10014 ? 1 : 0;
    });
    // The host hands the body over in pieces.
    StreamedRequest request("/servlet?csta", 700);
    request.setBody(body);
    FakeResponse response;
    EXPECT_EQ(doProcessCSTA(&request, &response), 1);
    EXPECT_EQ(response.status, 0);
    EXPECT_EQ(response.body, "<MakeCallResponse/>");
    std::vector<BusMessage> got = phone.received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, 0x10014u);
    EXPECT_EQ(got[0].kind, "send");
    EXPECT_EQ(got[0].data, body);
}

TEST(Csta, RefusedBodies)
{
    struct Case {
        const char* name;
        std::string body;
        long length;  // -1: the body's own
    } cases[] = {
        {"no body", "", -1},
        {"announced but absent", "", 10},
        {"too large", "<x/>", kRemoteBodyMax + 1},
    };
    for (const Case& c : cases) {
        Phone phone("");
        phone.root.write(kCstaFile, "<stale/>");
        StreamedRequest request("/servlet?csta");
        request.setBody(c.body);
        if (c.length >= 0)
            request.setContentLength(c.length);
        FakeResponse response;
        EXPECT_EQ(doProcessCSTA(&request, &response), 0) << c.name;
        EXPECT_EQ(response.status, 400) << c.name;
        EXPECT_EQ(response.body, "") << c.name;
        EXPECT_TRUE(phone.received().empty()) << c.name;
        if (c.length > kRemoteBodyMax) {
            EXPECT_EQ(request.reads, 0);
        }
    }
}

TEST(Csta, PhoneRefusalAnswers400WithItsOwnResponseOnly)
{
    struct Case {
        const char* name;
        bool writes;
        int result;
        const char* body;
    } cases[] = {
        {"error document", true, 1, "<CSTAErrorCode/>"},
        {"no document", false, 0, ""},
    };
    for (const Case& c : cases) {
        Phone phone("");
        // Left from an earlier request: must never answer this one.
        phone.root.write(kCstaFile, "<stale/>");
        phone.peer->setHandler([&](const BusMessage&) -> std::optional<int> {
            if (c.writes)
                phone.root.write(kCstaFile, "<CSTAErrorCode/>");
            return 0;
        });
        FakeRequest request("/servlet?csta");
        request.setBody("<MakeCall/>");
        FakeResponse response;
        EXPECT_EQ(doProcessCSTA(&request, &response), c.result) << c.name;
        EXPECT_EQ(response.status, 400) << c.name;
        EXPECT_EQ(response.body, c.body) << c.name;
    }
}
