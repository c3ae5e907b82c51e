// The softkey layout page: call-state references, hidden BroadSoft keys,
// writing and resetting a state.
#include <gtest/gtest.h>

#include "pages/settings/SettingsSoftkeyServlet.h"
#include "platform/configparser.h"
#include "tests/pages/settings/settings_fixture.h"

namespace {

constexpr char kTalking[] = "/config/softkey/Talking.xml";

std::string State(const char* name, const char* defaults, const char* enable, const char* disable)
{
    auto keys = [](const char* list) {
        std::string out;
        for (const char* at = list; *at;) {
            const char* end = strchr(at, ',');
            std::string type = end ? std::string(at, end) : std::string(at);
            out += "<Key Type=\"" + type + "\"/>";
            at = end ? end + 1 : at + strlen(at);
        }
        return out;
    };
    return std::string("<") + name + "><Default>" + keys(defaults) + "</Default><Enable>" +
           keys(enable) + "</Enable><Disable>" + keys(disable) + "</Disable></" + name + ">";
}

// The types of one part of a state, comma-joined, read back from the file.
std::string Part(const TestRoot& root, const char* state, const char* part)
{
    pugi::xml_document doc;
    doc.load_file(root.real(kTalking).c_str());
    std::string out;
    for (pugi::xml_node key : doc.child(state).child(part).children("Key"))
        out += (out.empty() ? "" : ",") + std::string(key.attribute("Type").value());
    return out;
}

class Softkeys : public SettingsPage, public ::testing::Test {
protected:
    Softkeys()
    {
        root.write(kTalking, State("Talking", "A,B", "B,C,Park", "D,Empty") +
                                 State("Held", "X", "X", "Gpark"));
        root.write("/config/softkey/Dialing.xml", State("Dialing", "S", "S", ""));
        root.write("/config/data/htpasswd", "admin:x\n");
        configParser_SetConfigString("BSFTActive", "0");
    }
    SettingsSoftkeyServlet servlet;
};

// References name a state of a plain ".xml" file of the softkey folder;
// anything else shows no lists and writes nothing anywhere.
TEST_F(Softkeys, CallStateReferences)
{
    struct { const char* reference; const char* enabled; bool states; } cases[] = {
        {"", "S", true},
        {"Talking.xml", "B,C", true},
        {"Talking.xml:Held", "X", true},
        {"Talking.xml:Nothing", "", true},
        {"../data/htpasswd:x", "", false},
        {"..%2Fdata%2Fhtpasswd", "", false},
        {"/config/softkey/Talking.xml:Held", "", false},
        {"Talking.xml/..:Held", "", false},
        {"Missing.xml", "", false},
    };
    for (auto c : cases) {
        FakeResponse& page = run(servlet, "settings-softkey", "load", {{"callStates", c.reference}});
        Texts enabled = page.loopColumn("enabledLoop", "key");
        std::string joined;
        for (const std::string& key : enabled)
            joined += (joined.empty() ? "" : ",") + key;
        EXPECT_EQ(c.enabled, joined) << c.reference;
        EXPECT_EQ(c.states, page.loopSize("statesLoop") > 0) << c.reference;
        run(servlet, "settings-softkey", "write",
            {{"callStates", c.reference}, {"selectSoftKeys", "Z"}, {"unSelectSoftKeys", ""}});
        EXPECT_EQ("admin:x\n", root.read("/config/data/htpasswd"));
    }
    FakeResponse& page = run(servlet, "settings-softkey", "load");
    EXPECT_EQ((Texts{"1", "0", "0"}), page.loopColumn("statesLoop", "selected"));
    EXPECT_EQ("Dialing.xml:Dialing", page.loopVar("statesLoop", 0, "selValue"));
}

TEST_F(Softkeys, HiddenBroadsoftKeysStayDisabledOfTheirOwnState)
{
    FakeResponse& page = run(servlet, "settings-softkey", "load", {{"callStates", "Talking.xml"}});
    EXPECT_EQ((Texts{"B", "C"}), page.loopColumn("enabledLoop", "key"));
    // A write of another state must not take this state's hidden keys.
    run(servlet, "settings-softkey", "write",
        {{"callStates", "Talking.xml:Held"}, {"selectSoftKeys", "X,Y"}, {"unSelectSoftKeys", ""}});
    EXPECT_EQ("X,Y", Part(root, "Held", "Enable"));
    EXPECT_EQ("Gpark", Part(root, "Held", "Disable"));
    FakeResponse& written = run(servlet, "settings-softkey", "write",
                                {{"callStates", "Talking.xml"}, {"selectSoftKeys", "C,B,Line"},
                                 {"unSelectSoftKeys", "D"}, {"CustomSoftkeySwitch", "1"}});
    EXPECT_EQ("/servlet?p=settings-softkey&q=load&callStates=Talking.xml", written.redirect);
    EXPECT_EQ("C,B,Line", Part(root, "Talking", "Enable"));
    EXPECT_EQ("D,Park", Part(root, "Talking", "Disable"));
    EXPECT_EQ((std::pair<unsigned, int>(36, 0)), changes(3).back());
}

TEST_F(Softkeys, ResetPutsTheDefaultsBackAndKeepsTheOthersDisabled)
{
    configParser_SetConfigString("BSFTActive", "1");
    FakeResponse& reset = run(servlet, "settings-softkey", "reset", {{"callStates", "Talking.xml:Talking"}});
    EXPECT_EQ("/servlet?p=settings-softkey&q=load&callStates=Talking.xml%3ATalking", reset.redirect);
    EXPECT_EQ("A,B", Part(root, "Talking", "Enable"));
    EXPECT_EQ("Empty,C,Park,D", Part(root, "Talking", "Disable"));
    EXPECT_EQ("Gpark", Part(root, "Held", "Disable"));
}

TEST_F(Softkeys, AnUnreadableFileIsNotOverwritten)
{
    root.write(kTalking, "<Talking><Enable>");
    FakeResponse& answer = run(servlet, "settings-softkey", "write",
                               {{"callStates", "Talking.xml"}, {"selectSoftKeys", "A"}, {"unSelectSoftKeys", ""}});
    EXPECT_EQ("<Talking><Enable>", root.read(kTalking));
    EXPECT_NE(std::string::npos, answer.var("noticeLabel").find("cannot be read"));
    EXPECT_EQ("1", run(servlet, "settings-softkey", "load", {{"callStates", "Talking.xml"}}).var("fileError"));
}

}  // namespace
