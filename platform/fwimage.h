// The firmware image format: a fixed header, then the payload.
//
//   offset  size  field
//        0     8  magic "PWFWIMG1"
//        8    32  firmware version text, zero-padded (at most 31 characters:
//                 letters, digits, '.', '-', '_')
//       40     8  payload length in bytes, big-endian
//       48    32  SHA-256 of the payload
//       80     -  the payload
//
// The engine, the image tool and the simulated boot share these routines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kFirmwareHeaderSize = 80;
constexpr size_t kFirmwareVersionMax = 31;
// Larger payloads are refused before a byte of them is stored.
constexpr uint64_t kFirmwarePayloadMax = 1ULL << 30;
// Where a verified image waits for the next boot to install it.
constexpr char kFirmwareFolder[] = "/data/firmware/";
constexpr char kFirmwareImage[] = "/data/firmware/firmware.rom";

struct FirmwareHeader {
    std::string version;
    uint64_t payloadLength = 0;
    unsigned char digest[32] = {};
};

// Checks a header; false with the reason in error ("bad magic", ...).
bool ParseFirmwareHeader(const unsigned char* data, size_t size, FirmwareHeader& header,
                         std::string& error);
// The header bytes of an image; empty when the version is not usable.
std::string BuildFirmwareHeader(const std::string& version, uint64_t payloadLength,
                                const unsigned char digest[32]);
// True for a version text the header can carry.
bool IsFirmwareVersion(const std::string& version);

// Reads a stored image (a real path) and checks header, length and digest;
// false with the reason in error.
bool VerifyFirmwareFile(const std::string& realPath, FirmwareHeader& header, std::string& error);
