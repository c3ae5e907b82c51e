#include "platform/contactmanager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/testroot.h"

using namespace NS_DIRECTORY;

namespace {

class ContactManager : public ::testing::Test {
protected:
    CContactLocalManager& m = *CContactLocalManager::GetInstance();
    TestRoot root;

    int add(const std::string& name, const std::string& group = "", const std::string& number = "")
    {
        ContactGeneralItemData c;
        c.displayName = name;
        c.officeNumber = number;
        return m.AddContact(group, c);
    }
    static ContactGeneralItemData named(const std::string& name)
    {
        ContactGeneralItemData c;
        c.displayName = name;
        return c;
    }
    // Names of a group's contacts from `first`, at most `count`, and total.
    std::string names(int group, int first = 0, int count = 100)
    {
        ContactGeneralItemListData list;
        list.first = first;
        list.count = count;
        if (!m.GetContactListById(&list, group))
            return "(none)";
        std::string out;
        for (const auto& c : list.list)
            out += (out.empty() ? "" : ",") + c.displayName;
        return out + " of " + std::to_string(list.total);
    }
};

TEST_F(ContactManager, OrdersByNameWithoutCaseAndKeepsAddingOrderForTies)
{
    for (const char* name : {"bob", "Alice", "ALICE", "carol", "alice", "Ärger"})
        EXPECT_EQ(0, add(name));
    EXPECT_EQ("Alice,ALICE,alice,bob,carol,Ärger of 6", names(0));
    EXPECT_EQ("ALICE,alice of 6", names(0, 1, 2));
    EXPECT_EQ(" of 6", names(0, 6, 10));
}

TEST_F(ContactManager, RefusesWhatBreaksTheRules)
{
    ASSERT_EQ(0, m.AddGroup({"Team", ""}));
    ASSERT_EQ(0, add("Ann", "Team", "100"));
    struct Case {
        int got;
        int expected;
    } cases[] = {
        {add("Ann"), kContactExisted},
        {add("Bob", "Nobody"), kGroupNotExisted},
        {add(""), kContactOtherError},
        {m.AddGroup({"Team", ""}), kGroupExisted},
        {m.AddGroup({"Blacklist", ""}), kGroupExisted},
        {m.RemoveGroup("All Contacts"), kGroupCannotDelete},
        {m.UpdateGroupData("Blacklist", {"Other", ""}), kGroupCannotDelete},
        {m.RemoveGroup("Nobody"), kGroupNotExisted},
        {m.RemoveAllContacts(77), kInvalidGroupId},
        {m.UpdateContactData("Nobody", named("X")), kContactNotExisted},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, c.got);
    ContactGeneralItemData photo;
    photo.displayName = "Eve";
    for (const char* value : {"Config:../../config/data/htpasswd", "Config:", "Config:.hidden", "x/y"}) {
        photo.photo = value;
        EXPECT_EQ(kPhotoNameError, m.AddContact("", photo)) << value;
    }
    EXPECT_EQ("Ann of 1", names(0));
}

TEST_F(ContactManager, HoldsItsLimits)
{
    std::string groups = "<root_group>", contacts = "<root_contact>";
    for (int i = 0; i < kMaxGroups; ++i)
        groups += "<group display_name=\"g" + std::to_string(i) + "\" id=\"" + std::to_string(i + 2) + "\"/>";
    for (int i = 0; i < kMaxContacts + kMaxBlacklist; ++i)
        contacts += "<contact display_name=\"c" + std::to_string(i) + "\" group_id_name=\"" +
                    (i < kMaxBlacklist ? "1" : "0") + "\"/>";
    root.write("/config/data/contact_group_list.xml", groups + "</root_group>");
    root.write("/config/data/contact_list.xml", contacts + "</root_contact>");
    EXPECT_EQ(kGroupListFull, m.AddGroup({"one more", ""}));
    EXPECT_EQ(kBlacklistFull, add("b+", "Blacklist"));
    EXPECT_EQ(kContactListFull, add("c+"));
    ZRList<std::string> back;
    back.push_back("c0");
    EXPECT_EQ(kContactListFull, m.MoveListToGroup(back, "g1"));  // out of the blacklist: no room
    ASSERT_EQ(0, m.RemoveGroup("g0"));
    EXPECT_EQ(0, m.AddGroup({"one more", ""}));
}

TEST_F(ContactManager, GroupsComeAndGoWithoutLosingContacts)
{
    ASSERT_EQ(0, m.AddGroup({"Team", "Resource:Ring2.wav"}));
    ASSERT_EQ(0, add("Ann", "Team", "100"));
    ASSERT_EQ(0, add("Bob", "", "200"));
    int team = m.GetGroupIdByName("Team");
    EXPECT_EQ("Ann of 1", names(team));
    ASSERT_EQ(0, m.UpdateGroupData("Team", {"Crew", ""}));
    EXPECT_EQ("Ann of 1", names(team));
    ZRList<std::string> bob;
    bob.push_back("Bob");
    ASSERT_EQ(0, m.MoveListToGroup(bob, "Blacklist"));
    EXPECT_EQ("Ann of 1", names(0));  // the blacklist is not among all contacts
    ASSERT_EQ(0, m.RemoveGroup("Crew"));
    EXPECT_EQ("(none)", names(team));
    EXPECT_EQ("Ann of 1", names(0));
    EXPECT_EQ("Bob", m.GetContactNameByPhoneNumber("200"));
    EXPECT_EQ("", m.GetContactNameByPhoneNumber("300"));
}

TEST_F(ContactManager, SeesAnotherProcessesChange)
{
    ASSERT_EQ(0, add("Ann"));
    // Another process replaces the file (as an atomic save does).
    root.write("/config/data/contact_list.xml.new",
               "<root_contact><contact display_name=\"Zed\" office_number=\"9\" "
               "group_id_name=\"0\"/></root_contact>");
    ASSERT_EQ(0, rename(root.real("/config/data/contact_list.xml.new").c_str(),
                        root.real("/config/data/contact_list.xml").c_str()));
    EXPECT_EQ("Zed of 1", names(0));
    EXPECT_EQ("Zed", m.GetContactNameByPhoneNumber("9"));
}

TEST_F(ContactManager, ExchangeFileRoundTrip)
{
    ASSERT_EQ(0, m.AddGroup({"Team", "Resource:Ring3.wav"}));
    ContactGeneralItemData c;
    c.displayName = "Line\nBreak, \"quoted\" <tag> &amp;";
    c.officeNumber = "1";
    c.photo = "Config:p.png";
    c.account = 2;
    ASSERT_EQ(0, m.AddContact("Team", c));
    ASSERT_EQ(0, add("Bob"));
    ASSERT_EQ(kExchangeOk, m.ExportXml("/tmp/x.xml"));
    std::string before = root.read("/config/data/contact_list.xml");
    ASSERT_EQ(0, m.RemoveAllGroup());
    ASSERT_EQ(0, m.RemoveAllContacts(0));
    ASSERT_EQ(kExchangeOk, m.ImportXml("/tmp/x.xml", true, true));
    ContactGeneralItemData back;
    ASSERT_TRUE(m.GetContactByName(&back, c.displayName));
    EXPECT_EQ("Team", back.groupName);
    EXPECT_EQ("Config:p.png", back.photo);
    EXPECT_EQ(2, back.account);
    ContactGroupData team;
    ASSERT_TRUE(m.GetGroupDataByID(&team, m.GetGroupIdByName("Team")));
    EXPECT_EQ("Resource:Ring3.wav", team.ring);
    EXPECT_EQ("Bob,Line\nBreak, \"quoted\" <tag> &amp; of 2", names(0));

    struct Case {
        const char* file;
        int expected;
    } cases[] = {
        {"<root_contact><contact display_name=\"a\"/><contact display_name=\"a\"/></root_contact>", kExchangeDuplicateContact},
        {"<root_contact><contact display_name=\"\"/></root_contact>", kExchangeContactNameEmpty},
        {"<root_contact><group display_name=\"g\"/><group display_name=\"g\"/></root_contact>", kExchangeDuplicateGroup},
        {"<other/>", kExchangeInvalidFile},
        {"<root_contact><contact", kExchangeInvalidFile},
    };
    for (const Case& k : cases) {
        root.write("/tmp/bad.xml", k.file);
        EXPECT_EQ(k.expected, m.ImportXml("/tmp/bad.xml", false, false)) << k.file;
    }
    EXPECT_EQ(kExchangeInvalidPath, m.ImportXml("/tmp/missing.xml", false, false));
    EXPECT_EQ(before, root.read("/config/data/contact_list.xml"));  // refused imports change nothing
}

}  // namespace
