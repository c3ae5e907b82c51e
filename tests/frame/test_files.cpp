#include <algorithm>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "frame/helpers.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

namespace {

long long OwnSize(const TestRoot& root, const std::string& phonePath)
{
    struct stat st;
    return stat(root.real(phonePath).c_str(), &st) == 0 ? st.st_size : -1;
}

// ---- Sizes ---------------------------------------------------------------------

TEST(Sizes, FileAndFolder)
{
    TestRoot root;
    root.write("/data/a/one.bin", std::string(300, 'x'));
    root.write("/data/a/sub/two.bin", std::string(200, 'y'));
    EXPECT_EQ(GetFileSize("/data/a/one.bin"), 300);
    EXPECT_EQ(GetFileSize("/data/a/none"), -1);
    EXPECT_EQ(GetDirSize("/data/a/one.bin"), 300);
    EXPECT_EQ(GetDirSize("/data/a"), OwnSize(root, "/data/a") + OwnSize(root, "/data/a/sub") + 500);

    LogCapture log;
    EXPECT_EQ(GetDirSize("/data/none"), 0);
    EXPECT_TRUE(log.contains("error info"));
    EXPECT_EQ(GetDirSize(("/data/" + std::string(5000, 'n')).c_str()), 0);
    EXPECT_TRUE(log.contains("filename length > PATH_MAX"));
}

TEST(Sizes, LinksAreNotFollowed)
{
    TestRoot root;
    root.write("/data/loop/file", "12345");
    ASSERT_EQ(symlink(root.real("/data/loop").c_str(), root.real("/data/loop/self").c_str()), 0);
    long long size = GetDirSize("/data/loop");
    EXPECT_GT(size, 5);
    EXPECT_LT(size, 1 << 20);
}

TEST(Sizes, PartitionFreeSpace)
{
    TestRoot root;
    root.write("/config/x", "");
    EXPECT_GT(GetPartionFreeSize("/config/"), 0);
    EXPECT_EQ(GetPartionFreeSize("/no/such/folder"), 0);
}

// ---- Upload checks -----------------------------------------------------------

TEST(CheckUpload, NeededSizeCountsTheFolderUnlessContentOnly)
{
    TestRoot root;
    root.write("/data/userdata/sound/old.wav", std::string(500, 'w'));
    long long folder = GetDirSize("/data/userdata/sound/");
    ASSERT_EQ(folder, OwnSize(root, "/data/userdata/sound") + 500);

    FakeRequest request;
    request.setContentLength(1000);
    char error[kUploadErrorSize] = "";
    LogCapture log;
    // 1000 + 1 + the folder: exactly the limit passes, one byte less does not.
    long needed = static_cast<long>(1001 + folder);
    EXPECT_EQ(CheckUploadFile(&request, "/data/", "/data/userdata/sound/", error, false, needed, 0), 1);
    EXPECT_TRUE(log.contains("TotleSize = " + std::to_string(needed)));
    EXPECT_EQ(CheckUploadFile(&request, "/data/", "/data/userdata/sound/", error, false, needed - 1, 0),
              0);
    EXPECT_STREQ(error, "No space left!");

    // Content only: the folder does not count.
    EXPECT_EQ(CheckUploadFile(&request, "/data/", "/data/userdata/sound/", error, true, 1000, 0), 1);
    EXPECT_EQ(CheckUploadFile(&request, "/data/", "/data/userdata/sound/", error, true, 999, 0), 0);

}

TEST(CheckUpload, PartitionKeepsTheLeastFreeRoom)
{
    TestRoot root;
    root.write("/data/userdata/sound/old.wav", "");
    long long freeSize = GetPartionFreeSize("/data/");
    ASSERT_GT(freeSize, 2000);
    if (freeSize > LONG_MAX / 2)
        GTEST_SKIP() << "free space beyond a long";
    FakeRequest request;
    request.setContentLength(1000);
    char error[kUploadErrorSize] = "";
    const long kPlenty = LONG_MAX;
    // Wide margins: other processes change the free space meanwhile.
    long quarter = static_cast<long>(freeSize / 4);
    EXPECT_EQ(CheckUploadFile(&request, "/data/", "/data/userdata/sound/", error, true, kPlenty,
                              3 * quarter),
              1);
    EXPECT_EQ(CheckUploadFile(&request, "/data/", "/data/userdata/sound/", error, true, kPlenty,
                              5 * quarter),
              0);
    EXPECT_STREQ(error, "No space left!");
}

TEST(CheckUpload, RefusesMissingFolderAndNulls)
{
    TestRoot root;
    FakeRequest request;
    request.setContentLength(10);
    char error[kUploadErrorSize] = "";
    EXPECT_EQ(CheckUploadFile(&request, "/data/", "/data/none/", error, true, 100, 0), 0);
    EXPECT_STREQ(error, "Error:The destination folder does not exist!");
    EXPECT_EQ(strlen(error) + 1, kUploadErrorSize);
    EXPECT_EQ(CheckUploadFile(nullptr, "/data/", "/data/", error, true, 100, 0), 0);
    EXPECT_EQ(CheckUploadFile(&request, "/data/", "/data/", nullptr, true, 100, 0), 0);
}

TEST(CheckConfigFree, ShowsNoticeWhenFull)
{
    TestRoot root;
    root.write("/config/data/big.xml", std::string(100, 'b'));
    FakeRequest small;
    small.setContentLength(10);
    FakeResponse accepted;
    EXPECT_EQ(CheckConfigFreeSize(&small, &accepted, "/config/data/big.xml", false), 1);
    EXPECT_FALSE(accepted.answered());

    long long freeSize = GetPartionFreeSize("/config/");
    if (freeSize > LONG_MAX / 2)
        GTEST_SKIP() << "free space beyond a long";
    FakeRequest huge;
    huge.setContentLength(static_cast<long>(2 * freeSize));
    FakeResponse refused;
    EXPECT_EQ(CheckConfigFreeSize(&huge, &refused, "/config/data", true), 0);
    EXPECT_EQ(refused.var("noticeLabel"), "setTimeout$notice$Error:No space left!");
}

// ---- Upload names and moves --------------------------------------------------

TEST(UploadName, LastComponent)
{
    const struct {
        const char* path;
        const char* name;
    } kCases[] = {
        {"C:\\Users\\me\\ring.wav", "ring.wav"}, {"/tmp/a/b.bin", "b.bin"}, {"plain", "plain"},
        {"a/b\\c", "c"},                         {"a\\b/c", "c"},           {"dir/", ""},
        {"../../etc/passwd", "passwd"},
    };
    for (const auto& c : kCases) {
        char name[kFileNameSize] = "junk";
        EXPECT_EQ(GetSimpleUpdateFileName(c.path, name), 1) << c.path;
        EXPECT_STREQ(name, c.name) << c.path;
    }
    char name[kFileNameSize];
    EXPECT_EQ(GetSimpleUpdateFileName(nullptr, name), 0);

    std::string longName = "/x/" + std::string(400, 'n');
    GetSimpleUpdateFileName(longName.c_str(), name);
    EXPECT_EQ(strlen(name), kFileNameSize - 1);
}

TEST(UploadMove, ReplacesTheTarget)
{
    TestRoot root;
    root.write("/tmp/uploadAb12Cd", "new");
    root.write("/config/data/file.xml", "old");
    EXPECT_EQ(RenameUploadFile("/tmp/uploadAb12Cd", "/config/data/file.xml"), 1);
    EXPECT_EQ(root.read("/config/data/file.xml"), "new");
    EXPECT_FALSE(root.exists("/tmp/uploadAb12Cd"));

    EXPECT_EQ(RenameUploadFile("/tmp/none", "/config/data/file.xml"), 0);
    EXPECT_EQ(root.read("/config/data/file.xml"), "new");
    EXPECT_EQ(RenameUploadFile(nullptr, "/config/data/file.xml"), 0);
}

// ---- Images --------------------------------------------------------------------

TEST(ImageType, BySignature)
{
    const struct {
        std::string bytes;
        int type;
    } kCases[] = {
        {"BM\x36\x00", 1},
        {std::string("\xFF\xD8\xFF\xE0", 4), 2},
        {std::string("\x89PNG\r\n\x1A\n\0\0", 10), 3},
        {std::string("\x89PNG\r\n", 6), 0},
        {"GIF89a", 0},
        {"B", 0},
        {"", 0},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(GetImageTypeByData(c.bytes.data(), c.bytes.size()), c.type) << c.bytes;
    EXPECT_EQ(GetImageTypeByData(nullptr, 4), 0);
}

class PhotoScale : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The stand-in script records its arguments and answers 1.
        root.write("/phone/scripts/imageScale.sh",
                   "#!/bin/sh\n"
                   "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$PHONEWEB_ROOT/tmp/args\"\n"
                   "echo 1 > \"$PHONEWEB_ROOT/tmp/imageScale.out\"\n");
        chmod(root.real("/phone/scripts/imageScale.sh").c_str(), 0755);
    }
    TestRoot root;
};

TEST_F(PhotoScale, RunsTheScriptWithoutAShell)
{
    root.write("/tmp/a;touch x.jpg", "jpeg");
    std::string source = "/tmp/a;touch x.jpg";
    std::string target = "/data/userdata/contact-image/a.jpg";
    EXPECT_EQ(ProcessUserPhoto(source, target, 110, 110, 5000000, true), 1);
    EXPECT_EQ(root.read("/tmp/args"),
              root.real(source) + "\n110\n110\n" + root.real(target) + "\n5000000\n");
    EXPECT_FALSE(root.exists("/tmp/a;touch x.jpg"));
    EXPECT_FALSE(root.exists("/tmp/x.jpg"));
}

TEST_F(PhotoScale, StaleResultDoesNotAnswer)
{
    root.write("/phone/scripts/imageScale.sh", "#!/bin/sh\nexit 1\n");
    chmod(root.real("/phone/scripts/imageScale.sh").c_str(), 0755);
    root.write("/tmp/imageScale.out", "1\n");
    root.write("/tmp/p.png", "png");
    std::string source = "/tmp/p.png";
    std::string target = "/data/userdata/wallpaper/p.png";
    EXPECT_EQ(ProcessUserPhoto(source, target, 480, 272, 5242280, false), 0);
    EXPECT_TRUE(root.exists("/tmp/p.png"));
}

// ---- File listing ------------------------------------------------------------

Texts DirectoryOrder(const std::string& realFolder)
{
    Texts names;
    DIR* dir = opendir(realFolder.c_str());
    while (struct dirent* entry = dir ? readdir(dir) : nullptr)
        names.push_back(entry->d_name);
    if (dir)
        closedir(dir);
    return names;
}

TEST(FindFiles, ExtensionPathAndOrder)
{
    TestRoot root;
    for (const char* name : {"b.wav", "A.WAV", "c.Wav", "notes.txt", "wav", "x.wav.bak"})
        root.write(std::string("/data/userdata/sound/") + name, "");
    root.write("/data/userdata/sound/.svn/entries", "");
    root.write("/data/userdata/sound/folder.wav/inner", "");

    std::list<std::string> found;
    EXPECT_EQ(ReadFiles::FindFiles(&found, "/data/userdata/sound", ".wav", false, true), 1);
    // Directory order, whatever it is.
    Texts expected;
    for (const std::string& name : DirectoryOrder(root.real("/data/userdata/sound"))) {
        if (name == "b.wav" || name == "A.WAV" || name == "c.Wav" || name == "folder.wav")
            expected.push_back(name);
    }
    EXPECT_EQ(Texts(found.begin(), found.end()), expected);

    std::list<std::string> bare;
    ReadFiles::FindFiles(&bare, "/data/userdata/sound/", ".WAV", true, false);
    EXPECT_EQ(bare.size(), 4u);
    EXPECT_NE(std::find(bare.begin(), bare.end(), "/data/userdata/sound/A"), bare.end());
    EXPECT_NE(std::find(bare.begin(), bare.end(), "/data/userdata/sound/c"), bare.end());

    // Appends to what the list holds.
    std::list<std::string> appended = {"first"};
    ReadFiles::FindFiles(&appended, "/data/userdata/sound", ".txt", false, false);
    EXPECT_EQ(Texts(appended.begin(), appended.end()), (Texts{"first", "notes"}));

    EXPECT_EQ(ReadFiles::FindFiles(&found, "/data/none", ".wav", false, true), 0);
    EXPECT_EQ(ReadFiles::FindFiles(nullptr, "/data/userdata/sound", ".wav", false, true), 0);
}

}  // namespace
