#include "frame/fieldrules.h"

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "frame/servlet.h"
#include "platform/configparser.h"
#include "platform/system.h"
#include "platform/tmpl.h"

namespace {

// One row per checked field, in one block per page family. A field that is
// not listed may hold any text of up to kConfigValueMax characters without
// control characters.
constexpr FieldRule kFieldRules[] = {
    // ---- account pages ----
    RuleSwitch("AccountEnable", "RegisterLineActive"),
    RuleLevel("AccountLabel", "RegisterAccountLabel"),
    RuleLevel("AccountDisplayName", "RegisterDisplayName"),
    RuleLevel("AccountRegisterName", "RegisterName"),
    RuleLevel("AccountUserName", "RegisterUserName"),
    RuleLevel("AccountPassword", "RegisterAccountPassword"),
    RuleHost("server1", "RegisterSipServer"),
    RuleHost("server2", "RegisterSipServer"),
    RuleOptionalPort("port1", "RegisterSipServer"),
    RuleOptionalPort("port2", "RegisterSipServer"),
    RuleNumber("expires1", 30, 2147483647, "RegisterSipServer"),
    RuleNumber("expires2", 30, 2147483647, "RegisterSipServer"),
    RuleNumber("RetryCounts1", 0, 20, "RegisterSipServer"),
    RuleNumber("RetryCounts2", 0, 20, "RegisterSipServer"),
    RuleChoice("AccountTransport", "0|1|2|3", "RegisterTransportItem"),
    RuleSwitch("AccountOutboundSwitch", "RegisterEnabledOutboundProxyServer"),
    RuleHost("AccountOutboundProxy", "RegisterOutboundProxyServer"),
    RuleOptionalPort("AccountOutboundPort", "RegisterOutboundProxyServer"),
    RuleSwitch("AccountStunSwitch", "RegisterNATTraversal"),
    RuleHost("AccountStunServerHost", "RegisterSTUNServer"),
    RuleOptionalPort("AccountSTUNPort", "RegisterSTUNServer"),
    RuleLevel("AccountProxyRequire", "AccountBasicProxyRequire"),
    RuleSwitch("AccountSendAnonymous", "AccountSendAnonymous"),
    RuleSwitch("AccountAnonymousCallSwitch", "AccountBasicAnonymousCallEnabled"),
    RuleLevel("AccountAnonymousCallOnCode", "AccountBasicAnonymousCallOnCode"),
    RuleLevel("AccountAnonymousCallOffCode", "AccountBasicAnonymousCallOffCode"),
    RuleSwitch("AccountRejectAnonymousCallSwitch", "AccountBasicAnonymousRejectionEnabled"),
    RuleLevel("AccountRejectAnonymousRejectOnCode", "AccountBasicAnonymousRejectionOnCode"),
    RuleLevel("AccountRejectAnonymousRejectOffCode", "AccountBasicAnonymousRejectionOffCode"),
    RuleSwitch("AccountMissCallLog", "AccountBasicMissCalllog"),
    RuleSwitch("AccountAutoAnswerSwitch", "AccountBasicAutoAnswer"),
    RuleLevel("AccountRing", "AccountBasicRingType"),
    RulePort("AccountSIPListenPort", "AdvLocalSIPPort"),
    RuleNumber("AccountExpire", 30, 2147483647, "AdvLocalSIPPort"),
    RuleNumber("AccountRegFailRetryInterval", 0, 1800, "AdvSIPRegRetryTimer"),
    RuleNumber("AccountSessionExpires", 90, 7200, "AdvSessionTimer"),
    RuleNumber("AccountSubscribeMWIExpire", 0, 84600, "AdvMWIItems"),
    RuleNumber("AccountSubscribePeriod", 60, 3600, "AdvSubscribePeriod"),
    RuleNumber("AccountSubscribeACDExpire", 120, 3600, "AdvACDSubscripPeriod"),
    RuleNumber("AccountBLASubscribePeriod", 60, 7200, "AdvBLASubscriptionPeriod"),
    RuleNumber("AccountNATUDPUpdateTime", 15, 2147483647, "AdvUDPKeepAlive"),
    RuleNumber("AccountDTMFPayload", 96, 127, "AdvDTMFItems"),
    RuleNumber("AccountPtime", 0, 60, "AdvPtimeItem"),
    RuleLevel("AccountDefaultT1", "AdvEarlymedia"),  // seconds, "0.5"
    RuleLevel("AccountDefaultT2", "AdvEarlymedia"),
    RuleLevel("AccountDefaultT4", "AdvEarlymedia"),
    RulePort("AccountMinRTPPort", "AdvVoiceEncryption", "AccountMaxRTPPort"),
    RulePort("AccountMaxRTPPort", "AdvVoiceEncryption"),
    RuleSwitch("AccountNATRport", "AdvRport"),
    RuleSwitch("AccountRegisterMAC", "AdvSIPSendMAC"),
    RuleSwitch("AccountRegisterLine", "AdvSIPSendLine"),
    RuleSwitch("AccountEnable100Rel", "AdvReliableRetransmission"),
    RuleSwitch("AccountPrecondition", "AdvReliableRetransmission"),
    RuleSwitch("AccountEnableUserEqualPhone", "AdvUserEqualPhone"),
    RuleSwitch("AccountSignalEncode", "AdvCallerIDHeader"),
    RuleSwitch("AccountUnRegisterOnReboot", "AdvUnregisterOnReboot"),
    RuleSwitch("AccountDisableAlertInfoURL", "AdvDistinctiveRingTones"),
    RuleSwitch("Accountearlymedia", "AdvEarlymedia"),
    RuleSwitch("AccountEnableSessionTimer", "AdvUseSessionTimer"),
    RuleSwitch("AccountSubsribeRegister", "AdvSessionRefresher"),
    RuleSwitch("AccountSubsribeMWI", "AdvMWIItems"),
    RuleSwitch("AccountSubscribeMWIToVM", "AdvMWIItems"),
    RuleSwitch("AccountEnableOutDialogBLF", "AdvOutDialogBLF"),
    RuleSwitch("AccountDialogPickup", "AdvDialogInfoCallPickup"),
    RuleSwitch("AccountNATEnableUDPUpdate", "AdvUDPKeepAlive"),
    RuleLevel("AccountBLFListURL", "AdvBLFListURI"),
    RuleLevel("AccountConfURI", "AdvConferenceUri"),
    RuleLevel("AccountMusicServerUri", "AdvMusicServerURI"),
    RuleLevel("MessageVoiceNumber", "AdvVoiceMail"),
    RuleLevel("AccountCodecsGroup", "AccountCodecsGroup"),
    // ---- network and security pages ----
    RuleChoice("NetworkIPAddressMode", "0|1|2", "BasicIpaddressMode"),
    RuleChoice("NetworkWanType", "0|1|2", "BasicIpv4config"),
    RuleAddress("NetworkWanStaticIp", "BasicIpv4config"),
    RuleAddress("NetworkWanStaticMask", "BasicIpv4config"),
    RuleAddress("NetworkWanStaticGateWay", "BasicIpv4config"),
    RuleSwitch("NetworkWanStaticDNSEnable", "BasicIpv4config"),
    RuleAddress("NetworkWanStaticPriDns", "BasicIpv4config"),
    RuleAddress("NetworkWanStaticSecDns", "BasicIpv4config"),
    RuleText("NetworkPppoeUser", 99, "BasicWanppoe"),
    RuleText("NetworkPppoePin", 99, "BasicWanppoe"),
    RuleChoice("NetworkIPv6WANType", "0|1", "BasicIpv6config"),
    RuleAddress("NetworkIPv6WanIP", "BasicIpv6config"),
    RuleNumber("NetworkIPv6Prefix", 0, 128, "BasicIpv6config"),
    RuleAddress("NetworkIPv6WanGateway", "BasicIpv6config"),
    RuleSwitch("NetworkIPv6WanStaticDNSEnable", "BasicIpv6config"),
    RuleAddress("NetworkIPv6WanPrimaryDNS", "BasicIpv6config"),
    RuleAddress("NetworkIPv6WanSecondaryDNS", "BasicIpv6config"),
    RuleSwitch("NetworkPCPortSwitch", "PCPortActive"),
    RuleChoice("NetworkLanType", "0|1", "PCPortConfig"),
    RuleAddress("NetworkLanRouterIP", "PCPortConfig"),
    RuleAddress("NetworkLanSubnetMask", "PCPortConfig"),
    RuleSwitch("NetworkLanEnableDHCP", "PCPortConfig"),
    RuleAddress("NetworkLanDHCPStartIP", "PCPortConfig"),
    RuleAddress("NetworkLanDHCPEndIP", "PCPortConfig"),
    RuleSwitch("LLDPSwitch", "AdvLLDPItems"),
    RuleNumber("LLDPPacketInterval", 1, 3600, "AdvLLDPItems"),
    RuleSwitch("VlanWanSwitch", "AdvVLANItems"),
    RuleNumber("VlanWanVid", 1, 4094, "AdvVLANItems"),
    RuleNumber("VlanWanPriority", 0, 7, "AdvVLANItems"),
    RuleSwitch("VlanPcSwitch", "AdvVLANItems"),
    RuleNumber("VlanPcVid", 1, 4094, "AdvVLANItems"),
    RuleNumber("VlanPcPriority", 0, 7, "AdvVLANItems"),
    RuleSwitch("VlanDhcpSwitch", "AdvVLANItems"),
    RuleText("VlanDhcpOption", 63, "AdvVLANItems"),
    RuleNumber("NetworkRTPTOS", 0, 63, "AdvVoiceQoS"),
    RuleNumber("NetworkSIGNALTOS", 0, 63, "AdvVoiceQoS"),
    RulePort("NetworkMinRTPPort", "AdvLocalRTPPort", "NetworkMaxRTPPort"),
    RulePort("NetworkMaxRTPPort", "AdvLocalRTPPort"),
    RuleSwitch("HttpServerSwitch", "AdvWebServer"),
    RulePort("NetworkhttpPort", "AdvWebServer"),
    RuleSwitch("HttpsServerSwitch", "AdvWebServer"),
    RulePort("NetworkhttpsPort", "AdvWebServer"),
    RuleChoice("Network802_1XMode", "0|1|2|3|4", "Adv8021x"),
    RuleText("Network802_1XIdentity", 63, "Adv8021x"),
    RuleText("Network802_1XMD5Passwd", 63, "Adv8021x"),
    RuleSwitch("NetworksnmpSwitch", "AdvSNMPItems"),
    RulePort("NetworksnmpPort", "AdvSNMPItems"),
    RuleText("NetworksnmpTrustedAddress", 255, "AdvSNMPItems"),
    RuleSwitch("VpnSwitch", "AdvOpenVPN"),
    RuleChoice("EthernetWANPortLink", "0|1|2|3|4", "AdvPortLink"),
    RuleChoice("EthernetPCPortLink", "0|1|2|3|4", "AdvPortLink"),
    RuleSwitch("NetworkLanSpanToPCPort", "AdvSpanToPcport"),
    RuleNumber("NetworkRegSurgePrevention", 0, 60, "AdvRegSurgePrev"),
    RuleSwitch("NetworkIPv6AutoIPConf", "AdvICMPv6Status"),
    RuleChoice("HttpsDevCert", "0|1", "ServerCertsUpload"),
    RuleSwitch("HTTPSTrustCertificates", "TrustCertsOnlyAcceptTrustedCerts"),
    RuleSwitch("HttpsCNValidation", "TrustCertsOnlyAcceptTrustedCerts"),
    RuleChoice("HttpsCaCert", "0|1|2", "TrustCertsOnlyAcceptTrustedCerts"),

    // ---- directory pages ----
    RuleSwitch("FeaturesRecentCallEnable", "SettingFavoriteTable"),
    RuleSwitch("LDAPSwitch", "ContactsLDAPSwitch"),
    RuleText("LDAPNameFilter", 255, "ContactsLDAPNameFilter"),
    RuleText("LDAPNumberFilter", 255, "ContactsLDAPNumberFilter"),
    RuleHost("LDAPhost", "LDAPServerAddress"),
    RuleOptionalPort("LDAPport", "LDAPPort"),
    RuleText("LDAPbase", 255, "LDAPBase"),
    RuleText("LDAPuser", 255, "LDAPUserName"),
    RuleText("LDAPpswd", 99, "LDAPPassword"),
    RuleNumber("LDAPMaxHits", 1, 32000),
    RuleChoice("LDAPversion", "2|3"),
    RuleSwitch("LDAPCallInLookup"),
    RuleSwitch("LDAPSort"),
    RuleSwitch("SearchNameFromRemoteSwitch", "CoantactsSRemoteNameEnable"),
    RuleNumber("SRemoteNameFlashTime", 3600, 14400, "CoantactsSRemoteNameFlashTime"),
    RuleSwitch("ReceiveActive", "MulticastIPPagePriorityActive"),
    RuleNumber("ReceivePriority", 0, 10, "MulticastIPReceivePriority"),
    RuleSwitch("NetworkCalllogSwitch", "BroadsoftDirectotries"),
    RuleHost("AccountBroadsoftXSIHostAddr", "BroadsoftXSI"),
    RuleOptionalPort("AccountBroadsoftXSIPort", "BroadsoftXSI"),
    RuleChoice("AccountBroadsoftXSIServerType", "HTTP|HTTPS", "BroadsoftXSI"),
    RuleText("AccountBroadsoftXSIUserID", 99, "BroadsoftXSI"),
    RuleText("AccountBroadsoftXSIPassword", 99, "BroadsoftXSI"),

    // ---- features pages ----
    RuleChoice("ForwardMode", "0|1", "FeaturesForwardMode"),
    RuleChoice("DndMode", "0|1", "FeaturesDNDMode"),
    RuleSwitch("AlwaysForwardSwitch", "FeaturesAlwaysForwardEnabled"),
    RuleText("AlwaysForwardTarget", 127, "FeaturesAlwaysForwardTarget"),
    RuleText("AlwaysForwardOnCode", 32, "FeaturesAlwaysForwardOnCode"),
    RuleText("AlwaysForwardOffCode", 32, "FeaturesAlwaysForwardOffCode"),
    RuleSwitch("BusyForwardSwitch", "FeaturesBusyForwardEnabled"),
    RuleText("BusyForwardTarget", 127, "FeaturesBusyForwardTarget"),
    RuleText("BusyForwardOnCode", 32, "FeaturesBusyForwardOnCode"),
    RuleText("BusyForwardOffCode", 32, "FeaturesBusyForwardOffCode"),
    RuleSwitch("NoAnswerForwardSwitch", "FeaturesNoAnswerForwardEnabled"),
    RuleNumber("NoAnswerForwardDelayTime", 0, 20, "FeaturesNoAnswerForwardRingtimes"),
    RuleText("NoAnswerForwardTarget", 127, "FeaturesNoAnswerForwardTarget"),
    RuleText("NoAnswerForwardOnCode", 32, "FeaturesNoAnswerForwardOnCode"),
    RuleText("NoAnswerForwardOffCode", 32, "FeaturesNoAnswerForwardOffCode"),
    RuleSwitch("DndStatus", "FeaturesDNDStatus"),
    RuleText("DndOnCode", 32, "FeaturesDNDOnCode"),
    RuleText("DndOffCode", 32, "FeaturesDNDOffCode"),
    RuleSwitch("DNDEmergencySwitch", "FeaturesDNDEmergency"),
    RuleText("DNDEmergencyNumberList", 511, "FeaturesDNDAuthorizedNumbers"),
    RuleText("UnlockPIN", 15, "PhoneUnlockPIN"),
    RuleSwitch("EnableACDAutoAvailable", "FeaturesACDAutoAvailable"),
    RuleNumber("ACDAutoAvailableTime", 0, 120, "FeaturesACDAutoAvailableTimer"),
    RuleText("AUSetupCompleted", 511, "FeaturesSetupComplete"),
    RuleText("AULogOn", 511, "FeaturesLogOn"),
    RuleText("AULogOff", 511, "FeaturesLogOff"),
    RuleText("AURegisterFailed", 511, "FeaturesRegisterFail"),
    RuleText("AUOffHook", 511, "FeaturesOffHook"),
    RuleText("AUOnHook", 511, "FeaturesOnHook"),
    RuleText("AUIpChanged", 511, "FeaturesIPChange"),
    RuleText("AUIdleToBusy", 511, "FeaturesIdletoBusy"),
    RuleText("AUBusyToIdle", 511, "FeaturesBusytoIdle"),
    RuleText("AUMissedCall", 511, "FeaturesMissedCall"),
    RuleText("AUIncomingCall", 511, "FeaturesIncomingCall"),
    RuleText("AUCallOut", 511, "FeaturesOutgoingCall"),
    RuleText("AUEstablished", 511, "FeaturesCallEstablish"),
    RuleText("AUTerminated", 511, "FeaturesCallTerminated"),
    RuleText("AUAnswerNewInCall", 511, "FeaturesAnswerNewInCall"),
    RuleText("AURejectIncomingCall", 511, "FeaturesRejectIncomingCall"),
    RuleText("AUForwardIncomingCall", 511, "FeaturesForwardIncomingCall"),
    RuleText("AUHold", 511, "FeaturesHold"),
    RuleText("AUUnHold", 511, "FeaturesUnhold"),
    RuleText("AUMute", 511, "FeaturesMute"),
    RuleText("AUUnMute", 511, "FeaturesUnmute"),
    RuleText("AUTransferCall", 511, "FeaturesTransferCall"),
    RuleText("AUBlindTransfer", 511, "FeaturesBlindTransferCall"),
    RuleText("AUAttendedTransfer", 511, "FeaturesAttendedTransferCall"),
    RuleText("AUTransferFinished", 511, "FeaturesTransferFinished"),
    RuleText("AUTransferFailed", 511, "FeaturesTransferFailed"),
    RuleText("AUOpenDnd", 511, "FeaturesDNDOn"),
    RuleText("AUCloseDnd", 511, "FeaturesDNDOff"),
    RuleText("AUOpenAlwaysForward", 511, "FeaturesForwardOnCode"),
    RuleText("AUCloseAlwaysForward", 511, "FeaturesForwardOffCode"),
    RuleText("AUOpenBusyForward", 511, "FeaturesBusyForwardOn"),
    RuleText("AUCloseBusyForward", 511, "FeaturesBusyForwardOff"),
    RuleText("AUOpenNoAnswerForward", 511, "FeaturesNoAnswerForwardOn"),
    RuleText("AUCloseNoAnswerForward", 511, "FeaturesNoAnswerForwardOff"),
    RuleText("AUUCServer", 511),
    RuleText("AURemoteIP", 511),
    RuleSwitch("CallWaitingToneSwitch", "FeaturesCallWaitingTone"),
    RuleSwitch("VolumeButtonSoundOn", "FeaturesButtonSound"),
    RuleSwitch("VolumeSendKeySoundOn", "FeaturesSendSound"),
    RuleText("ReDialtoneNumber", 32, "FeaturesRedialTone"),
    RuleChoice("RingerDevice", "0|1|2", "FeaturesRingerDev"),
    RuleSwitch("BluetoothSwitch", "FeaturesBluetooth"),
    RuleSwitch("GPickupSwitch", "FeaturesCallPickup"),
    RuleText("GPickupCode", 32, "FeaturesCallPickup"),
    RuleSwitch("DPickupSwitch", "FeaturesCallPickup"),
    RuleText("DPickupCode", 32, "FeaturesCallPickup"),
    RuleSwitch("PickupAllowBlfRing", "FeaturesCallPickup"),
    RuleSwitch("IndicationBLFPickup", "FeaturesCallPickup"),
    RuleSwitch("CallParkSwitch", "FeaturesCallPark"),
    RuleSwitch("GroupCallParkSwitch", "FeaturesCallPark"),
    RuleSwitch("CallParkVisualNotifySwitch", "FeaturesCallPark"),
    RuleSwitch("CallParkRingNotifyType", "FeaturesCallPark"),
    RuleSwitch("CallWaitingSwitch", "FeaturesCallWaiting"),
    RuleText("CallWaitingOnCode", 32, "FeaturesCallWaiting"),
    RuleText("CallWaitingOffCode", 32, "FeaturesCallWaiting"),
    RuleSwitch("AutoRedialSwitch", "FeaturesAutoRedial"),
    RuleNumber("AutoRedialInterval", 1, 300, "FeaturesAutoRedialInterval"),
    RuleNumber("AutoRedialTimes", 1, 300, "FeaturesAutoRedialTimes"),
    RuleNumber("AutoAnswerDelay", 1, 4, "FeaturesAutoAnswerDelay"),
    RuleChoice("NormalRefuseCode", "404|480|486|603", "FeaturesReturnCodeRefuse"),
    RuleChoice("DNDRefuseCode", "404|480|486|603", "FeaturesReturnCodeDND"),
    RuleChoice("BusytoneDelay", "0|3|5", "FeaturesBusytoneDelay"),
    RuleSwitch("CallCompletionSwitch", "FeaturesCallCompletion"),
    RuleSwitch("AllowMute", "FeaturesAllowMute"),
    RuleSwitch("ForwardInternationalEnable", "FeaturesFwdInternational"),
    RuleSwitch("DiversionEnable", "FeaturesDiversionHistoryInfo"),
    RuleSwitch("AllowTransExistCall", "FeaturesAllowTransExistCall"),
    RuleSwitch("SaveCallLogSwitch", "FeaturesSaveCallHistory"),
    RuleSwitch("EnableVoiceMailTone", "FeaturesVoiceMailTone"),
    RuleSwitch("HeadsetPriorSwitch", "FeaturesHeadsetPrior"),
    RuleSwitch("HeadsetTrainingSwitch", "FeaturesDualHeadset"),
    RuleChoice("KeyAsSendSwitch", "0|1|2", "FeaturesKeyasSend"),
    RuleText("HotlineNumber", 32, "FeaturesHotlineNumber"),
    RuleNumber("HotlineDelay", 0, 10, "FeaturesHotlineDelay"),
    RuleNumber("DialNowDelay", 0, 14, "FeaturesTimeOutforDialNow"),
    RuleSwitch("EnableDirectIPCall", "FeaturesDirectIPCall"),
    RuleText("CallNumFilter", 32, "FeaturesCallNumFilter"),
    RuleSwitch("EnablePSWDial", "FeaturesPswDial"),
    RuleText("PSWDialPrefix", 32, "FeaturesPswPrefix"),
    RuleNumber("PSWDialLength", 0, 32, "FeaturesPswLength"),
    RuleSwitch("SipReservePound", "FeaturesReservePound"),
    RuleSwitch("EnableSendPoundKey", "FeaturesSendPoundKey"),
    RuleNumber("Dtmfrep", 1, 3, "FeaturesDTMFRepetition"),
    RuleSwitch("EnableHideDTMF", "FeaturesSuppressDTMFDisplay"),
    RuleSwitch("EnableDTMFDelay", "FeaturesSuppressDTMFDisplayDelay"),
    RuleSwitch("LocalDtmfTone", "FeaturesPlayLocalDTMFTone"),
    RuleSwitch("EnableDTMFReplaceTran", "FeaturesDTMFReplaceTran"),
    RuleText("TransferDTMF", 32, "FeaturesTranSendDTMF"),
    RuleSwitch("PlayHoldToneSwitch", "FeaturesPlayHoldTone"),
    RuleNumber("PlayHoldToneDelay", 3, 3600, "FeaturesPlayHoldToneDelay"),
    RuleNumber("PayloadType", 96, 127, "FeaturesMulticastCodec"),
    RuleSwitch("SipRFC2543Hold", "FeaturesRFC2543Hold"),
    RuleSwitch("SipUseOutBoundInDialog", "FeaturesUseOutboundinDialog"),
    RuleSwitch("Deal180After183", "FeaturesIsDeal180"),
    RuleSwitch("BroadsoftFeatureKeySync", "FeatureKeySynchronisation"),
    RuleNumber("ReLogOffTime", 1, 1000, "FeaturesReLogOffTime"),
    RuleSwitch("LogonWizard", "FeaturesLogonWizard"),
    RuleSwitch("ClosePowerLight", "FeaturesClosePowerLight"),
    RuleChoice("BLFLedMode", "0|1", "FeaturesBLFLedMode"),
    RuleText("DhcpHostnameValue", 63, "FeaturesDhcpHostname"),
    RuleChoice("LCDLogo", "0|1|2", "FeaturesUseLogo"),
    RuleText("TextLogo", 32, "FeaturesUseLogo"),
    RuleSwitch("IntercomAllowance", "FeaturesAllowIntercom"),
    RuleSwitch("IntercomMuteSwitch", "FeaturesIntercomMute"),
    RuleSwitch("IntercomToneSwitch", "FeaturesIntercomTone"),
    RuleSwitch("IntercomBargeSwitch", "FeaturesIntercomBarge"),
    RuleSwitch("LockEnable", "PhoneLockEnable"),
    RuleChoice("PhoneLock", "0|1|2|3", "PhoneKeyboardLock"),
    RuleNumber("LockTimeout", 0, 3600, "PhoneLockTimeout"),
    RuleText("EmergencyNumberList", 99, "PhoneEmergencySetting"),
    RuleSwitch("CommonPowerLightOn", "FeaturesCommonPowerLightOn"),
    RuleSwitch("RingPowerLightFlash", "FeaturesRingPowerLightFlash"),
    RuleSwitch("MailPowerLightFlash", "FeaturesMailPowerLightFlash"),
    RuleSwitch("MutePowerLightFlash", "FeaturesMutePowerLightFlash"),
    RuleSwitch("HoldPowerLightFlash", "FeaturesHoldPowerLightFlash"),
    RuleSwitch("TalkPowerLightFlash", "FeaturesTalkPowerLightFlash"),
    RuleText("PushXMLServerIP", 255, "FeaturesPushxmlServerAddr"),
    RuleSwitch("EnableSIPNotifyPushXML", "FeaturesXMLSIPNotify"),
    RuleSwitch("PushXMLBlockInCalling", "FeaturesXMLBlockInCalling"),
    RuleText("AURILimitIP", 511, "FeaturesActionURILimitIP"),
    RuleSwitch("SemiAttendedTranSwitch", "FeaturesSemiAttendTransfer"),
    RuleSwitch("OnhookBlindTranSwitch", "FeaturesBlindTranOnhook"),
    RuleSwitch("OnhookAttendTranSwitch", "FeaturesSemiAttendTransOnHook"),
    RuleSwitch("TranAfterConfExitSwitch", "FeaturesTransferonConferenceHangup"),
    RuleChoice("TransferModeViaDsskey", "0|1|2", "FeaturesTransferModeViaDsskey"),
    RuleNumber("HeadsetSend", -15, 15),
    RuleSwitch("DndForbidden", "HiddenDNDActive"),
    RuleSwitch("ForwardForbidden", "HiddenForwardActive"),
    RuleSwitch("RedirectEnable", "Redirect-Active"),
    RuleSwitch("EnableReplaceAll"),
    RuleSwitch("FactoryConfigCustomEnabled", "HiddenCustomFactoryConfig"),
    RuleSwitch("BSFTActive", "Broadsoft-Active"),

    // ---- settings pages ----
    RuleNumber("InterDigitTime", 1, 14, "SettingsInterDigitTime"),
    RuleSwitch("PredialAutodial", "SettingsLiveDialpad"),
    RuleSwitch("EnableWatchDog", "SettingsWatchdog"),
    RuleNumber("BacklightLevel", 1, 10),
    RuleNumber("ActiveLevel", 1, 10, "SettingsActiveLevel"),
    RuleChoice("InactiveLevel", "0|1", "SettingsUnusedBackLight"),
    RuleNumber("BacklightTime", 0, 86400, "SettingsBacklightTime"),
    RuleNumber("ContrastLevel", 1, 10, "SettingsContrastCtrl"),
    RuleLevel("LanguageWebLang", "SettingsWebLanguage"),
    RuleLevel("Ringtype", "SettingsRingTypeSetting"),
    RuleLevel("CurrentWallpaper", "SettingsWallpaper"),
    RuleText("UnlockPIN", 15),
    RuleChoice("LocalTimeType", "0|1", "SettingsManualTime"),
    RuleSwitch("LocalTimeDhcpTimeSwitch", "SettingsDHCPTime"),
    RuleChoice("NTPPriority", "0|1", "SettingsNTPPriority"),
    RuleHost("LocalTimeServer1", "SettingsPrimServer"),
    RuleHost("LocalTimeServer2", "SettingsSecServer"),
    RuleNumber("TimeInterval", 15, 86400, "SettingsUpdateInterval"),
    RuleChoice("LocalTimeDaylightSaving", "0|1|2", "SettingsDaylightTime"),
    RuleChoice("DSTTimeType", "0|1", "rowTimeType"),
    RuleNumber("DSTOffSetTime", -300, 300, "offset"),
    RuleChoice("LocalTimeTimeFormatType", "0|1", "SettingsTimeFormatSetting"),
    RuleChoice("LocalTimeDateFormatType", "0|1|2|3|4|5|6", "SettingsDateFormatSetting"),
    RuleLevel("TimeZoneAndName", "SettingsTimeZone"),
    RuleSwitch("CustomSoftkeySwitch", "PhoneCustomSoftKey"),
    {"AreaCodeMinLen", FieldKind::Number, 1, 15, "PhoneAreacodeControl", nullptr, "AreaCodeMaxLen", false},
    RuleNumber("AreaCodeMaxLen", 1, 15, "PhoneAreacodeControl"),
    RuleText("AreaCode", 16, "PhoneAreacodeControl"),
    RuleSwitch("VPMECHO", "PhoneEchoCancellation"),
    RuleSwitch("VPMVAD", "PhoneEchoCancellation"),
    RuleSwitch("VPMCNG", "PhoneEchoCancellation"),
    RuleChoice("JitterType", "0|1", "PhoneJitterBuffer"),
    RuleNumber("JitterMin", 0, 300, "PhoneJitterBuffer"),
    RuleNumber("JitterMax", 0, 300, "PhoneJitterBuffer"),
    RuleNumber("JitterNominal", 0, 300, "PhoneJitterBuffer"),

    // ---- DSS key page ----
    RuleSwitch("EnablePageTips", "DSSKeyLineKey"),
    RuleSwitch("DsskeyLength", "DSSKeyLineKey"),

    // ---- directory pages ----

    // ---- maintenance pages ----
    RuleHost("SyslogServerName", "PhoneSyslog"),
    RuleNumber("ServerLogLevel", 0, 7, "PhoneSystemlogLevel"),
    RuleNumber("SysLogLevel", 0, 7, "PhoneSystemlogLevel"),
    RuleSwitch("ExportCFGClearPWD", "PhoneOptConfigfile"),
    RuleText("AutoProvisionServerURL", 511, "PhoneServerURL"),
    RuleText("AutoProvisionUser", 127, "PhoneAutoProvisionAccount"),
    RuleText("AutoProvisionPassword", 127, "PhoneAutoProvisionPassword"),
    RuleText("AutoProvisionAESKey16", 16, "PhoneCommonAESkey"),
    RuleText("AutoProvisionAESKey16MAC", 16, "PhoneMACOrientedAESkey"),
    RuleSwitch("AutoProvisionEnableDHCPOption", "PhonedhcpActive"),
    {"AutoProvisionOptionType", FieldKind::Number, 128, 254, "PhoneCustomOption", nullptr, nullptr, true},
    RuleText("DhcpOptionValue", 127, "PhoneDHCPOptionValue"),
    RuleSwitch("AutoProvisionEnablePNP", "PhonePNPActive"),
    RuleSwitch("ForbidZeroSwitch", "PhoneZeroSwitch"),
    RuleNumber("ZeroWaitTime", 0, 100, "PhoneWaitTime"),
    RuleSwitch("AutoProvisionPowerOn", "PhonePoweronActive"),
    RuleSwitch("AutoProvisionRepeat", "PhoneRepeatlyActive"),
    RuleNumber("AutoProvisionRepeatMinutes", 1, 43200, "PhoneRepeatInterval"),
    RuleSwitch("AutoProvisionEnableWeekly", "PhoneWeeklyActive"),
    RuleText("AutoProvisionWeeklyBeginTime", 5, "PhoneAutopTime"),
    RuleText("AutoProvisionWeeklyEndTime", 5, "PhoneAutopTime"),
    RuleText("AutoProvisionWeeklyMask", 7, "PhoneDayofWeek"),
    RuleSwitch("TR069ServerTR069Switch", "PhoneEnableTR069"),
    RuleText("TR069ServerURL", 511, "PhoneACSURL"),
    RuleText("TR069ServerUsername", 127, "PhoneACSUsername"),
    RuleText("TR069ServerPassword", 127, "PhoneACSPassword"),
    RuleSwitch("TR069PeriodicInformSwitch", "PhoneEnablePeriodicInform"),
    RuleNumber("TR069PeriodicInformInterval", 5, 4294967, "PhonePeriodicInformInterval"),
    RuleText("TR069ConnectionRequestUsername", 127, "PhoneRequestUsername"),
    RuleText("TR069ConnectionRequestPassword", 127, "PhoneRequestPassword"),

};

constexpr char kMsgTooLong[] = "The value is too long.";
constexpr char kMsgControl[] = "Line breaks and control characters are not allowed.";
constexpr char kMsgNumber[] = "Enter a whole number in the allowed range.";
constexpr char kMsgPort[] = "Enter a port number from 1 to 65535.";
constexpr char kMsgAddress[] = "Enter an IPv4 or IPv6 address.";
constexpr char kMsgHost[] = "Enter a host name or an IP address.";
constexpr char kMsgChoice[] = "Choose one of the offered values.";
constexpr char kMsgOrder[] = "The first value must not be greater than the second.";

// Longest host name (RFC 1035) and label.
constexpr size_t kHostMax = 253;
constexpr size_t kLabelMax = 63;

const std::unordered_map<std::string, const FieldRule*>& RuleIndex()
{
    static const std::unordered_map<std::string, const FieldRule*> index = [] {
        std::unordered_map<std::string, const FieldRule*> map;
        for (const FieldRule& rule : kFieldRules)
            map.emplace(rule.name, &rule);
        return map;
    }();
    return index;
}

bool ParseWhole(const char* text, long long& value)
{
    if (!text || !*text)
        return false;
    const char* digits = *text == '-' ? text + 1 : text;
    if (!*digits || strspn(digits, "0123456789") != strlen(digits))
        return false;
    errno = 0;
    value = strtoll(text, nullptr, 10);
    return errno == 0;
}

bool IsAddress(const char* text)
{
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, text, buffer) == 1 || inet_pton(AF_INET6, text, buffer) == 1;
}

bool IsHostName(const char* text)
{
    size_t length = strlen(text);
    if (length == 0 || length > kHostMax)
        return false;
    size_t label = 0;
    char previous = '.';
    for (const char* p = text; *p; ++p) {
        char c = *p;
        if (c == '.') {
            if (label == 0 || previous == '-')
                return false;
            label = 0;
        } else if (isalnum(static_cast<unsigned char>(c)) || (c == '-' && label > 0) || c == '_') {
            if (++label > kLabelMax)
                return false;
        } else {
            return false;
        }
        previous = c;
    }
    return previous != '-';
}

bool IsChoice(const char* choices, const char* value)
{
    size_t length = strlen(value);
    for (const char* p = choices; p && *p;) {
        const char* bar = strchr(p, '|');
        size_t word = bar ? static_cast<size_t>(bar - p) : strlen(p);
        if (word == length && strncmp(p, value, length) == 0)
            return true;
        p = bar ? bar + 1 : nullptr;
    }
    return false;
}

const FormOverlay* gOverlay = nullptr;

// The request a refused write's form is shown again with: the page's load
// action for the same account.
class ReshowRequest final : public HttpRequest {
public:
    ReshowRequest(HttpRequest* inner, int account)
        : inner_(inner), account_(account >= 0 ? std::to_string(account) : std::string())
    {
    }
    const char* getParameter(const char* name) override
    {
        if (name && strcmp(name, "q") == 0)
            return "load";
        if (name && strcmp(name, "acc") == 0 && !account_.empty())
            return account_.c_str();
        return inner_->getParameter(name);
    }
    const char** getParameterValues(const char* name) override
    {
        return inner_->getParameterValues(name);
    }
    const char* getRequestURL() override { return inner_->getRequestURL(); }
    const char* getRemoteAddr() override { return inner_->getRemoteAddr(); }
    const char* getContentType() override { return inner_->getContentType(); }
    long getContentLength() override { return inner_->getContentLength(); }
    void setLanguage(const char* fileName) override { inner_->setLanguage(fileName); }
    HttpSession* getSession(int create) override { return inner_->getSession(create); }
    void setUploadFileTemplate(const char* pattern) override
    {
        inner_->setUploadFileTemplate(pattern);
    }
    int readBody(char* buffer, int n) override { return inner_->readBody(buffer, n); }

private:
    HttpRequest* inner_;
    std::string account_;
};

std::string ConfigKey(FILETYPE type, const char* name, int account)
{
    return type == FILETYPE_ACCOUNT ? configParser_GetAccountConfigName(name, account) : name;
}

}  // namespace

const FieldRule* FindFieldRule(const char* name)
{
    if (!name)
        return nullptr;
    auto found = RuleIndex().find(name);
    return found == RuleIndex().end() ? nullptr : found->second;
}

const char* CheckFieldValue(const char* name, const char* value)
{
    return CheckFieldValue(FindFieldRule(name), value);
}

const char* CheckFieldValue(const FieldRule* rule, const char* value)
{
    if (!value)
        return nullptr;
    size_t length = strlen(value);
    long long max = rule && rule->kind == FieldKind::Text && rule->max > 0 ? rule->max
                                                                             : kConfigValueMax;
    if (static_cast<long long>(length) > max)
        return kMsgTooLong;
    for (const char* p = value; *p; ++p) {
        if (static_cast<unsigned char>(*p) < 0x20 || *p == 0x7f)
            return kMsgControl;
    }
    if (!rule || (length == 0 && rule->emptyOk))
        return nullptr;
    long long number = 0;
    switch (rule->kind) {
    case FieldKind::Text:
        return nullptr;
    case FieldKind::Number:
        return ParseWhole(value, number) && number >= rule->min && number <= rule->max
                   ? nullptr
                   : kMsgNumber;
    case FieldKind::Port:
        return ParseWhole(value, number) && number >= rule->min && number <= rule->max
                   ? nullptr
                   : kMsgPort;
    case FieldKind::Address:
        return IsAddress(value) ? nullptr : kMsgAddress;
    case FieldKind::Host:
        return IsAddress(value) || IsHostName(value) ? nullptr : kMsgHost;
    case FieldKind::Choice:
        return IsChoice(rule->choices, value) ? nullptr : kMsgChoice;
    }
    return nullptr;
}

std::string FieldLimits(const FieldRule* rule)
{
    if (!rule)
        return std::string();
    std::string required = rule->emptyOk ? "" : " required";
    switch (rule->kind) {
    case FieldKind::Text:
        return "maxlength=\"" + std::to_string(rule->max > 0 ? rule->max : kConfigValueMax) + "\"";
    case FieldKind::Number:
    case FieldKind::Port:
        return "type=\"number\" step=\"1\" min=\"" + std::to_string(rule->min) + "\" max=\"" +
               std::to_string(rule->max) + "\"" + required;
    case FieldKind::Address:
        return "maxlength=\"45\" pattern=\"[0-9A-Fa-f:.]*\"";
    case FieldKind::Host:
        return "maxlength=\"253\" pattern=\"[0-9A-Za-z_.:\\-]*\"";
    case FieldKind::Choice:
        return std::string();
    }
    return std::string();
}

int IdentityRank(const char* identity)
{
    if (identity && strcmp(identity, "admin") == 0)
        return 3;
    if (identity && strcmp(identity, "var") == 0)
        return 2;
    return 1;
}

FieldAccess LevelAccess(const std::string& level, int rank)
{
    if (level.empty())
        return FieldAccess::Change;
    long long see = 0;
    long long change = 0;
    size_t colon = level.find(':');
    std::string first = level.substr(0, colon);
    if (!ParseWhole(first.c_str(), see))
        return FieldAccess::Hidden;  // a level nobody can read protects best
    change = see;
    if (colon != std::string::npos && !ParseWhole(level.c_str() + colon + 1, change))
        return FieldAccess::Hidden;
    if (see <= 0 || rank < see)
        return FieldAccess::Hidden;
    return change > 0 && rank >= change ? FieldAccess::Change : FieldAccess::ReadOnly;
}

FieldAccess GetPageAccess(HttpRequest* request)
{
    const char* page = request ? request->getParameter("p") : nullptr;
    if (!page || !*page)
        return FieldAccess::Change;
    return LevelAccess(GetConfigValue(FILETYPE_GLOBAL, page, 0).substr(0, 15),
                       IdentityRank(GetSessionIdentity(request)));
}

FieldAccess GetFieldAccess(HttpRequest* request, const char* field)
{
    FieldAccess page = GetPageAccess(request);
    if (page != FieldAccess::Change)
        return page;
    const FieldRule* rule = FindFieldRule(field);
    if (!rule || !rule->level)
        return FieldAccess::Change;
    return LevelAccess(GetConfigValue(FILETYPE_GLOBAL, rule->level, 0).substr(0, 15),
                       IdentityRank(GetSessionIdentity(request)));
}

bool MayStoreField(HttpRequest* request, const char* field)
{
    if (GetFieldAccess(request, field) == FieldAccess::Change)
        return true;
    log_log(2, 4, "ip:%s %s may not change %s: ignored",
            request && request->getRemoteAddr() ? request->getRemoteAddr() : "",
            *GetSessionIdentity(request) ? GetSessionIdentity(request) : "nobody", field);
    return false;
}

bool MayChangePage(HttpRequest* request, HttpResponse* response)
{
    if (GetPageAccess(request) == FieldAccess::Change)
        return true;
    log_log(2, 4, "ip:%s %s may not change page %s: refused",
            request && request->getRemoteAddr() ? request->getRemoteAddr() : "",
            *GetSessionIdentity(request) ? GetSessionIdentity(request) : "nobody",
            request && request->getParameter("p") ? request->getParameter("p") : "");
    SetNoticePage(response, false, "notice", "Error:You don't have enough jurisdiction!");
    response->sendError(403);
    return false;
}

// ---- PageWrite -------------------------------------------------------------------

PageWrite::PageWrite(HttpRequest* request, const char* page, int account)
    : request_(request), page_(page ? page : ""), account_(account)
{
    forbidden_ = GetPageAccess(request) != FieldAccess::Change;
    if (forbidden_)
        log_log(2, 4, "%s: write refused to %s", page_.c_str(),
                *GetSessionIdentity(request) ? GetSessionIdentity(request) : "nobody");
}

PageWrite::~PageWrite() = default;

void PageWrite::add(FILETYPE type, const char* const* names, int count)
{
    for (int i = 0; names && i < count; ++i)
        add(type, names[i]);
}

void PageWrite::add(FILETYPE type, const char* name)
{
    const char* value = name && request_ && !forbidden_ ? request_->getParameter(name) : nullptr;
    if (!value || !MayStoreField(request_, name))
        return;
    queue(type, name, value, name);
}

void PageWrite::addAs(FILETYPE type, const char* name, const char* field)
{
    const char* value = field && request_ && !forbidden_ ? request_->getParameter(field) : nullptr;
    if (!value || !MayStoreField(request_, field))
        return;
    queue(type, name, value, field);
}

void PageWrite::addOffered(FILETYPE type, const char* name, TMPL_loop* offered, const char* column)
{
    const char* value = name && request_ && !forbidden_ ? request_->getParameter(name) : nullptr;
    if (value && MayStoreField(request_, name)) {
        if (LoopOffers(offered, column, value)) {
            queue(type, name, value, name);
        } else {
            typed_[ConfigKey(type, name, account_ < 0 ? 0 : account_)] = value;
            log_log(2, 4, "%s: %s is not offered", page_.c_str(), name);
            refuse(name, kMsgChoice);
        }
    }
    TMPL_free_loop(offered);
}

const char* PageWrite::take(const char* field)
{
    const char* value = field && request_ && !forbidden_ ? request_->getParameter(field) : nullptr;
    if (!value || !MayStoreField(request_, field))
        return nullptr;
    typed_[field] = value;
    if (const char* message = CheckFieldValue(field, value)) {
        log_log(2, 4, "%s: value of %s refused: %s", page_.c_str(), field, message);
        refuse(field, message);
        return nullptr;
    }
    return value;
}

void PageWrite::set(FILETYPE type, const char* name, const char* value, const char* field)
{
    if (!name || !value)
        return;
    queue(type, name, value, field ? field : name);
}

void PageWrite::queue(FILETYPE type, const char* name, const char* value, const char* field)
{
    const FieldRule* rule = FindFieldRule(field);
    std::string key = ConfigKey(type, name, account_ < 0 ? 0 : account_);
    typed_[key] = value;
    if (const char* message = CheckFieldValue(rule ? rule : FindFieldRule(name), value)) {
        log_log(2, 4, "%s: value of %s refused: %s", page_.c_str(), field, message);
        refuse(field, message);
        return;
    }
    Item item;
    item.name = name;
    item.key = key;
    item.type = type;
    item.value = value;
    items_.push_back(std::move(item));
}

void PageWrite::refuse(const char* field, const char* message)
{
    errors_.emplace_back(field ? field : "", message ? message : "");
}

bool PageWrite::save()
{
    if (forbidden_)
        return false;
    // Ranges across two fields (RTP min and max), with the stored value
    // standing in for a field that was not posted.
    for (const Item& item : items_) {
        const FieldRule* rule = FindFieldRule(item.name.c_str());
        if (!rule || !rule->atMost)
            continue;
        std::string other;
        bool found = false;
        for (const Item& candidate : items_) {
            if (candidate.name == rule->atMost) {
                other = candidate.value;
                found = true;
            }
        }
        if (!found)
            other = GetConfigValue(item.type, rule->atMost, account_ < 0 ? 0 : account_);
        long long low = 0;
        long long high = 0;
        if (ParseWhole(item.value.c_str(), low) && ParseWhole(other.c_str(), high) && low > high)
            refuse(item.name.c_str(), kMsgOrder);
    }
    if (refused())
        return false;
    std::vector<std::pair<std::string, std::string>> values;
    for (const Item& item : items_)
        values.emplace_back(item.key, item.value);
    std::vector<int> changed;
    if (!values.empty() && configParser_SetConfigStrings(values, &changed) < 0) {
        failed_ = true;
        log_log(2, 3, "%s: settings not stored", page_.c_str());
        return false;
    }
    for (size_t i = 0; i < items_.size() && i < changed.size(); ++i)
        items_[i].changed = changed[i] != 0;
    return true;
}

bool PageWrite::changed(const char* name) const
{
    for (const Item& item : items_) {
        if (name && item.name == name && item.changed)
            return true;
    }
    return false;
}

bool PageWrite::anyChanged() const
{
    for (const Item& item : items_) {
        if (item.changed)
            return true;
    }
    return false;
}

void PageWrite::done(HttpResponse* response)
{
    MarkSaved(request_);
    RedirectToLoad(response, page_.c_str(), account_);
}

const char* PageWrite::posted(const char* field) const
{
    const char* value = field && request_ ? request_->getParameter(field) : nullptr;
    return value ? value : "";
}

int PageWrite::beginReshow(HttpResponse* response, HttpRequest*& wrapped)
{
    if (forbidden_) {
        SetNoticePage(response, false, "notice", "Error:You don't have enough jurisdiction!");
        response->sendError(403);
        return 0;
    }
    if (failed_ || !refused()) {
        SetNoticePage(response, false, page_.c_str(), "Error:The settings could not be saved!");
        response->sendError(500);
        return 0;
    }
    FormOverlay* overlay = new FormOverlay;
    overlay->errors = errors_;
    // What the user typed comes back, refused or not; the bridge escapes it
    // like every value it reads.
    overlay->values = typed_;
    gOverlay = overlay;
    wrapped_ = new ReshowRequest(request_, account_);
    wrapped = wrapped_;
    return 1;
}

void PageWrite::endReshow(HttpResponse* response)
{
    delete gOverlay;
    gOverlay = nullptr;
    delete static_cast<ReshowRequest*>(wrapped_);
    wrapped_ = nullptr;
    response->sendError(400);
}

const FormOverlay* CurrentFormOverlay()
{
    return gOverlay;
}

const char* TypedFormValue(const char* field)
{
    if (!gOverlay || !field)
        return nullptr;
    auto typed = gOverlay->values.find(field);
    return typed == gOverlay->values.end() ? nullptr : typed->second.c_str();
}

bool LoopOffers(const TMPL_loop* loop, const char* column, const char* value)
{
    if (!column || !value)
        return false;
    for (int i = 0; i < TMPL_loop_size(loop); ++i) {
        const char* offered = TMPL_get_var(TMPL_loop_row(loop, i), column);
        if (offered && strcmp(offered, value) == 0)
            return true;
    }
    return false;
}
