// Codec slots: reading, ordering, the posted lists and the page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/configbridge.h"
#include "frame/helpers.h"
#include "pages/account/AccountCodecServlet.h"
#include "platform/configparser.h"
#include "tests/support/buspeer.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

namespace {

void SetSlot(int account, int slot, const char* name, const char* on, const char* priority)
{
    const struct {
        const char* what;
        const char* value;
    } kKeys[] = {{"Type", name}, {"Switch", on}, {"Priority", priority}};
    for (const auto& key : kKeys) {
        std::string field = "AccountAudio" + std::to_string(slot) + key.what;
        configParser_SetConfigString(
            configParser_GetAccountConfigName(field.c_str(), account).c_str(), key.value);
    }
}

std::string SlotSetting(int account, int slot, const char* what)
{
    std::string field = "AccountAudio" + std::to_string(slot) + what;
    return GetConfigValue(FILETYPE_ACCOUNT, field.c_str(), account);
}

// "name/priority" of every row, for compact comparisons.
Texts Rows(const ZRList<Codec_Info>& list)
{
    Texts out;
    for (const Codec_Info& row : list)
        out.push_back(row.name + "/" + std::to_string(row.index) + "/" +
                      (row.enabled ? "on" : "off") + "/" + std::to_string(row.priority));
    return out;
}

ZRList<Codec_Info> MakeRows(const std::vector<std::pair<const char*, int>>& rows)
{
    ZRList<Codec_Info> list;
    int slot = 0;
    for (const auto& entry : rows) {
        Codec_Info row;
        row.index = slot++;
        row.name = entry.first;
        row.priority = entry.second;
        list.push_back(row);
    }
    return list;
}

Texts Names(const ZRList<Codec_Info>& list)
{
    Texts out;
    for (const Codec_Info& row : list)
        out.push_back(row.name);
    return out;
}

// ---- Sorting --------------------------------------------------------------------

TEST(CodecSort, StableByAscendingPriority)
{
    const struct {
        std::vector<std::pair<const char*, int>> rows;
        Texts expected;
    } kCases[] = {
        {{}, {}},
        {{{"A", 2}, {"B", 1}}, {"B", "A"}},
        {{{"A", 1}, {"B", 1}, {"C", 1}}, {"A", "B", "C"}},
        {{{"A", 3}, {"B", 1}, {"C", 3}, {"D", 0}, {"E", 1}}, {"D", "B", "E", "A", "C"}},
        {{{"A", 4}, {"B", 3}, {"C", 2}, {"D", 1}}, {"D", "C", "B", "A"}},
    };
    for (const auto& c : kCases) {
        ZRList<Codec_Info> list = MakeRows(c.rows);
        SortAudioByPriority(&list);
        EXPECT_EQ(Names(list), c.expected);
    }
    SortAudioByPriority(nullptr);
}

// ---- Posted lists ---------------------------------------------------------------

TEST(CodecPostedList, EntriesBecomeRows)
{
    const struct {
        const char* text;
        bool enabled;
        Texts expected;
    } kCases[] = {
        {"G722:3,PCMU:0", true, {"G722/3/on/1", "PCMU/0/on/2"}},
        {"PCMA:1,G729:4", false, {"PCMA/1/off/0", "G729/4/off/0"}},
        // Entries without a colon are skipped and do not count.
        {"junk,G722:3,PCMU:0", true, {"G722/3/on/1", "PCMU/0/on/2"}},
        // Skipped entries that do carry a colon still take their place.
        {":3,PCMU:-1,PCMA:x,PCMA:19,G722:2", true, {"G722/2/on/5"}},
        {"opus:18", true, {"opus/18/on/1"}},
        // One entry per slot: the first wins.
        {"PCMU:0,PCMU:0,G722:0,PCMA:1", true, {"PCMU/0/on/1", "PCMA/1/on/4"}},
    };
    for (const auto& c : kCases) {
        ZRList<std::string> entries;
        String2List(entries, c.text, ',');
        ZRList<Codec_Info> rows;
        PutCodecData2List(rows, entries, c.enabled);
        EXPECT_EQ(Rows(rows), c.expected) << c.text;
    }
    // A posted list far longer than the slots costs no more than the slots.
    std::string flood;
    for (int i = 0; i < 100000; ++i)
        flood += "PCMU:" + std::to_string(i % 40) + ",";
    ZRList<std::string> entries;
    String2List(entries, flood, ',');
    ZRList<Codec_Info> rows;
    PutCodecData2List(rows, entries, true);
    EXPECT_EQ(rows.size(), kCodecSlots);
}

// ---- Reading the slots ---------------------------------------------------------

TEST(CodecSlots, NamedSlotsInSlotOrderAndILBCOnlyWhenEnabled)
{
    TestRoot root;
    SetSlot(1, 0, "PCMU", "1", "2");
    SetSlot(1, 2, "G722", "1", "1");
    SetSlot(1, 5, "iLBC_13_3", "0", "0");
    SetSlot(1, 18, "opus", "0", "7");
    SetSlot(0, 1, "PCMA", "1", "1");  // another account's slot

    ZRList<Codec_Info> hidden;
    ASSERT_EQ(GetCodecConfigData(&hidden, 1), 1);
    EXPECT_EQ(Rows(hidden), (Texts{"PCMU/0/on/2", "G722/2/on/1", "opus/18/off/7"}));

    configParser_SetConfigString("ILBCEnable", "1");
    ZRList<Codec_Info> shown;
    ASSERT_EQ(GetCodecConfigData(&shown, 1), 1);
    EXPECT_EQ(Names(shown), (Texts{"PCMU", "G722", "iLBC_13_3", "opus"}));

    EXPECT_EQ(GetCodecConfigData(nullptr, 1), 0);
    EXPECT_EQ(GetCodecConfigData(&shown, -1), 0);
}

// ---- The page ------------------------------------------------------------------

class CodecPage : public ::testing::Test {
protected:
    CodecPage() : phone({"app_vpPhone"})
    {
        phone.reply(0x30007, 1);
        SetSlot(2, 0, "PCMU", "1", "1");
        SetSlot(2, 1, "PCMA", "1", "2");
        SetSlot(2, 2, "G722", "0", "3");
        SetSlot(2, 3, "G729", "0", "4");
        SetSlot(2, 4, "iLBC", "0", "5");
    }

    TestRoot root;
    BusPeer phone;
    AccountCodecServlet servlet;
};

TEST_F(CodecPage, LoadSplitsEnabledAndDisabledInPriorityOrder)
{
    SetSlot(2, 1, "PCMA", "1", "0");
    FakeRequest request("/servlet?p=account-codec&q=load&acc=2");
    FakeResponse response;
    ASSERT_EQ(servlet.onRequest(&request, &response), 1);
    EXPECT_EQ(response.rendered, "/phone/www/WEB-INFO/template/account-codec.htm");
    EXPECT_EQ(response.loopColumn("enabledLoop", "selName"), (Texts{"PCMA", "PCMU"}));
    EXPECT_EQ(response.loopColumn("enabledLoop", "selValue"), (Texts{"1", "0"}));
    EXPECT_EQ(response.loopColumn("disabledLoop", "selName"), (Texts{"G722", "G729"}));
    EXPECT_EQ(response.var("var_accountID"), "2");
    EXPECT_EQ(response.var("ShowLevel").rfind("account-codec=", 0), 0u);
}

TEST_F(CodecPage, WriteStoresSwitchesAndPrioritiesAndTheNextLoadShowsTheOrder)
{
    FakeRequest request("/servlet?p=account-codec&q=write");
    request.setPost({{"var_accountID", "2"},
                     {"enabled", "G729:3,PCMU:0,nocolon"},
                     {"disabled", "PCMA:1,G722:2"}});
    FakeResponse response;
    ASSERT_EQ(servlet.onRequest(&request, &response), 1);
    EXPECT_EQ(response.redirect, "/servlet?p=account-codec&q=load&acc=2");
    EXPECT_EQ(SlotSetting(2, 3, "Switch"), "1");
    EXPECT_EQ(SlotSetting(2, 3, "Priority"), "1");
    EXPECT_EQ(SlotSetting(2, 0, "Priority"), "2");
    EXPECT_EQ(SlotSetting(2, 1, "Switch"), "0");
    EXPECT_EQ(SlotSetting(2, 1, "Priority"), "2");  // a disabled codec keeps its place
    // The hidden iLBC slot was not mentioned and stays as it was.
    EXPECT_EQ(SlotSetting(2, 4, "Switch"), "0");
    EXPECT_EQ(SlotSetting(2, 4, "Priority"), "5");

    ASSERT_TRUE(phone.waitForCount(2));
    BusMessage last = phone.messages().back();
    EXPECT_EQ(last.id, 0x10007u);
    EXPECT_EQ(last.wparam, 3u);
    EXPECT_EQ(last.lparam, 2);

    FakeRequest reload("/servlet?p=account-codec&q=load&acc=2");
    FakeResponse reloaded;
    ASSERT_EQ(servlet.onRequest(&reload, &reloaded), 1);
    EXPECT_EQ(reloaded.loopColumn("enabledLoop", "selName"), (Texts{"G729", "PCMU"}));
    EXPECT_EQ(reloaded.loopColumn("disabledLoop", "selName"), (Texts{"PCMA", "G722"}));
}

TEST_F(CodecPage, AFailedStoreIsNotReportedAsSuccess)
{
    configParser_FailNextWrites(-1);
    FakeRequest request("/servlet?p=account-codec&q=write");
    request.setPost({{"var_accountID", "2"}, {"enabled", "G729:3"}});
    FakeResponse response;
    LogCapture log;
    ASSERT_EQ(servlet.onRequest(&request, &response), 1);
    EXPECT_TRUE(response.redirect.empty());
    EXPECT_EQ(response.var("noticeLabel"),
              "setTimeout$account-codec$Error:The settings could not be saved!");
    EXPECT_FALSE(log.contains("Codec writing is success!"));
    configParser_FailNextWrites(0);
}

TEST_F(CodecPage, BadAccountsAreRefused)
{
    for (const char* acc : {"-1", "6", "../x", "2x"}) {
        FakeRequest write("/servlet?p=account-codec&q=write");
        write.setPost({{"var_accountID", acc}, {"enabled", "PCMU:0"}});
        FakeResponse written;
        LogCapture log;
        EXPECT_EQ(servlet.onRequest(&write, &written), 0) << acc;
        EXPECT_TRUE(log.contains("get accountID is illegal")) << acc;

        FakeRequest load(std::string("/servlet?p=account-codec&q=load&acc=") + acc);
        FakeResponse loaded;
        EXPECT_EQ(servlet.onRequest(&load, &loaded), 0) << acc;
        EXPECT_EQ(loaded.body, "no such account!");
    }
    FakeRequest missing("/servlet?p=account-codec&q=write&enabled=PCMU:0");
    FakeResponse response;
    EXPECT_EQ(servlet.onRequest(&missing, &response), 0);
    EXPECT_EQ(SlotSetting(2, 0, "Priority"), "1");

    // Without "acc" the page shows the first account.
    FakeRequest first("/servlet?p=account-codec&q=load");
    FakeResponse shown;
    EXPECT_EQ(servlet.onRequest(&first, &shown), 1);
    EXPECT_EQ(shown.var("var_accountID"), "0");
}

}  // namespace
