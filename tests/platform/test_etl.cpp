#include "platform/etl.h"

#include "tests/support/forkchild.h"
#include "tests/support/testroot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/file.h>

using ETL_BaseHelper::chMutex;
using ETL_MsgQueueHelper::chNamedObjectManager;

namespace {

// Whether another process could take the global named-object lock now.
bool globalLockFree(const TestRoot& root)
{
    std::string path = root.real("/tmp/phonelock/NamedObjectGlobal.lock");
    pid_t child = forkChild([&] {
        int fd = open(path.c_str(), O_RDWR);
        return fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1;
    });
    return waitChild(child) == 0;
}

}  // namespace

TEST(ChMutex, ExcludesAnotherProcess)
{
    TestRoot root;
    chMutex mine;
    ASSERT_TRUE(mine.OpenMutex("DsskeyFile"));
    ASSERT_TRUE(mine.Lock());
    SignalPipe report;
    pid_t child = forkChild([&] {
        chMutex theirs;
        if (!theirs.OpenMutex("DsskeyFile"))
            return 1;
        report.send(theirs.Lock(50) ? 'y' : 'n');  // held by the parent
        report.send(theirs.Lock(-1) ? 'y' : 'n');  // waits for the unlock
        theirs.Unlock();
        return 0;
    });
    EXPECT_EQ(report.receive(), 'n');
    EXPECT_TRUE(mine.Unlock());
    EXPECT_EQ(report.receive(), 'y');
    EXPECT_EQ(waitChild(child), 0);
    EXPECT_TRUE(mine.Lock(0));
}

TEST(ChMutex, MisuseIsRefused)
{
    TestRoot root;
    chMutex mutex;
    EXPECT_FALSE(mutex.Lock(0));  // not open
    EXPECT_FALSE(mutex.Unlock());
    for (const char* bad : {"", "../escape", "a/b", ".hidden"})
        EXPECT_FALSE(mutex.OpenMutex(bad)) << bad;
    EXPECT_FALSE(mutex.OpenMutex(nullptr));
    ASSERT_TRUE(mutex.OpenMutex("DsskeyFile"));
    EXPECT_FALSE(mutex.Unlock());  // not locked
    EXPECT_TRUE(mutex.Lock(0));
    EXPECT_TRUE(mutex.Lock(0));  // already held
    mutex.CloseMutex();
    EXPECT_FALSE(mutex.Lock(0));
    // Closing released it for others.
    chMutex other;
    ASSERT_TRUE(other.OpenMutex("DsskeyFile"));
    EXPECT_TRUE(other.Lock(0));
}

TEST(NamedObject, SharedBetweenProcesses)
{
    TestRoot root;
    bool created = false;
    char* text = static_cast<char*>(chNamedObjectManager::GetNamedObject("romTranStat", 64, &created));
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(created);
    strcpy(text, "from parent");
    pid_t child = forkChild([] {
        int size = 0;
        char* seen = static_cast<char*>(chNamedObjectManager::FindNamedObject("romTranStat", &size));
        if (!seen || size != 64 || strcmp(seen, "from parent") != 0)
            return 1;
        bool again = true;
        char* same = static_cast<char*>(chNamedObjectManager::GetNamedObject("romTranStat", 64, &again));
        if (!same || again)
            return 2;
        strcpy(same, "from child");
        return 0;
    });
    ASSERT_EQ(waitChild(child), 0);
    EXPECT_STREQ(text, "from child");
}

TEST(NamedObject, FindAndArguments)
{
    TestRoot root;
    int size = -1;
    EXPECT_EQ(chNamedObjectManager::FindNamedObject("romRecvSize", &size), nullptr);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(chNamedObjectManager::GetNamedObject("romRecvSize", 0), nullptr);
    EXPECT_EQ(chNamedObjectManager::GetNamedObject("romRecvSize", -4), nullptr);
    EXPECT_EQ(chNamedObjectManager::GetNamedObject("../escape", 8), nullptr);
    EXPECT_EQ(chNamedObjectManager::GetNamedObject(nullptr, 8), nullptr);
    EXPECT_EQ(chNamedObjectManager::FindNamedObject(nullptr), nullptr);
    EXPECT_FALSE(root.exists("/tmp/escape"));
}

TEST(NamedObject, AskingForMoreGrowsTheObject)
{
    TestRoot root;
    char* small = static_cast<char*>(chNamedObjectManager::GetNamedObject("romTranInfo", 16));
    ASSERT_NE(small, nullptr);
    strcpy(small, "kept");
    char* large = static_cast<char*>(chNamedObjectManager::GetNamedObject("romTranInfo", 8192));
    ASSERT_NE(large, nullptr);
    large[8191] = 'z';  // within the file: no fault
    EXPECT_STREQ(large, "kept");
    int size = 0;
    EXPECT_NE(chNamedObjectManager::FindNamedObject("romTranInfo", &size), nullptr);
    EXPECT_EQ(size, 8192);
}

// The helpers take the global lock themselves; a caller that already holds
// it must still hold it afterwards.
TEST(NamedObject, GlobalLockNests)
{
    TestRoot root;
    chNamedObjectManager::LockGlobal();
    EXPECT_NE(chNamedObjectManager::GetNamedObject("romTranStat", 32), nullptr);
    EXPECT_FALSE(globalLockFree(root));
    chNamedObjectManager::UnlockGlobal();
    EXPECT_TRUE(globalLockFree(root));
}

TEST(DumpTextFile, WholeFileOrEmpty)
{
    TestRoot root;
    std::string text = "line 1\nline 2\n" + std::string(20000, 'x');
    root.write("/config/data/memkey.xml", text);
    EXPECT_EQ(ETL_FileHelper::etlDumpTextFileA("/config/data/memkey.xml"), text);
    EXPECT_EQ(ETL_FileHelper::etlDumpTextFileA("/config/data/missing.xml"), "");
    EXPECT_EQ(ETL_FileHelper::etlDumpTextFileA(nullptr), "");
}
