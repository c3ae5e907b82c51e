// The expansion-module device "/dev/exp0".
//
// On the phone it is the driver's character device, asked with ioctl. On a
// PC the same phone path may be a regular file holding a text stand-in, one
// module a line: "<kind> <hardware version> <firmware version>" ("#" starts
// a comment line). Both answer through ExpDevice::request, so the code
// above it is the same for either.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The driver's argument block. On the 32-bit phone these are nine 32-bit
// words; the text pointer is the ninth.
struct ExpIoctlArg {
    uint32_t index = 0;      // module index, low 16 bits
    uint32_t unused1 = 0;
    uint32_t unused2 = 0;
    uint32_t textFlags = 0;  // kExpTextFlags for the text requests
    uint32_t number = 0;     // the returned number
    uint32_t unused5 = 0;
    uint32_t unused6 = 0;
    uint32_t unused7 = 0;
    char* text = nullptr;    // kExpTextSize bytes
};
static_assert(sizeof(void*) != 4 || sizeof(ExpIoctlArg) == 36,
              "the driver takes nine 32-bit words");

constexpr unsigned long kExpGetCount = 0x40045A31;
constexpr unsigned long kExpPrepareA = 0x40045A12;
constexpr unsigned long kExpPrepareB = 0x40045A26;
constexpr unsigned long kExpGetKind = 0x40045A32;
constexpr unsigned long kExpGetHardware = 0x80045A10;
constexpr unsigned long kExpGetFirmware = 0x80045A11;
constexpr uint32_t kExpTextFlags = 0x7F0000;
constexpr int kExpTextSize = 128;
// More modules than a phone can chain means a confused driver.
constexpr uint32_t kExpMaxModules = 16;

struct ExpModuleText {
    int kind = 0;
    std::string hardware;
    std::string firmware;
};

// Parses the stand-in text; false when a line is malformed.
bool ParseExpStandIn(const std::string& text, std::vector<ExpModuleText>& modules);

class ExpDevice {
public:
    ExpDevice() = default;
    ~ExpDevice();
    ExpDevice(const ExpDevice&) = delete;
    ExpDevice& operator=(const ExpDevice&) = delete;

    // Opens the device at a phone path read-write; false when it cannot.
    bool open(const char* phonePath);
    // One driver request; 0 on success, -1 on failure. Text answers are
    // always zero-terminated within kExpTextSize.
    int request(unsigned long code, ExpIoctlArg& arg);

private:
    int answerFromText(unsigned long code, ExpIoctlArg& arg) const;

    int fd_ = -1;
    bool standIn_ = false;
    bool standInValid_ = false;
    std::vector<ExpModuleText> modules_;
};
