// The rule lists of the dial plan, dial-now and block-out pages.
#include <gtest/gtest.h>

#include "pages/settings/SettingsBlackoutServlet.h"
#include "pages/settings/SettingsDialnowServlet.h"
#include "pages/settings/SettingsDialplanServlet.h"
#include "platform/configparser.h"
#include "tests/pages/settings/settings_fixture.h"

namespace {

constexpr char kPlan[] = "/config/data/DialPlan.xml";
constexpr char kNow[] = "/config/data/DialNow.xml";
constexpr char kBlock[] = "/config/data/DialBlock.xml";

// A rule file with one rule per letter of `prefixes`.
std::string PlanFile(const std::string& prefixes)
{
    std::string xml = "<DialRule>";
    for (char c : prefixes)
        xml += std::string("<Data Prefix=\"") + c + "\" Replace=\"r" + c + "\" LineID=\"1\"/>";
    return xml + "</DialRule>";
}

std::string Prefixes(const TestRoot& root)
{
    std::string xml = root.read(kPlan), out;
    for (size_t at = 0; (at = xml.find("Prefix=\"", at)) != std::string::npos; at += 8)
        out += xml[at + 8];
    return out;
}

class RulePages : public SettingsPage, public ::testing::Test {
protected:
    SettingsDialplanServlet plan;
    SettingsDialnowServlet now;
};

TEST_F(RulePages, ListShowsAtMostAHundredRulesAndFillsShortListsToTen)
{
    struct { int rules; int rows; } cases[] = {{0, 10}, {3, 10}, {8, 10}, {9, 9}, {150, 100}};
    for (auto c : cases) {
        root.write(kPlan, PlanFile(std::string(c.rules, 'a')));
        plan.init();
        FakeResponse& page = run(plan, "settings-dialplan", "load");
        EXPECT_EQ(c.rows, page.loopSize("TRLoop")) << c.rules;
        Texts rules = page.loopColumn("TRLoop", "isRule");
        EXPECT_EQ(std::min(c.rules, 100), static_cast<int>(rules.size()) -
                                              static_cast<int>(std::count(rules.begin(), rules.end(), "")));
        EXPECT_EQ(std::to_string((c.rows - 1) % 2), page.loopVar("TRLoop", c.rows - 1, "setColor"));
    }
}

TEST_F(RulePages, DeleteTakesPositionsOfTheListAsShown)
{
    struct { const char* numbers; const char* left; } cases[] = {
        {"2,4", "ACE"}, {"4,2", "ABCE"}, {"1,2,3,4,5", ""}, {"0,2", "ABCDE"},
        {"x,2", "ABCDE"}, {"2,x,4", "ACDE"}, {"7", "ABCDE"}, {"5,5", "ABCD"},
    };
    for (auto c : cases) {
        root.write(kPlan, PlanFile("ABCDE"));
        FakeResponse& answer = run(plan, "settings-dialplan", "del", {{"recountNum", c.numbers}});
        EXPECT_EQ("/servlet?p=settings-dialplan&q=load", answer.redirect) << c.numbers;
        EXPECT_EQ(c.left, Prefixes(root)) << c.numbers;
    }
}

TEST_F(RulePages, EditSetsOnlyTheAttributesTheRuleHas)
{
    root.write(kPlan, "<R><Data Prefix=\"1\" Replace=\"2\"/><Data Prefix=\"3\"/></R>");
    run(plan, "settings-dialplan", "edit",
        {{"currentIndex", "2"}, {"editPrefix", "9<&"}, {"editReplace", "x"}, {"editAccount", "1"}});
    EXPECT_NE(std::string::npos, root.read(kPlan).find("<Data Prefix=\"9&lt;&amp;\" />"));
    // A number past the end changes nothing, yet saves and tells the phone.
    std::string before = root.read(kPlan);
    run(plan, "settings-dialplan", "edit", {{"currentIndex", "7"}, {"editPrefix", "z"}});
    EXPECT_EQ(before, root.read(kPlan));
    EXPECT_EQ(2u, changes(4).size());
    EXPECT_EQ((std::pair<unsigned, int>(4, 0)), changes()[1]);
}

TEST_F(RulePages, AddStopsAtAHundredRulesOnBothPages)
{
    root.write(kPlan, PlanFile(std::string(100, 'a')));
    root.write(kNow, "<N>" + std::string(99, ' ') + "</N>");
    std::string full = root.read(kPlan);
    FakeResponse& refused = run(plan, "settings-dialplan", "add", {{"editPrefix", "1"}});
    EXPECT_TRUE(refused.redirect.empty());
    EXPECT_EQ(full, root.read(kPlan));
    for (int i = 0; i < 101; ++i)
        run(now, "settings-dialnow", "add", {{"editRule", "1xx"}, {"editAccount", ""}});
    EXPECT_EQ(100, run(now, "settings-dialnow", "load").loopSize("TRLoop"));
    EXPECT_EQ((std::pair<unsigned, int>(6, 0)), changes(100).back());
}

TEST_F(RulePages, PhoneType19KeepsNoAccounts)
{
    root.write("/config/system/phonetype", "19\n");
    root.write(kNow, "<N/>");
    now.init();
    run(now, "settings-dialnow", "add", {{"editRule", "12"}, {"editAccount", "3"}});
    EXPECT_EQ(std::string::npos, root.read(kNow).find("LineID"));
    EXPECT_FALSE(run(now, "settings-dialnow", "load").hasVar("perAccount"));
}

// A file that cannot be read is never replaced: every change is refused and
// the page says so.
TEST_F(RulePages, UnreadableFilesAreNeverReplaced)
{
    struct { HttpServlet* servlet; const char* page; const char* file; const char* action; } cases[] = {
        {&plan, "settings-dialplan", kPlan, "add"},
        {&plan, "settings-dialplan", kPlan, "edit"},
        {&plan, "settings-dialplan", kPlan, "del"},
        {&now, "settings-dialnow", kNow, "add"},
    };
    for (auto c : cases) {
        root.write(c.file, "<Rules><Data Prefix=\"1\"");
        FakeResponse& answer = run(*c.servlet, c.page, c.action,
                                   {{"currentIndex", "1"}, {"recountNum", "1"}, {"editPrefix", "2"}});
        EXPECT_EQ("<Rules><Data Prefix=\"1\"", root.read(c.file)) << c.page << " " << c.action;
        EXPECT_NE(std::string::npos, answer.var("noticeLabel").find("cannot be read")) << c.action;
        EXPECT_EQ("1", run(*c.servlet, c.page, "load").var("fileError"));
    }
}

// A page above the identity's level changes nothing, whatever it stores.
TEST_F(RulePages, PagesAboveTheIdentitysLevelChangeNothing)
{
    SettingsBlackoutServlet block;
    struct { HttpServlet* servlet; const char* page; const char* action; const char* file; } cases[] = {
        {&plan, "settings-dialplan", "add", kPlan}, {&plan, "settings-dialplan", "del", kPlan},
        {&now, "settings-dialnow", "edit", kNow}, {&block, "settings-blackout", "write", kBlock},
    };
    identity = "user";
    for (auto c : cases) {
        configParser_SetConfigString(c.page, "3");
        root.write(c.file, PlanFile("AB"));
        FakeResponse& answer = run(*c.servlet, c.page, c.action,
                                   {{"editPrefix", "x"}, {"recountNum", "1"}, {"currentIndex", "1"}});
        EXPECT_EQ(403, answer.status) << c.page;
        EXPECT_EQ(PlanFile("AB"), root.read(c.file)) << c.page;
    }
}

TEST_F(RulePages, TextsAreCutToTheirBlockAndEscapedOnTheWayBack)
{
    root.write(kPlan, "<R/>");
    run(plan, "settings-dialplan", "add",
        {{"editPrefix", std::string(1022, 'x') + "\xc3\xa4" + "tail"}, {"editReplace", "\"><script>"}});
    FakeResponse& page = run(plan, "settings-dialplan", "load");
    EXPECT_EQ(std::string(1022, 'x'), page.loopVar("TRLoop", 0, "textPrefix"));
    EXPECT_EQ("&quot;&gt;&lt;script&gt;", page.loopVar("TRLoop", 0, "textReplace"));
}

TEST_F(RulePages, BlockOutWritesTenRowsWhateverWasThere)
{
    SettingsBlackoutServlet block;
    std::string twelve = "<dialblock>";
    for (int i = 1; i <= 12; ++i)
        twelve += "<Data rule=\"" + std::to_string(i) + "\" lines=\"\"/>";
    root.write(kBlock, twelve + "</dialblock>");
    FakeResponse& shown = run(block, "settings-blackout", "load");
    EXPECT_EQ(10, shown.loopSize("TRLoop"));
    EXPECT_EQ("10", shown.loopVar("TRLoop", 9, "BlackOut"));
    FakeResponse& saved = run(block, "settings-blackout", "write", {{"BlackOut_3", "0900"}, {"Account_3", "1,2"}});
    std::string xml = root.read(kBlock);
    EXPECT_EQ(10u, static_cast<size_t>(std::count(xml.begin(), xml.end(), '<')) - 3);
    EXPECT_NE(std::string::npos, xml.find("<Data rule=\"0900\" lines=\"1,2\" />"));
    EXPECT_EQ("0900", saved.loopVar("TRLoop", 2, "BlackOut"));
    EXPECT_EQ((std::pair<unsigned, int>(19, 0)), changes(2).back());
    root.write(kBlock, "<dialblock><Data");
    run(block, "settings-blackout", "write", {{"BlackOut_1", "1"}});
    EXPECT_EQ("<dialblock><Data", root.read(kBlock));
}

}  // namespace
