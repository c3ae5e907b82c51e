// The key files and their INI mirrors: lock mirroring across the line-key
// pages, skipped keys, expansion files, the masked PIN, damaged files, and
// the option lists and exchange file the page reads.
#include "tests/dsskey/dsskeytest.h"

#include "tests/support/fakes.h"

namespace {

constexpr char kIni[] = "/config/user/vpPhone.ini";

bool Write(Dsskey_M7X_Model& model, int set, int module, std::initializer_list<DssKey> keys)
{
    ZRList<DssKey> list;
    for (const DssKey& key : keys)
        list.push_back(key);
    return model.SetDsskeyList(static_cast<DSSK_MODEL_TYPE>(set), &list, module, true);
}

std::string Key(const DsskeyTest& t, int n)  // "type value line" of line key n
{
    return t.Xml("linekey.xml", n, "type") + " " + t.Xml("linekey.xml", n, "value") + " " +
           t.Xml("linekey.xml", n, "line");
}

TEST_F(DsskeyTest, LockedLineKeyHoldsItsPlaceOnEveryPage)
{
    Dsskey_M7X_Model model;
    ASSERT_TRUE(Write(model, DSSK_LINE, 1, {Posted(3, DT_LINE, "2", "1")}));
    for (int n : {3, 12, 21}) {
        EXPECT_EQ(Key(*this, n), "15 2 1") << n;
        EXPECT_EQ(Ini(kIni, "memory" + std::to_string(n), "DKtype"), "15") << n;
        EXPECT_EQ(Ini(kIni, "memory" + std::to_string(n), "Value"), "2") << n;
        EXPECT_EQ(Ini(kIni, "memory" + std::to_string(n), "Line"), "1") << n;
    }
    ASSERT_TRUE(phone.waitForCount(2));
    EXPECT_EQ(ChangedKeys(), "3,12,21");
    DssKey mirrored;
    mirrored.keyIndex = 12;
    ASSERT_TRUE(model.GetDsskey(&mirrored, DSSK_LINE, 2, false));
    EXPECT_EQ(mirrored.attr[DSSK_PARA_VALUE].value, "2");

    phone.clear();
    ASSERT_TRUE(Write(model, DSSK_LINE, 1, {Posted(3, DT_LINE, "0", "1")}));
    EXPECT_EQ(Key(*this, 3), "15 0 1");
    for (int n : {12, 21}) {
        EXPECT_EQ(Key(*this, n), "0  -1") << n;
        EXPECT_EQ(Ini(kIni, "memory" + std::to_string(n), "DKtype"), "0") << n;
    }
    ASSERT_TRUE(phone.waitForCount(2));
    EXPECT_EQ(ChangedKeys(), "3,12,21");
}

TEST_F(DsskeyTest, LockReadOnAPageWhoseFirstPageKeyIsNotLocked)
{
    Dsskey_M7X_Model model;
    ASSERT_TRUE(Write(model, DSSK_LINE, 2, {Posted(12, DT_LINE, "2", "1")}));
    EXPECT_EQ(Key(*this, 12), "15 2 1");
    DssKey key;
    key.keyIndex = 12;
    ASSERT_TRUE(model.GetDsskey(&key, DSSK_LINE, 2, false));
    EXPECT_EQ(key.attr[DSSK_PARA_VALUE].value, "0");
}

TEST_F(DsskeyTest, KeyWithoutTypeChangesNothingAndLaterKeysStayAligned)
{
    Dsskey_M7X_Model model;
    ASSERT_TRUE(Write(model, DSSK_LINE, 1, {Posted(1, DT_NONE), Posted(2, 13, "200", "0", "Boss"),
                                            Posted(3, DT_NONE), Posted(4, 12, "*97", "1")}));
    EXPECT_EQ(Key(*this, 1), "15 0 0");
    EXPECT_EQ(Key(*this, 2), "13 200 0");
    EXPECT_EQ(Xml("linekey.xml", 2, "label"), "Boss");
    EXPECT_EQ(Key(*this, 3), "0  -1");
    EXPECT_EQ(Key(*this, 4), "12 *97 1");
}

TEST_F(DsskeyTest, ExpansionKeyFileAndIniNames)
{
    Dsskey_M7X_Model model;
    ASSERT_TRUE(Write(model, DSSK_EXTKEY, 1, {Posted(0, 13, "5")}));
    EXPECT_EQ(Xml("expkey0.xml", 1, "type"), "13");
    EXPECT_EQ(Xml("expkey0.xml", 1, "value"), "5");
    EXPECT_EQ(Ini("/config/user/Xk51_00000000000001.cfg", "key0", "Value"), "5");
    ASSERT_TRUE(phone.waitForCount(2));
    EXPECT_EQ(ChangedKeys(), "1");
    EXPECT_EQ(phone.messages().back().wparam, 25u);
    // Modules that are not there make no file names.
    EXPECT_FALSE(Write(model, DSSK_EXTKEY, 0, {Posted(0, 13, "5")}));
    EXPECT_EQ(DsskeyFilePath(DSSK_EXTKEY, 0), "");
    Key_Display display;
    model.GetKeyIndexList(&display, DSSK_EXTKEY, 3);
    EXPECT_EQ(display.displayMode, 0);
    EXPECT_EQ(display.pageCount, 2);
}

TEST_F(DsskeyTest, MaskedMeetMePinKeepsTheStoredPin)
{
    Dsskey_M7X_Model model;
    LogCapture log;
    ASSERT_TRUE(Write(model, DSSK_LINE, 1, {Posted(5, DT_MEETME, "3000", "0", "", "4321")}));
    for (const char* mask : {"******", "********"}) {
        ASSERT_TRUE(Write(model, DSSK_LINE, 1, {Posted(5, DT_MEETME, "3001", "0", "", mask)}));
        EXPECT_EQ(Xml("linekey.xml", 5, "pickup_value"), "4321");
        EXPECT_EQ(Ini(kIni, "memory5", "PickupValue"), "4321");
        EXPECT_EQ(Xml("linekey.xml", 5, "value"), "3001");
    }
    for (const auto& line : log.lines)
        EXPECT_EQ(line.text.find("4321"), std::string::npos) << line.text;
}

TEST_F(DsskeyTest, DamagedKeyFileIsNeverReplaced)
{
    Dsskey_M7X_Model model;
    const std::string damaged = "<dsskey><item type=\"15\"><itemdata value=";
    root.write("/config/data/linekey.xml", damaged);
    EXPECT_FALSE(Write(model, DSSK_LINE, 1, {Posted(1, 13, "1")}));
    EXPECT_EQ(root.read("/config/data/linekey.xml"), damaged);
    root.write("/config/data/linekey.xml", "<?xml version=\"1.0\"?>\n");
    EXPECT_TRUE(Write(model, DSSK_LINE, 1, {Posted(2, 13, "7")}));
    EXPECT_EQ(Key(*this, 2), "13 7 0");
}

TEST_F(DsskeyTest, NetworkGroupOptions)
{
    Dsskey_M7X_Model model;
    ZRList<KeyValue> list;
    model.GetBsftGroupList(&list);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list.front().value, "N/A");
    for (const char* field : {"AccountBroadsoftXSIHostAddr", "AccountBroadsoftXSIPort", "AccountBroadsoftXSIPassword"})
        Set(configParser_GetAccountConfigName(field, 0).c_str(), "x");
    for (const char* field : {"BsftGroup", "BsftEnterprise", "BsftGroupCommon", "BsftEnterpriseCommon",
                              "BsftPersonal", "BsftCustom"})
        Set(field, "1");
    Set("NetworkDirectoryPersonalDisplayname", "Mine");
    Set("BsftCustomListUse", "a,b");
    list.clear();
    model.GetBsftGroupList(&list);
    std::string texts;
    for (const KeyValue& option : list)
        texts += std::to_string(option.key) + "=" + option.value + ";";
    EXPECT_EQ(texts, "0=All Contacts;1=;2=;3=;4=;5=Mine;6=a;7=b;");
}

TEST_F(DsskeyTest, BlfListRecords)
{
    struct Case { const char* text; int number; bool found; const char* fields; };
    const Case kCases[] = {
        {"3?V1003?LDesk?E*8$4?Vx", 3, true, "1003|Desk|*8"}, {"3?V1003$4?Vx?L?E", 4, true, "x||"},
        {"13?Va$3?Vb", 3, true, "b||"},   {"3", 3, false, "||"},  {"", 0, false, "||"},
        {"x3?Va$+3?Vb$03?Vc", 3, true, "c||"}, {"99999999999?Va", 3, false, "||"}, {"3?$", 3, true, "||"},
    };
    for (const Case& c : kCases) {
        std::string fields[3];
        EXPECT_EQ(ParseBlfListRecord(c.text, c.number, fields), c.found) << c.text;
        EXPECT_EQ(fields[0] + "|" + fields[1] + "|" + fields[2], c.fields) << c.text;
    }
    Set("BSFTActive", "1");
    root.write("/tmp/tmpBLFListValues", "1?V7?LTeam?E");
    Dsskey_M7X_Model model;
    ASSERT_TRUE(Write(model, DSSK_EXTKEY, 2, {Posted(0, DT_BLFLIST, "v", "1", "l")}));
    EXPECT_EQ(Xml("expkey1.xml", 1, "value"), "");
    DssKey key;
    key.keyIndex = 0;
    ASSERT_TRUE(model.GetDsskey(&key, DSSK_EXTKEY, 2, false));
    EXPECT_EQ(key.attr[DSSK_PARA_VALUE].value + "|" + key.attr[DSSK_PARA_LABEL].value + "|" +
                  key.attr[DSSK_PARA_LINE].value, "7|Team|1");
}

}  // namespace
