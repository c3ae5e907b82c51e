// The firmware upgrade engine: it pulls an image through the caller's
// IUpgrader, checks it and keeps it for the next boot to install.
#pragma once

// The engine's view of an image source. Slot order is part of the contract.
class IUpgrader {
public:
    virtual ~IUpgrader() {}
    // 1 when the stream is ready.
    virtual int OpenStream() = 0;
    // Up to size bytes; the count delivered, 0 at the end, below 0 on error.
    virtual int ReadStream(void* buffer, int size) = 0;
    virtual void CloseStream() = 0;
    virtual void OnRomBegin() {}
    virtual void OnDoneRomJudge() {}
    virtual void OnDownload(int, int) {}
    virtual void OnRomEnd() {}
    virtual void OnPrevInstall(const char*, const char*) {}
    virtual void OnSyncInstall() {}
    virtual void OnDoneInstall(const char*, const char*, bool) {}
};

// Receives one image from the upgrader: the header is checked, the payload
// written beside the installed image and digested, and only a complete,
// verified image replaces "/data/firmware/firmware.rom"; then the phone is
// asked to restart. Progress goes to the shared texts "romTranStat",
// "romTranInfo" and "romRecvSize". `mode` 1 is a web upload. 0 on success;
// on failure the installed image is left as it was.
int upui_Upgrade(IUpgrader* upgrader, int mode);

// The shared text slots of the upgrade progress and their sizes.
constexpr int kRomTranStatSize = 32;
constexpr int kRomTranInfoSize = 260;
constexpr int kRomRecvSizeSize = 12;
