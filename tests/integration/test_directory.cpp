// The local directory over HTTP, with phonesim doing the phone's part of
// the import and export.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/integration/harness.h"

namespace {

// A 1 x 1 PNG; photos this small are stored as they come.
const std::string kPng(
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00\x00\x01"
    "\x08\x06\x00\x00\x00\x1f\x15\xc4\x89\x00\x00\x00\x0d\x49\x44\x41\x54\x78\x9c\x63\xf8\xcf\xc0\xf0"
    "\x1f\x00\x05\x00\x01\xff\x89\x99\x3d\x1d\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
    70);
const char kPngBase64[] =
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR4nGP4z8DwHwAFAAH/iZk9HQAAAABJRU5ErkJggg==";
const char kHeader[] = "display_name,office_number,mobile_number,other_number,line,ring,group_id_name,"
                       "default_photo,photo_data";

class DirectoryOverHttp : public ::testing::Test {
protected:
    static Stack::Options RealPages()
    {
        Stack::Options options;
        options.testPages = false;
        return options;
    }
    void SetUp() override
    {
        http.postForm("/servlet?p=login&q=login", "username=admin&pwd=admin&jumpto=status");
    }
    void TearDown() override
    {
        if (HasFailure())
            fprintf(stderr, "---- server log ----\n%s\n", stack.serverLog().c_str());
    }
    // The CSV body's rows (after the byte-order mark and the header), sorted.
    static std::vector<std::string> rowsOf(const std::string& csv)
    {
        std::vector<std::string> rows;
        size_t at = csv.find("\r\n");
        while (at != std::string::npos && at + 2 < csv.size()) {
            size_t next = csv.find("\r\n", at + 2);
            rows.push_back(csv.substr(at + 2, next - at - 2));
            at = next;
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    std::string exportCsv()
    {
        HttpAnswer answer = http.get("/servlet?p=contacts-preview&q=exportcvs");
        EXPECT_EQ(200, answer.status);
        EXPECT_EQ("attachment; filename=contact.csv", answer.header("Content-disposition"));
        return answer.body;
    }
    HttpAnswer importCsv(const std::string& csv, const std::string& arrcol, bool replace)
    {
        HttpAnswer preview = http.postMultipart("/servlet?p=contacts-preview&q=uploadcvs",
                                                {{"showtitle", "1", ""}, {"frameUploadCVSFile", csv, "list.csv"}});
        EXPECT_EQ(200, preview.status);
        return http.postForm("/servlet?p=contacts-preview&q=importcsv",
                             "showtitle=1&arrcol=" + arrcol + (replace ? "&delOld=1" : ""));
    }

    Stack stack{RealPages()};
    HttpClient http = stack.client();
};

TEST_F(DirectoryOverHttp, AddedContactIsListed)
{
    HttpAnswer added = http.postForm("/servlet?p=contactsbasic&q=add",
                                     "DisplayName=M%C3%BCller+%26+Co&OfficeNum=123&ConGroup=0&num=1");
    EXPECT_EQ(302, added.status) << added.body;
    HttpAnswer list = http.get("/servlet?p=contactsbasic&q=load&num=1&group=0");
    EXPECT_NE(std::string::npos, list.body.find("data-name=\"Müller &amp; Co\" data-office=\"123\""));
    HttpAnswer again = http.postForm("/servlet?p=contactsbasic&q=add", "DisplayName=M%C3%BCller+%26+Co&ConGroup=0");
    EXPECT_NE(std::string::npos, again.body.find("Error:Contact already existed!"));
}

TEST_F(DirectoryOverHttp, ThousandContactsCsvRoundTrip)
{
    std::string csv = std::string("\xEF\xBB\xBF") + kHeader + "\r\n";
    const char* const groups[] = {"All Contacts", "Team, A", "Family \"B\"", "Büro"};
    for (int i = 0; i < 1000; ++i) {
        std::string n = std::to_string(i);
        std::string name;
        switch (i % 5) {
        case 0: name = "\"Doe, John " + n + "\""; break;
        case 1: name = "\"Say \"\"hi\"\" " + n + "\""; break;
        case 2: name = "\"Two\nlines " + n + "\""; break;
        case 3: name = "Zoë Ærøskøbing " + n; break;
        default: name = "Plain " + n; break;
        }
        std::string group = groups[i % 4];
        if (group.find_first_of(",\"") != std::string::npos) {
            std::string quoted = "\"";
            for (char c : group)
                quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
            group = quoted + "\"";
        }
        std::string photo = i % 50 == 0 ? "Config:p" + n + ".png," + kPngBase64 : ",";
        csv += name + "," + n + ",+49 " + n + ",," + std::to_string(i % 3) + ",Resource:Ring1.wav," +
               group + "," + photo + "\r\n";
    }
    HttpAnswer imported = importCsv(csv, "1,2,3,4,5,6,7,8,9", false);
    EXPECT_EQ(302, imported.status) << imported.body;
    EXPECT_EQ(kPng, stack.root().read("/data/userdata/contact-image/p50.png"));
    std::string exported = exportCsv();
    EXPECT_EQ(0u, exported.find(std::string("\xEF\xBB\xBF") + kHeader + "\r\n"));
    std::vector<std::string> want = rowsOf(csv), got = rowsOf(exported);
    ASSERT_EQ(1000u, got.size());
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(want[i], got[i]);

    // The same file again replaces instead of doubling.
    EXPECT_EQ(302, importCsv(exported, "1,2,3,4,5,6,7,8,9", true).status);
    EXPECT_EQ(want, rowsOf(exportCsv()));

    // XML out, everything deleted, XML in: the same directory.
    HttpAnswer xml = http.get("/servlet?p=contacts-preview&q=exportxml");
    EXPECT_EQ("attachment; filename=contact.xml", xml.header("Content-disposition"));
    EXPECT_EQ(302, http.postForm("/servlet?p=contactsbasic&q=delete", "record=*&group=0").status);
    EXPECT_EQ(302, http.postForm("/servlet?p=contactsbasic&q=deleteallgroup", "").status);
    EXPECT_TRUE(rowsOf(exportCsv()).empty());
    HttpAnswer restored = http.postMultipart("/servlet?p=contacts-preview&q=importxml",
                                             {{"frameUploadXMLFile", xml.body, "contact.xml"}});
    EXPECT_EQ(302, restored.status) << restored.body;
    EXPECT_EQ(want, rowsOf(exportCsv()));
    EXPECT_FALSE(stack.root().exists("/config/data/contact_xported.xml"));
}

TEST_F(DirectoryOverHttp, RefusedImportsSayWhy)
{
    HttpAnswer empty = importCsv(std::string(kHeader) + "\r\n,1\r\n", "1,2", false);
    EXPECT_NE(std::string::npos, empty.body.find("Error:Contact name empty!"));
    // Nothing mapped: nothing imported, and never the refused file left behind.
    EXPECT_EQ(302, importCsv(std::string(kHeader) + "\r\nAnn\r\n", "", false).status);
    HttpAnswer broken = http.postMultipart("/servlet?p=contacts-preview&q=importxml",
                                           {{"frameUploadXMLFile", "<root_contact><contact", "c.xml"}});
    EXPECT_NE(std::string::npos, broken.body.find("Error:Invalid file!"));
}

TEST_F(DirectoryOverHttp, PhotoNamesNeverLeaveThePhotoFolder)
{
    std::string before = stack.root().read("/config/data/htpasswd");
    HttpAnswer upload = http.postMultipart("/servlet?p=contactsbasic&q=uploadphoto",
                                           {{"uploadPhoto", kPng, "../../config/data/htpasswd"}});
    EXPECT_EQ(200, upload.status);
    HttpAnswer remove = http.postForm("/servlet?p=contactsbasic&q=deletephoto",
                                      "Photo=Config%3A..%2F..%2Fconfig%2Fdata%2Fhtpasswd");
    EXPECT_NE(std::string::npos, remove.body.find("Error:Photo name error!"));
    std::string csv = std::string(kHeader) + "\r\nEve,1,,,0,,,Config:../../../config/data/htpasswd," +
                      kPngBase64 + "\r\n";
    EXPECT_EQ(302, importCsv(csv, "1,2,3,4,5,6,7,8,9", false).status);
    EXPECT_EQ(before, stack.root().read("/config/data/htpasswd"));
    HttpAnswer shown = http.get("/servlet?p=contactsbasic&q=photo&name=Config%3A..%2F..%2Fconfig%2Fdata%2Fhtpasswd");
    EXPECT_EQ(404, shown.status);

    HttpAnswer good = http.postMultipart("/servlet?p=contactsbasic&q=uploadphoto",
                                         {{"uploadPhoto", kPng, "my photo.png"}});
    EXPECT_EQ(302, good.status) << good.body;
    EXPECT_NE(std::string::npos, good.header("Location").find("photo=my%20photo.png"));
    EXPECT_TRUE(stack.root().exists("/data/userdata/contact-image/my photo.png"));
    EXPECT_EQ(kPng, http.get("/servlet?p=contactsbasic&q=photo&name=Config%3Amy%20photo.png").body);
}

}  // namespace
