// Configuration archives: which entries may be unpacked, what a hostile
// archive is refused for, and that a replace either happens whole or not.
#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

#include "maintenance/ConfigArchive.h"
#include "platform/archive.h"
#include "platform/password.h"
#include "tests/support/testroot.h"

using namespace ConfigArchive;

namespace {

struct Entry {
    Entry(std::string n, mode_t t = AE_IFREG, std::string c = "x=1\n", std::string l = "",
          bool h = false)
        : name(std::move(n)), type(t), content(std::move(c)), link(std::move(l)), hardlink(h)
    {
    }
    std::string name;
    mode_t type;
    std::string content;
    std::string link;  // symlink target
    bool hardlink;     // link names a hard link target
};

// Writes a tar (gzip-compressed when asked) of the entries.
void MakeTar(const std::string& path, const std::vector<Entry>& entries, bool gzip = false)
{
    archive* a = archive_write_new();
    archive_write_set_format_pax_restricted(a);
    if (gzip)
        archive_write_add_filter_gzip(a);
    archive_write_open_filename(a, path.c_str());
    for (const Entry& e : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.name.c_str());
        archive_entry_set_filetype(entry, e.type);
        archive_entry_set_perm(entry, 0644);
        if (e.hardlink)
            archive_entry_set_hardlink(entry, e.link.c_str());
        else if (!e.link.empty())
            archive_entry_set_symlink(entry, e.link.c_str());
        if (e.type == AE_IFREG && !e.hardlink)
            archive_entry_set_size(entry, static_cast<la_int64_t>(e.content.size()));
        archive_write_header(a, entry);
        if (e.type == AE_IFREG && !e.hardlink)
            archive_write_data(a, e.content.data(), e.content.size());
        archive_entry_free(entry);
    }
    archive_write_close(a);
    archive_write_free(a);
}

#define CHECK_LAYOUT(name, layout) EXPECT_EQ(EntryLayout(name), Layout::layout) << name

TEST(ConfigArchive, EntryNames)
{
    CHECK_LAYOUT("factory/", Factory);
    CHECK_LAYOUT("factory/system/config.cfg", Factory);
    CHECK_LAYOUT("phone/", PhoneFactory);
    CHECK_LAYOUT("phone/factory/data/htpasswd", PhoneFactory);
    CHECK_LAYOUT("phone/other/x", None);
    CHECK_LAYOUT("/factory/system/config.cfg", None);
    CHECK_LAYOUT("factory/../../etc/passwd", None);
    CHECK_LAYOUT("factory/./x", None);
    CHECK_LAYOUT("./factory/x", None);
    CHECK_LAYOUT("factory//x", None);
    CHECK_LAYOUT("factory/a\\..\\b", None);
    CHECK_LAYOUT("factory/line\nbreak", None);
    CHECK_LAYOUT("config/system/config.cfg", None);
    CHECK_LAYOUT("", None);
    CHECK_LAYOUT("factory/" + std::string(300, 'a'), None);
}

TEST(ConfigArchive, HostileArchivesAreRefused)
{
    TestRoot root;
    const std::string tar = root.real("/tmp.tar");
    const Entry ok{"factory/system/config.cfg"};
    const struct {
        const char* what;
        std::vector<Entry> entries;
    } cases[] = {
        {"parent part", {ok, {"factory/../../evil"}}},
        {"absolute", {{"/factory/system/config.cfg"}}},
        {"symlink", {ok, {"factory/data/x", AE_IFLNK, "", "/etc/passwd"}}},
        {"hard link", {ok, {"factory/data/h", AE_IFREG, "", "factory/system/config.cfg", true}}},
        {"device", {ok, {"factory/data/null", AE_IFCHR, ""}}},
        {"fifo", {ok, {"factory/data/pipe", AE_IFIFO, ""}}},
        {"no top folder", {{"system/config.cfg"}}},
        {"only phone/", {{"phone/", AE_IFDIR, ""}}},
        {"both layouts", {ok, {"phone/factory/system/config.cfg"}}},
        {"top is a file", {{"factory"}}},
        {"empty", {}},
    };
    for (const auto& c : cases) {
        MakeTar(tar, c.entries);
        std::string reason;
        EXPECT_EQ(CheckArchive(tar, reason), Layout::None) << c.what;
        EXPECT_FALSE(reason.empty()) << c.what;
    }
    root.write("/junk.tar", std::string(5000, 'j'));
    std::string reason;
    EXPECT_EQ(CheckArchive(root.real("/junk.tar"), reason), Layout::None);
    // A size claim beyond the unpacked limit, without the bytes behind it.
    MakeTar(tar, {{"factory/big", AE_IFREG, std::string(1024, 'b')}});
    std::string bytes = root.read("/tmp.tar");
    EXPECT_EQ(CheckArchive(tar, reason), Layout::Factory);
    root.write("/cut.tar", bytes.substr(0, 700));
    EXPECT_EQ(CheckArchive(root.real("/cut.tar"), reason), Layout::None) << "truncated";
}

TEST(ConfigArchive, BothLayoutsUnpackWithoutTheirTop)
{
    TestRoot root;
    const std::string tar = root.real("/in.tar");
    for (bool old : {false, true}) {
        std::string top = old ? "phone/factory/" : "factory/";
        MakeTar(tar, {{old ? "phone/" : "factory/", AE_IFDIR, ""}, {top + "system/config.cfg", AE_IFREG, "a=1\n"},
                      {top + "htpasswd", AE_IFREG, "admin:x\n"}},
                old);
        std::string reason;
        Layout layout = CheckArchive(tar, reason);
        ASSERT_EQ(layout, old ? Layout::PhoneFactory : Layout::Factory) << reason;
        removeTree(root.real("/out"));
        ASSERT_TRUE(ExtractArchive(tar, layout, root.real("/out")));
        EXPECT_EQ(root.read("/out/system/config.cfg"), "a=1\n");
        EXPECT_EQ(root.read("/out/htpasswd"), "admin:x\n");
    }
}

TEST(ConfigArchive, OverlayReplacesWholeOrNothing)
{
    TestRoot root;
    root.write("/config/system/config.cfg", "old\n");
    root.write("/config/data/keep.xml", "keep\n");
    root.write("/staged/system/config.cfg", "new\n");
    root.write("/staged/data/new.xml", "added\n");
    // A file where the target has a folder: nothing may change.
    root.write("/staged/data/keep.xml/inner", "x");
    EXPECT_FALSE(OverlayTree(root.real("/staged"), root.real("/config")));
    EXPECT_EQ(root.read("/config/system/config.cfg"), "old\n");
    EXPECT_FALSE(root.exists("/config/data/new.xml"));
    removeTree(root.real("/staged/data/keep.xml"));
    ASSERT_TRUE(OverlayTree(root.real("/staged"), root.real("/config")));
    EXPECT_EQ(root.read("/config/system/config.cfg"), "new\n");
    EXPECT_EQ(root.read("/config/data/new.xml"), "added\n");
    EXPECT_EQ(root.read("/config/data/keep.xml"), "keep\n");
}

TEST(ConfigArchive, ExportRoundTripKeepsModesAndLeavesLocksOut)
{
    TestRoot root;
    root.write("/tmp/factory/system/config.cfg", "a=1\n");
    root.write("/tmp/factory/system/config.cfg.lock", "");
    chmod(root.real("/tmp/factory/system/config.cfg").c_str(), 0600);
    ASSERT_TRUE(WriteTar(root.real("/out.tar"), root.real("/tmp"), "factory"));
    std::string reason;
    ASSERT_EQ(CheckArchive(root.real("/out.tar"), reason), Layout::Factory);
    ASSERT_TRUE(ExtractArchive(root.real("/out.tar"), Layout::Factory, root.real("/back")));
    EXPECT_EQ(root.read("/back/system/config.cfg"), "a=1\n");
    EXPECT_FALSE(root.exists("/back/system/config.cfg.lock"));
    struct stat info;
    ASSERT_EQ(stat(root.real("/back/system/config.cfg").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// ---- Passwords at rest -----------------------------------------------------

TEST(Passwords, EncryptionIsReversibleAndRefusesGarbage)
{
    for (const char* plain : {"1001", "", "p\xC3\xA4ss word:with=signs", "0123456789abcdef"}) {
        char sealed[256];
        char opened[256];
        ASSERT_GT(pw_data_encrypt(plain, sealed, sizeof sealed), 0) << plain;
        EXPECT_EQ(std::string(sealed).find(plain[0] ? plain : "\x01"), std::string::npos);
        ASSERT_GE(pw_data_decrypt(sealed, opened, sizeof opened), 0) << plain;
        EXPECT_STREQ(opened, plain);
    }
    char out[256];
    for (const char* text : {"1001", "ENC1:", "ENC1:!!!!", "ENC1:AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA="})
        EXPECT_EQ(pw_data_decrypt(text, out, sizeof out), -1) << text;
    char tiny[8];
    EXPECT_EQ(pw_data_encrypt("1001", tiny, sizeof tiny), -1);
}

TEST(Passwords, CleaningBlanksSecretsOfTheCopyOnly)
{
    TestRoot root;
    const std::string settings =
        "AccountPassword.0=1001\nAccountUserName.0=1001\npassword=1\nExportCFGClearPWD=1\n"
        "AutoProvisionAESKey16=abcdefabcdefabcd\nTR069ServerPassword=acs\n";
    root.write("/config/system/config.cfg", settings);
    root.write("/tmp/factory/system/config.cfg", settings);
    root.write("/tmp/factory/user/voip/sipAccount0.cfg", "[account]\nAuthPassword = s3cret\nUser=1\n");
    root.write("/tmp/factory/data/htpasswd", "admin:hash\n");
    ASSERT_EQ(configParser_CleanPassword("/tmp/factory/", "/config/"), 0);
    EXPECT_EQ(root.read("/tmp/factory/system/config.cfg"),
              "AccountPassword.0=\nAccountUserName.0=1001\npassword=1\nExportCFGClearPWD=1\n"
              "AutoProvisionAESKey16=\nTR069ServerPassword=\n");
    EXPECT_EQ(root.read("/tmp/factory/user/voip/sipAccount0.cfg"), "[account]\nAuthPassword =\nUser=1\n");
    EXPECT_FALSE(root.exists("/tmp/factory/data/htpasswd"));
    EXPECT_EQ(root.read("/config/system/config.cfg"), settings);
    EXPECT_EQ(configParser_CleanPassword("/config/system", "/config/"), -1);
    EXPECT_EQ(root.read("/config/system/config.cfg"), settings);
}

}  // namespace
