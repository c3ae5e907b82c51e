#include "platform/etl.h"

#include "platform/fileutil.h"
#include "platform/paths.h"
#include "platform/system.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kLockFolder[] = "/tmp/phonelock";
const char kSharedFolder[] = "/tmp/phoneshm";
const char kGlobalLock[] = "/tmp/phonelock/NamedObjectGlobal.lock";

// Mappings stay for the life of the process, keyed by real path.
struct Mapping {
    void* address = nullptr;
    size_t size = 0;
};
std::mutex gMappingsMutex;
std::map<std::string, Mapping> gMappings;

// The global named-object lock nests within a process: the helpers take it
// around create/find while callers may already hold it around their copies.
// The flock keeps other processes out; the recursive mutex other threads.
struct GlobalLock {
    std::recursive_mutex mutex;
    int depth = 0;
    int fd = -1;
    std::string path;
    pid_t owner = 0;  // a descriptor inherited over fork shares the parent's lock
};
GlobalLock gGlobal;

std::string sharedPath(const char* name)
{
    return phonePath(kSharedFolder) + "/" + name;
}

void* mapFile(int fd, size_t size)
{
    void* address = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    return address == MAP_FAILED ? nullptr : address;
}

// Called under the global lock.
void* mapNamed(const std::string& path, int fd, size_t size)
{
    std::lock_guard<std::mutex> guard(gMappingsMutex);
    Mapping& mapping = gMappings[path];
    if (mapping.address && mapping.size >= size)
        return mapping.address;
    void* address = mapFile(fd, size);
    if (address) {
        // A smaller earlier mapping stays valid for whoever holds it.
        mapping.address = address;
        mapping.size = size;
    }
    return address;
}

// Runs `body` with the global named-object lock held.
template <typename Body>
auto withGlobalLock(Body body)
{
    ETL_MsgQueueHelper::chNamedObjectManager::LockGlobal();
    auto result = body();
    ETL_MsgQueueHelper::chNamedObjectManager::UnlockGlobal();
    return result;
}

}  // namespace

namespace ETL_BaseHelper {

chMutex::~chMutex()
{
    CloseMutex();
}

bool chMutex::OpenMutex(const char* name)
{
    CloseMutex();
    if (!isPlainFileName(name)) {
        log_log(2, 4, "chMutex: refused name");
        return false;
    }
    fd_ = openLockFile(phonePath(kLockFolder) + "/" + name + ".lock");
    return fd_ >= 0;
}

bool chMutex::Lock(int timeoutMs)
{
    if (fd_ < 0)
        return false;
    if (!locked_)
        locked_ = lockFileDescriptor(fd_, timeoutMs);
    return locked_;
}

bool chMutex::Unlock()
{
    if (fd_ < 0 || !locked_)
        return false;
    locked_ = false;
    return flock(fd_, LOCK_UN) == 0;
}

void chMutex::CloseMutex()
{
    Unlock();
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

}  // namespace ETL_BaseHelper

namespace ETL_MsgQueueHelper {

void* chNamedObjectManager::GetNamedObject(const char* name, int size, bool* created)
{
    if (created)
        *created = false;
    if (!isPlainFileName(name) || size <= 0 || !makeDirs(phonePath(kSharedFolder)))
        return nullptr;
    std::string path = sharedPath(name);
    return withGlobalLock([&]() -> void* {
        bool isNew = true;
        int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) {
            isNew = false;
            fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
        }
        if (fd < 0)
            return nullptr;
        struct stat st;
        // Mapping past the end of the file would fault on access: grow it.
        bool sized = fstat(fd, &st) == 0 &&
                     (st.st_size >= size || ftruncate(fd, static_cast<off_t>(size)) == 0);
        void* address = sized ? mapNamed(path, fd, static_cast<size_t>(size)) : nullptr;
        close(fd);
        if (address && created)
            *created = isNew;
        return address;
    });
}

void* chNamedObjectManager::FindNamedObject(const char* name, int* size)
{
    if (size)
        *size = 0;
    if (!isPlainFileName(name))
        return nullptr;
    std::string path = sharedPath(name);
    return withGlobalLock([&]() -> void* {
        int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        struct stat st;
        void* address = nullptr;
        if (fstat(fd, &st) == 0 && st.st_size > 0 && st.st_size <= 0x7fffffff) {
            address = mapNamed(path, fd, static_cast<size_t>(st.st_size));
            if (address && size)
                *size = static_cast<int>(st.st_size);
        }
        close(fd);
        return address;
    });
}

void chNamedObjectManager::LockGlobal()
{
    gGlobal.mutex.lock();
    if (gGlobal.depth++ > 0)
        return;
    std::string path = phonePath(kGlobalLock);
    if (gGlobal.fd < 0 || gGlobal.path != path || gGlobal.owner != getpid()) {
        if (gGlobal.fd >= 0)
            close(gGlobal.fd);
        gGlobal.fd = openLockFile(path);
        gGlobal.path = path;
        gGlobal.owner = getpid();
    }
    if (!lockFileDescriptor(gGlobal.fd, -1))
        log_log(2, 3, "chNamedObjectManager: cannot take the global lock");
}

void chNamedObjectManager::UnlockGlobal()
{
    if (gGlobal.depth <= 0)
        return;  // unbalanced: this thread does not hold it
    if (--gGlobal.depth == 0 && gGlobal.fd >= 0)
        flock(gGlobal.fd, LOCK_UN);
    gGlobal.mutex.unlock();
}

}  // namespace ETL_MsgQueueHelper

namespace ETL_FileHelper {

std::string etlDumpTextFileA(const char* path)
{
    std::string text;
    if (!path || !readWholeFile(phonePath(path), text))
        return std::string();
    return text;
}

}  // namespace ETL_FileHelper
