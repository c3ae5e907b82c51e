// phonesim's packet-capture server ("app_pcapServer") and provisioning
// server ("autoServer").
#pragma once

#include <string>

#include "tools/phonesim/simcore.h"

namespace phonesim {

// A capture file as the capture server saves it: a pcap (Ethernet frames,
// microsecond times) holding `packets` SIP datagrams over UDP.
std::string CaptureFileBytes(int packets);

// Plays a message sent to either server. Capture: 0x200001 starts,
// 0x200002 stops, 0x200003 answers 1 while capturing, 0x200005 saves
// the capture at the "/tmp/<name>" path its data names (answer 0 for any
// other path). Provisioning: 0xB0001 starts a run of a few seconds;
// 0xA0001 answers 1 during a run or while state.ini says
// "[autop] running = 1". False for every other message. The servers'
// state lives as long as the process, as theirs does on the phone.
bool PlayDiagnostics(const BusMessage& message, const SimState& state, Reply& reply);

}  // namespace phonesim
