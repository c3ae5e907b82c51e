#include "platform/registry.h"

#include "tests/support/forkchild.h"
#include "tests/support/testroot.h"

#include <gtest/gtest.h>

namespace {

const char kFile[] = "/config/user/test.cfg";

std::string getString(_HREGISTRY_* handle, const char* key)
{
    return registryGetString(handle, key, "<none>");
}

}  // namespace

TEST(Registry, OpenNeedsAnExistingFolder)
{
    TestRoot root;
    EXPECT_EQ(registryOpen(nullptr, "a"), nullptr);
    EXPECT_EQ(registryOpen(kFile, nullptr), nullptr);
    EXPECT_EQ(registryOpen("/no/such/folder/x.ini", "a"), nullptr);
    root.write("/config/user/other", "");
    _HREGISTRY_* handle = registryOpen(kFile, "a");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(getString(handle, "k"), "<none>");
    EXPECT_FALSE(root.exists(kFile));  // appears on flush
    EXPECT_EQ(registryFlush(handle), 1);
    EXPECT_TRUE(root.exists(kFile));
}

TEST(Registry, HandlesArePerFileAndSection)
{
    TestRoot root;
    root.write(kFile, "[a]\nk=1\n[b]\nk=2\n");
    _HREGISTRY_* a = registryOpen(kFile, "a");
    _HREGISTRY_* b = registryOpen(kFile, "b");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(registryOpen(kFile, "a"), a);
    EXPECT_STREQ(regHANDLE2Section(a), "a");
    EXPECT_STREQ(regHANDLE2Section(b), "b");
    EXPECT_STREQ(regHANDLE2Section(nullptr), "");
    EXPECT_EQ(getString(a, "k"), "1");
    EXPECT_EQ(getString(b, "k"), "2");
}

TEST(Registry, OtherSectionsKeysAndCommentsSurviveAWrite)
{
    TestRoot root;
    root.write(kFile,
               "; the account file\n[account]\nEnable = 1\n; the user name\nUserName = 1001\n"
               "[sipserver1]\nserver = pbx.example\nport = 5062\n");
    _HREGISTRY_* handle = registryOpen(kFile, "account");
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(registrySetString(handle, "UserName", "2002", 0), 1);
    ASSERT_EQ(registrySetInt(handle, "Expire", 3600), 1);
    ASSERT_EQ(registryFlush(handle), 1);
    std::string text = root.read(kFile);
    const char* expected[] = {"; the account file", "[account]", "Enable = 1", "; the user name",
                              "UserName = 2002", "Expire = 3600", "[sipserver1]",
                              "server = pbx.example", "port = 5062"};
    size_t last = 0;
    for (const char* line : expected) {
        size_t at = text.find(line);
        ASSERT_NE(at, std::string::npos) << line << " in\n" << text;
        EXPECT_GE(at, last) << line << " out of order in\n" << text;
        last = at;
    }
}

TEST(Registry, KeyOrderIsInsertionOrder)
{
    TestRoot root;
    root.write("/config/user/keep", "");
    _HREGISTRY_* handle = registryOpen(kFile, "s");
    for (const char* key : {"zeta", "alpha", "mid", "Beta"})
        ASSERT_EQ(registrySetString(handle, key, "v", 0), 1);
    ASSERT_EQ(registryFlush(handle), 1);
    EXPECT_EQ(root.read(kFile), "[s]\nzeta = v\nalpha = v\nmid = v\nBeta = v\n");
}

TEST(Registry, GetIntAndDefaults)
{
    TestRoot root;
    root.write(kFile, "[s]\nn=12\nneg=-3\nword=abc\nempty=\nspaced= 7 \n");
    _HREGISTRY_* handle = registryOpen(kFile, "s");
    struct Case {
        const char* key;
        int expected;
    } cases[] = {{"n", 12}, {"neg", -3}, {"word", 99}, {"empty", 99}, {"spaced", 7}, {"missing", 99}};
    for (const Case& c : cases)
        EXPECT_EQ(registryGetInt(handle, c.key, 99), c.expected) << c.key;
    EXPECT_EQ(registryGetInt(nullptr, "n", 5), 5);
    EXPECT_EQ(registryGetString(handle, "missing", nullptr), "");
    EXPECT_EQ(etlGetProfileInt(kFile, "s", "n", 0), 12);
    EXPECT_EQ(etlGetProfileString(kFile, "s", "word", ""), "abc");
    EXPECT_EQ(etlGetProfileString(kFile, "nosection", "word", "d"), "d");
    EXPECT_EQ(etlGetProfileString("/missing/folder/f.ini", "s", "n", "d"), "d");
    EXPECT_EQ(etlGetProfileInt(nullptr, "s", "n", 4), 4);
}

TEST(Registry, RefusesTextThatWouldBreakTheFile)
{
    TestRoot root;
    root.write(kFile, "[s]\nk=1\n");
    _HREGISTRY_* handle = registryOpen(kFile, "s");
    EXPECT_EQ(registrySetString(handle, "k", "x\n[evil]\nk=2", 0), 0);
    EXPECT_EQ(registrySetString(handle, "k", "x\rk=2", 0), 0);
    EXPECT_EQ(registrySetString(handle, "a=b", "1", 0), 0);
    EXPECT_EQ(registrySetString(handle, "[x", "1", 0), 0);
    EXPECT_EQ(registrySetString(handle, "", "1", 0), 0);
    EXPECT_EQ(registrySetString(handle, nullptr, "1", 0), 0);
    EXPECT_EQ(registrySetString(handle, "k", nullptr, 0), 0);
    EXPECT_EQ(registrySetString(nullptr, "k", "1", 0), 0);
    EXPECT_EQ(registryOpen(kFile, "bad]section"), nullptr);
    EXPECT_EQ(registryOpen(kFile, "bad\nsection"), nullptr);
    EXPECT_EQ(etlRegFlushAllFile(), 1);
    EXPECT_EQ(root.read(kFile), "[s]\nk=1\n");  // nothing was changed, nothing written
}

TEST(Registry, ReopenSeesAnotherWriteUnlessChangesAreUnsaved)
{
    TestRoot root;
    root.write(kFile, "[s]\nk=1\n");
    _HREGISTRY_* handle = registryOpen(kFile, "s");
    EXPECT_EQ(getString(handle, "k"), "1");
    pid_t child = forkChild([] {
        _HREGISTRY_* h = registryOpen(kFile, "s");
        return registrySetString(h, "k", "2", 0) && registryFlush(h) ? 0 : 1;
    });
    ASSERT_EQ(waitChild(child), 0);
    EXPECT_EQ(registryOpen(kFile, "s"), handle);
    EXPECT_EQ(getString(handle, "k"), "2");

    ASSERT_EQ(registrySetString(handle, "mine", "x", 0), 1);
    root.write(kFile, "[s]\nk=3\n");
    registryOpen(kFile, "s");
    EXPECT_EQ(getString(handle, "k"), "2");  // own unsaved change kept
    EXPECT_EQ(getString(handle, "mine"), "x");
}

TEST(Registry, FlushAllWritesEveryUnsavedFile)
{
    TestRoot root;
    root.write("/config/a.ini", "[s]\nk=1\n");
    root.write("/config/b.ini", "[t]\nk=1\n");
    root.write("/config/c.ini", "; untouched\n[u]\nk=1\n");
    registrySetString(registryOpen("/config/a.ini", "s"), "k", "2", 0);
    registrySetInt(registryOpen("/config/b.ini", "new"), "n", 5);
    registryOpen("/config/c.ini", "u");
    EXPECT_EQ(root.read("/config/a.ini"), "[s]\nk=1\n");  // not yet written
    EXPECT_EQ(etlRegFlushAllFile(), 1);
    EXPECT_EQ(etlGetProfileString("/config/a.ini", "s", "k", ""), "2");
    EXPECT_EQ(root.read("/config/a.ini"), "[s]\nk = 2\n");
    EXPECT_EQ(root.read("/config/b.ini"), "[t]\nk = 1\n\n\n[new]\nn = 5\n");
    EXPECT_EQ(root.read("/config/c.ini"), "; untouched\n[u]\nk=1\n");
}

TEST(Registry, FailedFlushKeepsFileAndChanges)
{
    TestRoot root;
    root.write(kFile, "[s]\nk=1\n");
    _HREGISTRY_* handle = registryOpen(kFile, "s");
    ASSERT_EQ(registrySetString(handle, "k", "2", 0), 1);
    registryFailNextWrites(1);
    EXPECT_EQ(registryFlush(handle), 0);
    EXPECT_EQ(root.read(kFile), "[s]\nk=1\n");
    registryFailNextWrites(-1);
    EXPECT_EQ(etlRegFlushAllFile(), 0);
    EXPECT_EQ(root.read(kFile), "[s]\nk=1\n");
    registryFailNextWrites(0);
    EXPECT_EQ(etlRegFlushAllFile(), 1);  // the change was still pending
    EXPECT_EQ(etlGetProfileString(kFile, "s", "k", ""), "2");
}

TEST(Registry, UnreadableFileIsNotReplaced)
{
    TestRoot root;
    root.write("/config/dir.ini/inside", "x");  // a folder where the file should be
    EXPECT_EQ(registryOpen("/config/dir.ini", "s"), nullptr);
    EXPECT_EQ(root.read("/config/dir.ini/inside"), "x");
}
