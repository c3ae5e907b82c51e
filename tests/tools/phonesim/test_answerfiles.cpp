#include "tools/phonesim/answerfiles.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/testroot.h"
#include "tools/phonesim/simcore.h"

namespace {

using phonesim::CstaResponseText;
using phonesim::WriteAnswerFiles;

const char kPhonecfg[] = "/tmp/phonecfg.ini";
const char kCsta[] = "/tmp/CSTAResponseXml.xml";

BusMessage Send(unsigned int id, const std::string& data = "")
{
    BusMessage message;
    message.thread = "app_vpPhone";
    message.kind = "send";
    message.id = id;
    message.data = data;
    message.hasData = !data.empty();
    return message;
}

// The root element of a document after its declaration.
std::string RootOf(const std::string& document)
{
    size_t start = document.find("?>\n<");
    if (start == std::string::npos)
        return "";
    start += 4;
    return document.substr(start, document.find_first_of(" >", start) - start);
}

}  // namespace

TEST(PhonesimAnswerFiles, CstaResponseIsNamedAfterTheRequest)
{
    struct Case {
        std::string request;
        int result;
        const char* root;
    } cases[] = {
        {"<MakeCall><callingDevice>1</callingDevice></MakeCall>", 1, "MakeCallResponse"},
        {"<?xml version=\"1.0\"?>\n<!-- hi --><AnswerCall/>", 7, "AnswerCallResponse"},
        {"<csta:ClearConnection xmlns:csta=\"x\"/>", 1, "ClearConnectionResponse"},
        {"not a document", 1, "CSTAResponse"},
        {"<1bad/>", 1, "CSTAResponse"},
        {"<!-- unterminated", 1, "CSTAResponse"},
        {"", 1, "CSTAResponse"},
        {"<MakeCall/>", 0, "CSTAErrorCode"},
    };
    for (const Case& c : cases) {
        std::string text = CstaResponseText(c.request, c.result);
        EXPECT_EQ(RootOf(text), c.root) << c.request;
        EXPECT_NE(text.find("request of " + std::to_string(c.request.size()) + " bytes"),
                  std::string::npos);
        EXPECT_NE(text.find(std::string("</") + c.root + ">"), std::string::npos) << text;
    }
}

TEST(PhonesimAnswerFiles, WrittenOnlyWhenTheSendIsAnswered)
{
    struct Case {
        const char* name;
        BusMessage message;
        bool answered;
        int result;
        bool phonecfg;
        bool csta;
    } cases[] = {
        {"export ready", Send(0x3001F, "phonecfg=get"), true, 1, true, false},
        {"export failed", Send(0x3001F, "phonecfg=get"), true, 0, false, false},
        {"export timed out", Send(0x3001F, "phonecfg=get"), false, 1, false, false},
        {"csta taken", Send(0x10014, "<MakeCall/>"), true, 1, false, true},
        {"csta refused", Send(0x10014, "<MakeCall/>"), true, 0, false, true},
        {"csta unanswered", Send(0x10014, "<MakeCall/>"), false, 0, false, false},
        {"other id", Send(0x30007), true, 1, false, false},
    };
    for (const Case& c : cases) {
        TestRoot root;
        root.write("/config/system/config.cfg", "AURILimitIP=any");
        root.write("/tmp/.keep", "");
        WriteAnswerFiles(c.message, c.answered, c.result);
        EXPECT_EQ(root.exists(kPhonecfg), c.phonecfg) << c.name;
        EXPECT_EQ(root.exists(kCsta), c.csta) << c.name;
        if (c.phonecfg) {
            EXPECT_EQ(root.read(kPhonecfg), "# phonecfg.ini exported by the phone\nAURILimitIP=any\n");
        }
        if (c.csta) {
            EXPECT_EQ(root.read(kCsta), CstaResponseText("<MakeCall/>", c.result));
        }
    }
    // A post of the same id is no request.
    TestRoot root;
    root.write("/tmp/.keep", "");
    BusMessage post = Send(0x10014, "<MakeCall/>");
    post.kind = "post";
    WriteAnswerFiles(post, true, 1);
    EXPECT_FALSE(root.exists(kCsta));
}

TEST(PhonesimAnswerFiles, StateDecidesTheExport)
{
    struct Case {
        const char* state;
        bool answered;
        int value;
        bool written;
    } cases[] = {
        {"", true, 1, true},
        {"[reply]\n0x3001F=0\n", true, 0, false},
        {"[reply]\n0x3001F=none\n", false, 0, false},
    };
    for (const Case& c : cases) {
        TestRoot root;
        phonesim::PhoneSim sim;
        std::string error;
        ASSERT_TRUE(sim.start(error)) << error;
        root.write("/tmp/phonesim/state.ini", c.state);
        phonesim::Reply reply = sim.handle(Send(0x3001F, "phonecfg=get"));
        EXPECT_EQ(reply.answer, c.answered) << c.state;
        EXPECT_EQ(reply.answer ? reply.value : c.value, c.value) << c.state;
        EXPECT_EQ(root.exists(kPhonecfg), c.written) << c.state;
    }
}
