#include "platform/upgrade.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <openssl/evp.h>
#include <string>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

#include "platform/configparser.h"
#include "platform/etl.h"
#include "platform/fwimage.h"
#include "platform/paths.h"
#include "platform/phoneproc.h"
#include "platform/system.h"

namespace {

using ETL_MsgQueueHelper::chNamedObjectManager;

constexpr size_t kPiece = 64 * 1024;
// The received count is published once per this many bytes.
constexpr uint64_t kProgressStep = 1 << 20;

void shareText(const char* name, const std::string& text, int size)
{
    chNamedObjectManager::LockGlobal();
    if (char* slot = static_cast<char*>(chNamedObjectManager::GetNamedObject(name, size))) {
        size_t length = text.size() < static_cast<size_t>(size) - 1 ? text.size() : size - 1;
        memcpy(slot, text.data(), length);
        slot[length] = '\0';
    }
    chNamedObjectManager::UnlockGlobal();
}

void publishReceived(uint64_t received)
{
    char number[24];
    snprintf(number, sizeof number, "%" PRIu64, received);
    shareText("romRecvSize", number, kRomRecvSizeSize);
}

// Fills the buffer completely unless the stream ends; the count read.
size_t readFully(IUpgrader* upgrader, unsigned char* buffer, size_t size, bool& broken)
{
    size_t have = 0;
    while (have < size) {
        size_t want = size - have < kPiece ? size - have : kPiece;
        int got = upgrader->ReadStream(buffer + have, static_cast<int>(want));
        if (got <= 0 || static_cast<size_t>(got) > want) {
            broken = got < 0 || static_cast<size_t>(got) > want;
            break;
        }
        have += static_cast<size_t>(got);
    }
    return have;
}

class Receiver {
public:
    explicit Receiver(IUpgrader* upgrader) : upgrader_(upgrader) {}
    ~Receiver()
    {
        if (fd_ >= 0)
            close(fd_);
        if (!temp_.empty())
            unlink(temp_.c_str());
        EVP_MD_CTX_free(digest_);
    }

    int run();

private:
    int fail(const std::string& why);
    bool receivePayload();
    bool install();

    IUpgrader* upgrader_;
    FirmwareHeader header_;
    std::string oldVersion_;
    std::string temp_;
    int fd_ = -1;
    EVP_MD_CTX* digest_ = nullptr;
    bool judged_ = false;
};

int Receiver::fail(const std::string& why)
{
    log_log(2, 3, "upgrade refused: %s", why.c_str());
    shareText("romTranStat", "failed", kRomTranStatSize);
    shareText("romTranInfo", why, kRomTranInfoSize);
    upgrader_->CloseStream();
    if (judged_)
        upgrader_->OnDoneInstall(oldVersion_.c_str(), header_.version.c_str(), false);
    return -1;
}

int Receiver::run()
{
    oldVersion_ = configParser_GetConfigString("PhoneFirmware");
    shareText("romTranStat", "receiving", kRomTranStatSize);
    shareText("romTranInfo", "", kRomTranInfoSize);
    publishReceived(0);
    upgrader_->OnRomBegin();
    if (upgrader_->OpenStream() != 1)
        return fail("the image stream cannot be opened");

    unsigned char head[kFirmwareHeaderSize];
    bool broken = false;
    size_t got = readFully(upgrader_, head, sizeof head, broken);
    std::string error;
    if (broken)
        return fail("the image stream broke off");
    if (got < sizeof head)
        return fail("the image is shorter than its header");
    if (!ParseFirmwareHeader(head, sizeof head, header_, error))
        return fail("not a firmware image: " + error);
    judged_ = true;
    upgrader_->OnDoneRomJudge();
    shareText("romTranInfo", header_.version, kRomTranInfoSize);

    std::string folder = phonePath(kFirmwareFolder);
    struct statvfs space;
    if (!makeDirs(folder) || statvfs(folder.c_str(), &space) != 0)
        return fail("the firmware folder cannot be used");
    if (static_cast<uint64_t>(space.f_bavail) * space.f_frsize < header_.payloadLength + sizeof head)
        return fail("no space left for the image");
    temp_ = folder + ".incoming-XXXXXX";
    fd_ = mkostemp(&temp_[0], O_CLOEXEC);
    if (fd_ < 0) {
        temp_.clear();
        return fail("the image cannot be stored");
    }
    digest_ = EVP_MD_CTX_new();
    if (!digest_ || EVP_DigestInit_ex(digest_, EVP_sha256(), nullptr) != 1 ||
        !writeAll(fd_, head, sizeof head))
        return fail("the image cannot be stored");
    if (!receivePayload())
        return -1;
    upgrader_->CloseStream();
    upgrader_->OnRomEnd();
    return install() ? 0 : -1;
}

bool Receiver::receivePayload()
{
    std::vector<unsigned char> piece(kPiece);
    unsigned char* buffer = piece.data();
    uint64_t remaining = header_.payloadLength;
    uint64_t received = 0;
    uint64_t published = 0;
    while (remaining > 0) {
        size_t want = remaining < kPiece ? static_cast<size_t>(remaining) : kPiece;
        int got = upgrader_->ReadStream(buffer, static_cast<int>(want));
        if (got <= 0 || static_cast<size_t>(got) > want) {
            char why[128];
            snprintf(why, sizeof why, "the image ends early: %" PRIu64 " of %" PRIu64 " bytes",
                     received, header_.payloadLength);
            fail(got < 0 ? "the image stream broke off" : why);
            return false;
        }
        if (EVP_DigestUpdate(digest_, buffer, static_cast<size_t>(got)) != 1 ||
            !writeAll(fd_, buffer, static_cast<size_t>(got))) {
            fail("the image cannot be stored");
            return false;
        }
        remaining -= static_cast<uint64_t>(got);
        received += static_cast<uint64_t>(got);
        if (received - published >= kProgressStep || remaining == 0) {
            published = received;
            publishReceived(received);
            upgrader_->OnDownload(static_cast<int>(received >> 10),
                                  static_cast<int>(header_.payloadLength >> 10));
        }
    }
    unsigned char extra;
    if (upgrader_->ReadStream(&extra, 1) > 0) {
        fail("the image is longer than its header says");
        return false;
    }
    unsigned char digest[32];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(digest_, digest, &size) != 1 || size != 32 ||
        memcmp(digest, header_.digest, 32) != 0) {
        fail("the image digest does not match");
        return false;
    }
    return true;
}

bool Receiver::install()
{
    shareText("romTranStat", "installing", kRomTranStatSize);
    upgrader_->OnPrevInstall(oldVersion_.c_str(), header_.version.c_str());
    std::string target = phonePath(kFirmwareImage);
    bool synced = fsync(fd_) == 0;
    close(fd_);
    fd_ = -1;
    if (!synced || rename(temp_.c_str(), target.c_str()) != 0) {
        log_log(2, 3, "upgrade: the image cannot be kept: %s", strerror(errno));
        shareText("romTranStat", "failed", kRomTranStatSize);
        shareText("romTranInfo", "the image cannot be stored", kRomTranInfoSize);
        upgrader_->OnDoneInstall(oldVersion_.c_str(), header_.version.c_str(), false);
        return false;
    }
    temp_.clear();
    int dir = open(phonePath(kFirmwareFolder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    upgrader_->OnSyncInstall();
    shareText("romTranStat", "done", kRomTranStatSize);
    upgrader_->OnDoneInstall(oldVersion_.c_str(), header_.version.c_str(), true);
    log_log(2, 6, "upgrade: firmware %s verified, installed at the next start",
            header_.version.c_str());
    return true;
}

}  // namespace

int upui_Upgrade(IUpgrader* upgrader, int mode)
{
    if (!upgrader)
        return -1;
    log_log(2, 6, "upgrade engine started (mode %d)", mode);
    if (Receiver(upgrader).run() != 0)
        return -1;
    // The new firmware runs from the next start on.
    phoneSystemReboot();
    return 0;
}
