// The one catalogue of the message ids the web pages and the phone's
// processes exchange on the bus. Both sides include this file.
#pragma once

// Configuration changed (broadcast, or posted to "app_vpPhone"); wparam names
// the area, lparam qualifies it. Sent to "app_vpPhone" with wparam 46 it is
// the directory exchange request (lparam 0..3), answered with a result code.
constexpr unsigned int kMsgConfigChanged = 0x10007;
constexpr unsigned int kMsgBeforeUpgradeAsk = 0x10009;     // send "app_vpPhone"
constexpr unsigned int kMsgBeforeUpgrade = 0x1000A;        // broadcast
constexpr unsigned int kMsgProvisionServer = 0x1000B;      // post "app_vpPhone"
constexpr unsigned int kMsgConfigImported = 0x1000F;       // send "app_vpPhone", 3000 ms
constexpr unsigned int kMsgCstaRequest = 0x10014;          // send Ex "app_vpPhone"
constexpr unsigned int kMsgReboot = 0x10101;               // post "app_vpPhone"
constexpr unsigned int kMsgFactoryReset = 0x10103;         // broadcast
constexpr unsigned int kMsgAccountStatus = 0x30006;        // send "app_vpPhone", wparam account
constexpr unsigned int kMsgAskTalking = 0x30007;           // send "app_vpPhone"; 0 = in a call
constexpr unsigned int kMsgKeyLayout = 0x3000E;            // send "app_vpPhone"
constexpr unsigned int kMsgHangUp = 0x30011;               // post "app_vpPhone"
constexpr unsigned int kMsgActionText = 0x30017;           // post Ex "app_vpPhone"
constexpr unsigned int kMsgPushXmlReady = 0x3001A;         // post "app_vpPhone"
constexpr unsigned int kMsgKeyStatusList = 0x3001E;        // send "app_vpPhone"
constexpr unsigned int kMsgExportPhonecfg = 0x3001F;       // send Ex, 3000 ms
constexpr unsigned int kMsgRedirectCall = 0x30020;         // post Ex "app_vpPhone"
constexpr unsigned int kMsgForward = 0x30021;              // post Ex "app_vpPhone"
constexpr unsigned int kMsgFeatureGeneral = 0x3002A;       // post "app_vpPhone"
constexpr unsigned int kMsgTextMessage = 0x4000B;          // post Ex "app_sipClient<n>"
constexpr unsigned int kMsgCallHistory = 0x50004;          // send "app_vpPhone"
constexpr unsigned int kMsgScreenBacklightTime = 0x90004;  // post "app_vpScreen"
constexpr unsigned int kMsgScreenBacklightLevel = 0x90007; // post "app_vpScreen", wparam level
constexpr unsigned int kMsgScreenContrast = 0x90008;       // post "app_vpScreen", wparam level
constexpr unsigned int kMsgProvisionState = 0xA0001;       // send "autoServer", 1000 ms
constexpr unsigned int kMsgMakeCall = 0xA0002;             // post/send Ex "app_vpPhone"
constexpr unsigned int kMsgProvisionStart = 0xB0001;       // post "autoServer"; send "smGui"
constexpr unsigned int kMsgBeforeUpgradeBroadcast = 0xB0003;
constexpr unsigned int kMsgCaptureStart = 0x200001;        // send "app_pcapServer"
constexpr unsigned int kMsgCaptureStop = 0x200002;
constexpr unsigned int kMsgCaptureState = 0x200003;
constexpr unsigned int kMsgCaptureExport = 0x200005;
constexpr unsigned int kMsgBluetoothSwitch = 0xa59;        // post "bluetooththread"
