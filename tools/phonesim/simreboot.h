// The phone's restart as phonesim plays it: a reboot (0x10101) or a factory
// reset (0x10103, which first restores the factory configuration) ends
// phonesim shortly after with kRebootExitStatus, and whoever started it
// (the demo, the test harness) starts the phone again, web server included.
// The next start is the boot: it installs a verified firmware that waits for
// it, ends the one-boot safe mode and starts the stand-in phone processes
// that the upgrade page's process walk sees.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/msgbus.h"

namespace phonesim {

constexpr int kRebootExitStatus = 3;
// Time the web side gets to finish its answer before the phone goes down.
constexpr int kShutdownGraceMs = 1500;

class RebootPlay {
public:
    // Notes a received message (reboot, factory reset, upgrade start).
    void note(const BusMessage& message);
    // phonesim's own answer to a send it plays, if any: the GUI's "is an
    // upgrade running?" (0xB0001 to "smGui").
    std::optional<int> answer(const BusMessage& message) const;
    bool requested() const { return requested_; }
    bool factoryReset() const { return factoryReset_; }
    // Milliseconds until the phone goes down, -1 when no restart is asked.
    int msUntilDue() const;

private:
    bool requested_ = false;
    bool factoryReset_ = false;
    bool upgrading_ = false;
    std::chrono::steady_clock::time_point due_;
};

// The stand-in phone processes, by the names the upgrade page looks for.
std::vector<std::string> StandInNames();

// The boot; fills standIns with the pids of the processes it started.
void BootPhone(std::vector<int>& standIns);
// Ends the stand-ins that still run and removes their entries.
void StopStandIns(std::vector<int>& standIns);

// The configuration back to the factory's: the user store and "/config/data"
// go, the factory password file and the factory folders (and a custom
// factory configuration, when imported) are copied in. The phone's identity
// ("/config/system" files other than the store) and boot environment stay.
bool RestoreFactoryConfig(std::string& error);
// Installs "/data/firmware/firmware.rom" when it verifies: its version
// becomes the firmware side's "PhoneFirmware". False with the reason.
bool InstallFirmware(std::string& version, std::string& error);

}  // namespace phonesim
