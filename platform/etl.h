// Base-library helpers: named inter-process mutex, named shared text objects
// and the text-file reader.
#pragma once

#include <string>

namespace ETL_BaseHelper {

// A lock shared between processes by name ("DsskeyFile",
// "WRLockiniFileName"): flock on "<root>/tmp/phonelock/<name>.lock".
class chMutex {
public:
    chMutex() = default;
    ~chMutex();
    chMutex(const chMutex&) = delete;
    chMutex& operator=(const chMutex&) = delete;

    bool OpenMutex(const char* name);
    // Waits at most timeoutMs (-1 without limit); true when locked.
    bool Lock(int timeoutMs = -1);
    bool Unlock();
    void CloseMutex();

private:
    int fd_ = -1;
    bool locked_ = false;
};

}  // namespace ETL_BaseHelper

namespace ETL_MsgQueueHelper {

// Shared objects of fixed size, mapped from "<root>/tmp/phoneshm/<name>".
// The returned memory stays mapped for the life of the process.
class chNamedObjectManager {
public:
    // Creates or opens the object; null on failure.
    static void* GetNamedObject(const char* name, int size, bool* created = nullptr);
    // Opens an existing object; null when there is none.
    static void* FindNamedObject(const char* name, int* size = nullptr);
    // The global named-object lock, held around create/find and copies.
    static void LockGlobal();
    static void UnlockGlobal();
};

}  // namespace ETL_MsgQueueHelper

namespace ETL_FileHelper {
// The whole file as text (a phone path); empty when missing.
std::string etlDumpTextFileA(const char* path);
}  // namespace ETL_FileHelper
