#include "tools/phonesim/simdiagnostics.h"

#include <chrono>
#include <cstdint>
#include <cstring>

#include "platform/fileutil.h"
#include "platform/msgids.h"
#include "platform/paths.h"

namespace phonesim {

namespace {

constexpr auto kProvisionRun = std::chrono::seconds(3);
constexpr int kSavedPackets = 4;

bool capturing = false;
std::chrono::steady_clock::time_point provisionEnd;

void Put16(std::string& out, uint16_t value, bool big)
{
    out += static_cast<char>(big ? value >> 8 : value & 0xFF);
    out += static_cast<char>(big ? value & 0xFF : value >> 8);
}

void Put32(std::string& out, uint32_t value)
{
    Put16(out, static_cast<uint16_t>(value & 0xFFFF), false);
    Put16(out, static_cast<uint16_t>(value >> 16), false);
}

// One Ethernet frame: IPv4 and UDP from the phone to its server.
std::string SipFrame(int index)
{
    std::string payload = "OPTIONS sip:pbx.example.com SIP/2.0\r\nCSeq: " +
                          std::to_string(index + 1) + " OPTIONS\r\nContent-Length: 0\r\n\r\n";
    std::string frame("\x00\x15\x65\x00\x00\x01\x00\x15\x65\x12\x34\x56\x08\x00", 14);
    std::string ip;
    uint16_t total = static_cast<uint16_t>(20 + 8 + payload.size());
    const unsigned char head[] = {0x45, 0x00, 0, 0, 0, 0, 0x40, 0x00, 64, 17, 0, 0,
                                  192, 168, 1, 100, 192, 168, 1, 1};
    ip.assign(reinterpret_cast<const char*>(head), sizeof head);
    ip[2] = static_cast<char>(total >> 8);
    ip[3] = static_cast<char>(total & 0xFF);
    ip[5] = static_cast<char>(index + 1);
    uint32_t sum = 0;
    for (size_t i = 0; i < ip.size(); i += 2)
        sum += (static_cast<unsigned char>(ip[i]) << 8) | static_cast<unsigned char>(ip[i + 1]);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    uint16_t checksum = static_cast<uint16_t>(~sum);
    ip[10] = static_cast<char>(checksum >> 8);
    ip[11] = static_cast<char>(checksum & 0xFF);
    std::string udp;
    Put16(udp, 5060, true);
    Put16(udp, 5060, true);
    Put16(udp, static_cast<uint16_t>(8 + payload.size()), true);
    Put16(udp, 0, true);  // no UDP checksum, as IPv4 allows
    return frame + ip + udp + payload;
}

}  // namespace

std::string CaptureFileBytes(int packets)
{
    std::string out;
    Put32(out, 0xA1B2C3D4);
    Put16(out, 2, false);
    Put16(out, 4, false);
    Put32(out, 0);       // time zone
    Put32(out, 0);       // accuracy
    Put32(out, 65535);   // snap length
    Put32(out, 1);       // Ethernet
    uint32_t start = 1800000000;
    for (int i = 0; i < packets; ++i) {
        std::string frame = SipFrame(i);
        Put32(out, start + static_cast<uint32_t>(i));
        Put32(out, 250000u * static_cast<uint32_t>(i % 4));
        Put32(out, static_cast<uint32_t>(frame.size()));
        Put32(out, static_cast<uint32_t>(frame.size()));
        out += frame;
    }
    return out;
}

bool PlayDiagnostics(const BusMessage& message, const SimState& state, Reply& reply)
{
    reply = Reply{true, 1};
    switch (message.id) {
    case kMsgCaptureStart:
        capturing = true;
        return true;
    case kMsgCaptureStop:
        capturing = false;
        return true;
    case kMsgCaptureState:
        reply.value = capturing ? 1 : 0;
        return true;
    case kMsgCaptureExport: {
        // Only a plain file name inside /tmp, whatever the sender asks.
        std::string path = message.data.substr(0, message.data.find('\0'));
        bool plain = path.compare(0, 5, "/tmp/") == 0 && isPlainFileName(path.c_str() + 5);
        reply.value = plain && writeFileAtomic(phonePath(path), CaptureFileBytes(kSavedPackets)) ? 1 : 0;
        return true;
    }
    case kMsgProvisionStart:
        if (message.thread != "autoServer")
            return false;
        provisionEnd = std::chrono::steady_clock::now() + kProvisionRun;
        return true;
    case kMsgProvisionState:
        reply.value = state.value("autop", "running") == "1" ||
                      std::chrono::steady_clock::now() < provisionEnd;
        return true;
    default:
        return false;
    }
}

}  // namespace phonesim
