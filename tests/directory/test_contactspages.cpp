#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <unistd.h>

#include "directory/ContactsBasicServlet.h"
#include "directory/ContactsCommon.h"
#include "directory/ContactsFileOperatorServlet.h"
#include "platform/msgids.h"
#include "tests/support/buspeer.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

namespace {

class ContactsPages : public ::testing::Test {
protected:
    TestRoot root;

    // Contacts "c01" ... in group 0 (ordered by name).
    void fill(int count)
    {
        std::string xml = "<root_contact>";
        for (int i = 1; i <= count; ++i)
            xml += "<contact display_name=\"c" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "\"/>";
        root.write("/config/data/contact_list.xml", xml + "</root_contact>");
    }
    std::string joined(const Texts& texts)
    {
        std::string out;
        for (size_t i = 0; i < texts.size(); ++i)
            out += (i ? "," : "") + texts[i];
        return out;
    }
};

TEST_F(ContactsPages, ListsTenRowsAPage)
{
    struct Case {
        int contacts;
        const char* url;
        const char* indexes;
        const char* names;
        int pages;
    } cases[] = {
        {0, "num=1&group=0", "1,2,3,4,5,6,7,8,9,10", ",,,,,,,,,", 1},
        {20, "num=2&group=0", "11,12,13,14,15,16,17,18,19,20", "c11,c12,c13,c14,c15,c16,c17,c18,c19,c20", 2},
        {21, "num=3&group=-5", "21,22,23,24,25,26,27,28,29,30", "c21,,,,,,,,,", 3},
        {13, "num=2&group=77", "11,12,13,14,15,16,17,18,19,20", "c11,c12,c13,,,,,,,", 2},
        {13, "num=0", "1,2,3,4,5,6,7,8,9,10", "c01,c02,c03,c04,c05,c06,c07,c08,c09,c10", 2},
        {3, "num=99999999999", "1,2,3,4,5,6,7,8,9,10", "c01,c02,c03,,,,,,,", 1},
    };
    for (const Case& c : cases) {
        fill(c.contacts);
        FakeRequest request(std::string("/servlet?p=contactsbasic&q=load&") + c.url);
        FakeResponse response;
        ContactsBasicServlet page;
        page.onRequest(&request, &response);
        EXPECT_EQ(c.indexes, joined(response.loopColumn("contactslistloop", "index"))) << c.url;
        EXPECT_EQ(c.names, joined(response.loopColumn("contactslistloop", "DisplayName"))) << c.url;
        EXPECT_EQ(c.pages, response.loopSize("pageloop")) << c.url;
        EXPECT_EQ("0", response.loopVar("contactslistloop", 0, "classStyle"));
        EXPECT_EQ("All Contacts", response.var("groupInfo")) << c.url;
    }
}

TEST_F(ContactsPages, SelectedRowsNameContactsOfOnePage)
{
    fill(25);
    struct Case {
        const char* rows;
        const char* names;
    } cases[] = {
        {"3,10", "c03,c10"},
        {"10", "c10"},
        {"12,20", "c12,c20"},
        {"0,3", ""},
        {"3,15", "c03"},  // a number of another page selects nothing there
        {"5,3", "c03,c05"},
        {"x,3", "c03"},
        {"21,22,23,24,25,26", "c21,c22,c23,c24,c25"},
        {"", ""},
    };
    for (const Case& c : cases) {
        ZRList<std::string> names;
        ContactsBasicServlet::getContactNameList(names, c.rows, 0);
        EXPECT_EQ(c.names, joined(Texts(names.begin(), names.end()))) << c.rows;
    }
}

TEST_F(ContactsPages, NoticeTexts)
{
    struct Case {
        int code;
        const char* contact;
        const char* upload;
    } cases[] = {
        {0, "", ""},
        {-9, "Error:Group  list is full!", "Error:Upload error!"},
        {-11, "Error:Other error!", "Error:Upload error!"},
        {-101, "Error:Other error!", "Error:Upload error!"},
        {-15, "Error:Photo name error!", "Error:Upload error!"},
        {3, "Error:Other error!", "Error:Duplcate contact!"},
        {12, "Error:Other error!", "Error:Contact is asyncing!"},
        {13, "Error:Other error!", "Error:Upload error!"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(c.contact, ContactsErrorText(c.code)) << c.code;
        EXPECT_STREQ(c.upload, UploadErrorText(c.code)) << c.code;
    }
}

TEST_F(ContactsPages, PhotoNamesStayInTheirFolder)
{
    root.write("/config/data/htpasswd", "admin:x\n");
    root.write("/data/userdata/contact-image/a.png", "png");
    ContactsBasicServlet page;
    for (const char* value : {"Config:../../config/data/htpasswd", "Config:..", "Resource:a.png",
                              "Config:/config/data/htpasswd"}) {
        FakeRequest request("/servlet?p=contactsbasic&q=deletephoto");
        request.setPost({{"Photo", value}});
        FakeResponse response;
        page.onRequest(&request, &response);
        EXPECT_NE(std::string::npos, VarOf(response.varlist(), "noticeLabel").find("Photo name error")) << value;
    }
    for (const char* client : {"..", ".htaccess", "x.gif", ""}) {
        root.write("/tmp/fileupload_1", "data");
        FakeRequest request("/servlet?p=contactsbasic&q=uploadphoto");
        request.setUpload("uploadPhoto", "/tmp/fileupload_1", client);
        FakeResponse response;
        page.onRequest(&request, &response);
        EXPECT_FALSE(root.exists("/tmp/fileupload_1")) << client;
        EXPECT_EQ("", response.redirect) << client;
    }
    EXPECT_EQ("admin:x\n", root.read("/config/data/htpasswd"));
    EXPECT_EQ("png", root.read("/data/userdata/contact-image/a.png"));
}

TEST_F(ContactsPages, CsvRowsBelongToTheSessionThatUploadedThem)
{
    ContactsFileOperatorServlet page;
    page.init();
    root.write("/tmp/CSVFile_1", "display_name\nAnn\n");
    FakeRequest upload("/servlet?p=contacts-preview&q=uploadcvs&showtitle=1");
    upload.setUpload("frameUploadCVSFile", "/tmp/CSVFile_1", "a.csv");
    FakeResponse preview;
    page.onRequest(&upload, &preview);
    EXPECT_EQ(1, preview.loopSize("recordloop"));
    EXPECT_FALSE(root.exists("/tmp/CSVFile_1"));

    FakeRequest other("/servlet?p=contacts-preview&q=importcsv&arrcol=1&showtitle=1");
    FakeResponse refused;
    page.onRequest(&other, &refused);
    EXPECT_NE(std::string::npos, VarOf(refused.varlist(), "noticeLabel").find("please upload it again"));
    EXPECT_FALSE(root.exists("/config/data/contact_xported.xml"));

    // Too large to read into memory: refused before it is read.
    std::string big = root.real("/tmp/CSVFile_2");
    root.write("/tmp/CSVFile_2", "");
    ASSERT_EQ(0, truncate(big.c_str(), kMaxContactFileBytes + 1));
    FakeRequest large("/servlet?p=contacts-preview&q=uploadcvs");
    large.setUpload("frameUploadCVSFile", "/tmp/CSVFile_2", "big.csv");
    FakeResponse tooLarge;
    page.onRequest(&large, &tooLarge);
    EXPECT_NE(std::string::npos, VarOf(tooLarge.varlist(), "noticeLabel").find("too large"));
    EXPECT_FALSE(root.exists("/tmp/CSVFile_2"));
    page.destory();
}

TEST_F(ContactsPages, LevelsDecideWhoMayChange)
{
    root.write("/config/system/config.cfg", "contacts-basic=1\nLocalOptContacts=2\nLocalbtnExportCSV=0\n");
    struct Case {
        const char* identity;
        const char* url;
        bool allowed;
    } cases[] = {
        {"user", "/servlet?p=contactsbasic&q=addgroup&GroupInfo=A", false},
        {"var", "/servlet?p=contactsbasic&q=addgroup&GroupInfo=B", true},
        {"user", "/servlet?p=contactsbasic&q=load", true},
        {"admin", "/servlet?p=contacts-preview&q=exportcvs", false},
    };
    ContactsBasicServlet basic;
    ContactsFileOperatorServlet files;
    for (const Case& c : cases) {
        FakeRequest request(c.url);
        request.login(c.identity);
        FakeResponse response;
        if (std::string(c.url).find("contacts-preview") != std::string::npos)
            files.onRequest(&request, &response);
        else
            basic.onRequest(&request, &response);
        bool refused = VarOf(response.varlist(), "noticeLabel").find("jurisdiction") != std::string::npos;
        EXPECT_EQ(c.allowed, !refused) << c.identity << " " << c.url;
    }
    EXPECT_EQ(std::string::npos, root.read("/config/data/contact_group_list.xml").find("\"A\""));
}

TEST_F(ContactsPages, ChangesAreAnnouncedAndRefusedDuringACall)
{
    BusPeer phone({"app_vpPhone"});
    ASSERT_TRUE(phone.bound());
    phone.reply(kMsgAskTalking, 1);
    phone.reply(kMsgMakeCall, 1);
    ContactsBasicServlet page;
    struct Case {
        const char* url;
        const char* announced;  // wparam/lparam of the 0x10007 posts, in order
        const char* redirect;
    } cases[] = {
        {"q=addgroup&GroupInfo=Team", "8/1", "/servlet?p=contactsbasic&q=load&num=1&group=0"},
        {"q=add&DisplayName=A%20B&ConGroup=2&num=1", "8/2", "/servlet?p=contactsbasic&q=load&num=1&group=2"},
        {"q=editgroup&oldGroupName=Team&GroupInfo=Crew", "8/1 8/2", "/servlet?p=contactsbasic&q=load&num=1&group=0"},
        {"q=moveto&record=1&oldgroup=2&newgroup=1", "8/2", "/servlet?p=contactsbasic&q=load&num=1&group=1"},
        {"q=deletegroup&GroupInfo=Crew", "8/1 8/2", "/servlet?p=contactsbasic&q=load&num=1&group=0"},
        {"q=delete&record=*&group=1", "8/2", "/servlet?p=contactsbasic&q=load&num=1&group=1"},
        {"q=add&DisplayName=&ConGroup=0", "", ""},  // refused: no name
        {"q=moveto&record=1&oldgroup=0&newgroup=99", "", ""},
    };
    for (const Case& c : cases) {
        phone.clear();
        FakeRequest request(std::string("/servlet?p=contactsbasic&") + c.url);
        FakeResponse response;
        page.onRequest(&request, &response);
        EXPECT_EQ(c.redirect, response.redirect) << c.url;
        size_t posts = std::string(c.announced).empty() ? 0 : 1 + std::count(c.announced, c.announced + strlen(c.announced), ' ');
        phone.waitForCount(1 + posts, 2000);  // the talking question, then the posts
        std::string announced;
        for (const BusMessage& m : phone.messages())
            if (m.id == kMsgConfigChanged)
                announced += (announced.empty() ? "" : " ") + std::to_string(m.wparam) + "/" + std::to_string(m.lparam);
        EXPECT_EQ(c.announced, announced) << c.url;
    }

    phone.reply(kMsgAskTalking, 0);  // a call is in progress
    const char* const actions[] = {"load", "hangup", "add", "delete", "uploadphoto", "deleteallgroup", "call"};
    for (const char* action : actions) {
        FakeRequest request(std::string("/servlet?p=contactsbasic&q=") + action + "&num=5&acc=0&record=*&group=0");
        FakeResponse response;
        page.onRequest(&request, &response);
        bool refused = VarOf(response.varlist(), "noticeLabel").find("Talking") != std::string::npos;
        EXPECT_EQ(strcmp(action, "load") != 0 && strcmp(action, "hangup") != 0, refused) << action;
    }
}

}  // namespace
