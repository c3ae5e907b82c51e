// The password file: hashing, loading, checking, changing and saving.
// Expected hashes were computed with python3's crypt module, outside this
// code.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "auth/filePassword.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

namespace {

constexpr char kAlphabet[] = "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

bool OnlyAlphabet(const std::string& text)
{
    return text.find_first_not_of(kAlphabet) == std::string::npos;
}

struct HashCase {
    const char* what;
    const char* password;
    const char* salt;
    const char* expected;
};

const HashCase kHashCases[] = {
    {"empty password is one block", "", "Xy", "Xy6BRO1hsVwb."},
    {"null password hashes as empty", nullptr, "Xy", "Xy6BRO1hsVwb."},
    {"short password", "admin", "Xy", "XyCBC8pPZ2D6o"},
    {"8 characters are one block", "abcdefgh", "Xy", "Xyoi5BGpLXKC6"},
    {"9 characters are two blocks", "abcdefghi", "Xy", "Xyoi5BGpLXKC6XyzZBOGEpn/FY"},
    {"17 characters are three blocks", "abcdefghijklmnopq", "Xy",
     "Xyoi5BGpLXKC6XyMUs0JHMwopAXysYAoWxo7OiM"},
    {"a stored hash as salt gives that hash back", "password123", "Xy2PtsPf0839YXyVVv75afK1LA",
     "Xy2PtsPf0839YXyVVv75afK1LA"},
    {"each block takes its own stored salt", "abcdefghi", "XyXXXXXXXXXXXAb",
     "Xyoi5BGpLXKC6AbRwLrGPdT6nY"},
    {"a salt longer than needed is not cut", "abc", "Xyoqi0MKALo5.XyAAAAAAAAAAA", "Xyoqi0MKALo5."},
    {"blank and tilde are printable", "a b~c", "Xy", "XyddIDNQxoOpc"},
    {"a control character ends the password", "abc\001def", "Xy", "Xyoqi0MKALo5."},
    {"a tab ends the password", "abc\tdef", "Xy", "Xyoqi0MKALo5."},
    {"DEL ends the password", "abc\177def", "Xy", "Xyoqi0MKALo5."},
    {"a byte above 127 ends the password", "abc\xe9t\xe9", "Xy", "Xyoqi0MKALo5."},
    // crypt refuses a salt outside its alphabet; such a block is left out.
    {"an unusable salt gives no block", "abc", "!!", ""},
    {"an unusable second-block salt adds no block", "abcdefghi", "Xy!!!!!!!!!!!!!", "Xyoi5BGpLXKC6"},
};

TEST(FilePasswordHash, MatchesIndependentCrypt)
{
    for (const HashCase& c : kHashCases)
        EXPECT_EQ(filePassword::GetEncryptedText(c.password, c.salt), c.expected) << c.what;
}

TEST(FilePasswordHash, FreshSaltIsRandomAndRepeatedInEveryBlock)
{
    const struct {
        const char* password;
        size_t length;
    } cases[] = {{"", 13}, {"secret", 13}, {"12345678", 13}, {"123456789", 26}, {"0123456789abcdefX", 39}};
    for (const auto& c : cases) {
        for (const char* salt : {static_cast<const char*>(nullptr), ""}) {
            std::string hash = filePassword::GetEncryptedText(c.password, salt);
            ASSERT_EQ(hash.size(), c.length) << c.password;
            EXPECT_TRUE(OnlyAlphabet(hash)) << hash;
            for (size_t block = 13; block < hash.size(); block += 13)
                EXPECT_EQ(hash.substr(block, 2), hash.substr(0, 2)) << hash;
            // The hash is its own salt source: checking reproduces it.
            EXPECT_EQ(filePassword::GetEncryptedText(c.password, hash.c_str()), hash);
        }
    }
}

TEST(FilePasswordHash, ShortSaltIsCompletedAndRepeated)
{
    // One salt character: the second is drawn, and block two repeats both.
    std::string hash = filePassword::GetEncryptedText("abcdefghi", "X");
    ASSERT_EQ(hash.size(), 26u);
    EXPECT_EQ(hash[0], 'X');
    EXPECT_EQ(hash.substr(13, 2), hash.substr(0, 2));
}

TEST(FilePasswordHash, LongerPasswordNeverMatchesShorterHash)
{
    std::string stored = filePassword::GetEncryptedText("abcdefgh", "Xy");
    EXPECT_NE(filePassword::GetEncryptedText("abcdefghi", stored.c_str()), stored);
}

TEST(FilePasswordChars, PrintableRange)
{
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {nullptr, 0}, {"", 0},       {"admin", 0},    {" ~", 0},      {"\tadmin", 1},
        {"ad\177", 1}, {"ad\037", 1}, {"caf\xc3\xa9", 1}, {"line\n", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsIncludeInvalidChar(c.text), c.expected) << (c.text ? c.text : "(null)");
}

class FilePasswordFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.write(kPasswordFile, std::string("admin:") + kAdminHash + "\n" +
                                      "no colon here\n" +
                                      "var:" + kVarHash + "\n" +
                                      "odd:Xy6BRO1hsVwb.:tail\n" +
                                      "admin:" + kSecondAdminHash + "\n" +
                                      "empty:\n" +
                                      "user:" + kUserHash);  // no final line feed
    }

    static constexpr const char* kAdminHash = "XyCBC8pPZ2D6o";        // "admin"
    static constexpr const char* kVarHash = "Xyoi5BGpLXKC6XyzZBOGEpn/FY";  // "abcdefghi"
    static constexpr const char* kSecondAdminHash = "Xyoqi0MKALo5.";  // "abc"
    static constexpr const char* kUserHash = "Xy6BRO1hsVwb.";         // ""
    TestRoot root;
};

TEST_F(FilePasswordFile, LoadsLinesInOrderSkippingThoseWithoutColon)
{
    filePassword file(kPasswordFile);
    const std::vector<filePassword::Entry> expected = {
        {"admin", kAdminHash}, {"var", kVarHash},  {"odd", "Xy6BRO1hsVwb.:tail"},
        {"admin", kSecondAdminHash}, {"empty", ""}, {"user", kUserHash},
    };
    EXPECT_EQ(file.entries(), expected);
    EXPECT_EQ(file.GetCount(), 6);
}

TEST_F(FilePasswordFile, MissingFileOrFolderIsEmpty)
{
    EXPECT_EQ(filePassword("/config/data/none").GetCount(), 0);
    EXPECT_EQ(filePassword("/").GetCount(), 0);
    EXPECT_EQ(filePassword(nullptr).GetCount(), 0);
    EXPECT_EQ(filePassword("/config/data/none").IsRightUserPassword("admin", "admin"), 0);
}

TEST_F(FilePasswordFile, ChecksAgainstFirstEntryOfAName)
{
    filePassword file(kPasswordFile);
    const struct {
        const char* user;
        const char* password;
        int expected;
    } cases[] = {
        {"admin", "admin", 1},     {"admin", "abc", 0},        {"admin", "Admin", 0},
        {"Admin", "admin", 0},     {"var", "abcdefghi", 1},    {"var", "abcdefgh", 0},
        {"var", "abcdefghij", 0},  {"user", "", 1},            {"user", nullptr, 1},
        {"user", "x", 0},          {"nobody", "admin", 0},     {nullptr, "admin", 0},
        {"empty", "", 0},          {"empty", "anything", 0},   {"odd", "", 0},
        {"admin", "admin\001junk", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(file.IsRightUserPassword(c.user, c.password), c.expected)
            << (c.user ? c.user : "(null)") << " / " << (c.password ? c.password : "(null)");
}

TEST_F(FilePasswordFile, CheckLogsNeitherPasswordNorHash)
{
    LogCapture log;
    filePassword file(kPasswordFile);
    file.IsRightUserPassword("admin", "admin");
    file.IsRightUserPassword("admin", "Wr0ngSecret");
    file.IsRightUserPassword("var", "abcdefghi");
    ASSERT_FALSE(log.lines.empty());
    EXPECT_TRUE(log.contains("admin"));
    const std::string secrets[] = {
        "Wr0ngSecret", "abcdefghi", kAdminHash, kVarHash, kVarHash + 13,
        filePassword::GetEncryptedText("Wr0ngSecret", kAdminHash),
    };
    for (const auto& line : log.lines)
        for (const std::string& secret : secrets)
            EXPECT_EQ(line.text.find(secret), std::string::npos) << line.text;
}

TEST_F(FilePasswordFile, SamePasswordAgainChangesNothing)
{
    filePassword file(kPasswordFile);
    EXPECT_EQ(file.SetUserPassword("admin", "admin"), 0);
    EXPECT_EQ(file.SetUserPassword("var", "abcdefghi"), 0);
    EXPECT_EQ(file.SaveToFile(kPasswordFile), 1);
    // Only the line without a colon is gone, and the missing last line feed
    // is written.
    EXPECT_EQ(root.read(kPasswordFile),
              std::string("admin:") + kAdminHash + "\nvar:" + kVarHash +
                  "\nodd:Xy6BRO1hsVwb.:tail\nadmin:" + kSecondAdminHash + "\nempty:\nuser:" +
                  kUserHash + "\n");
}

TEST_F(FilePasswordFile, NewPasswordKeepsStoredSaltAndSurvivesSave)
{
    filePassword file(kPasswordFile);
    EXPECT_EQ(file.SetUserPassword("admin", "n3w-Passw0rd"), 1);
    EXPECT_EQ(file.entries()[0].second.substr(0, 2), "Xy");
    EXPECT_EQ(file.entries()[0].second.size(), 26u);
    // The second entry of the same name is left alone.
    EXPECT_EQ(file.entries()[3].second, kSecondAdminHash);
    ASSERT_EQ(file.SaveToFile(kPasswordFile), 1);

    filePassword reread(kPasswordFile);
    EXPECT_EQ(reread.IsRightUserPassword("admin", "n3w-Passw0rd"), 1);
    EXPECT_EQ(reread.IsRightUserPassword("admin", "admin"), 0);
    EXPECT_EQ(reread.GetCount(), 6);
}

TEST_F(FilePasswordFile, UnknownUserIsAppendedWithFreshSalt)
{
    filePassword file(kPasswordFile);
    EXPECT_EQ(file.SetUserPassword("guest", "guest"), 1);
    ASSERT_EQ(file.GetCount(), 7);
    EXPECT_EQ(file.entries().back().first, "guest");
    EXPECT_EQ(file.IsRightUserPassword("guest", "guest"), 1);
}

TEST_F(FilePasswordFile, NamesTheFileCannotHoldAreRefused)
{
    filePassword file(kPasswordFile);
    for (const char* name : {static_cast<const char*>(nullptr), "", "a:b", "a\nb", "a\rb", "\tx"})
        EXPECT_EQ(file.SetUserPassword(name, "pw"), -1) << (name ? name : "(null)");
    EXPECT_EQ(file.GetCount(), 6);
}

TEST_F(FilePasswordFile, RemoveTakesFirstOfAName)
{
    filePassword file(kPasswordFile);
    EXPECT_EQ(file.RemoveUser("admin"), 1);
    EXPECT_EQ(file.IsRightUserPassword("admin", "abc"), 1);
    EXPECT_EQ(file.RemoveUser("admin"), 1);
    EXPECT_EQ(file.RemoveUser("admin"), 0);
    EXPECT_EQ(file.RemoveUser(nullptr), 0);
    EXPECT_EQ(file.GetCount(), 4);
    // Removing does not write.
    EXPECT_EQ(filePassword(kPasswordFile).GetCount(), 6);
}

TEST_F(FilePasswordFile, FailedSaveKeepsOldFileAndReportsIt)
{
    filePassword file(kPasswordFile);
    file.SetUserPassword("admin", "changed");
    // A folder where the file should go: the rename cannot replace it.
    root.write("/config/data/blocked/keep", "x");
    EXPECT_EQ(file.SaveToFile("/config/data/blocked"), 0);
    EXPECT_EQ(file.SaveToFile("/config/missing/htpasswd"), 0);
    EXPECT_EQ(file.SaveToFile(nullptr), 0);
    EXPECT_EQ(filePassword(kPasswordFile).IsRightUserPassword("admin", "admin"), 1);
}

TEST_F(FilePasswordFile, SaveLeavesNoTemporaryFiles)
{
    filePassword file(kPasswordFile);
    file.SetUserPassword("user", "other");
    ASSERT_EQ(file.SaveToFile(kPasswordFile), 1);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root.real("/config/data"))) {
        EXPECT_EQ(entry.path().filename(), "htpasswd");
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST(RecordPasswordLog, NotesOnlyThatItHappened)
{
    TestRoot root;
    root.write("/config/.keep", "");
    RecordPasswordLog("Zq9\001Kv7", "XyCBC8pPZ2D6o", "typed", "login");
    std::string log = root.read("/config/webrecord.log");
    EXPECT_NE(log.find("login"), std::string::npos);
    for (const char* secret : {"Zq9", "Kv7", "90 113", "XyCBC8pPZ2D6o", "typed"})
        EXPECT_EQ(log.find(secret), std::string::npos) << secret;
}

TEST(RecordPasswordLog, IgnoresPrintableOrMissingTexts)
{
    TestRoot root;
    root.write("/config/.keep", "");
    RecordPasswordLog("printable", "a", "b", "c");
    RecordPasswordLog(nullptr, "a", "b", "c");
    RecordPasswordLog("x\001", nullptr, "b", "c");
    RecordPasswordLog("x\001", "a", nullptr, "c");
    RecordPasswordLog("x\001", "a", "b", nullptr);
    EXPECT_FALSE(root.exists("/config/webrecord.log"));
}

TEST(RecordPasswordLog, StopsGrowingAtItsCap)
{
    TestRoot root;
    root.write("/config/webrecord.log", std::string(64 * 1024, 'x'));
    RecordPasswordLog("x\001", "a", "b", "label");
    EXPECT_EQ(root.read("/config/webrecord.log").size(), 64u * 1024u);
}

}  // namespace
