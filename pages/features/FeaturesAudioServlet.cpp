#include "pages/features/FeaturesAudioServlet.h"

#include "frame/frame.h"
#include "pages/features/FeaturesCommon.h"
#include "platform/msgids.h"

namespace {

constexpr unsigned int kChangedAudio = 11;

const RowChoice kRingerDevices[] = {
    {"0", "Speaker"}, {"1", "Headset"}, {"2", "Headset and Speaker"}};
const FeatureRow kRows[] = {
    Switch("CallWaitingToneSwitch", "Call Waiting Tone", "FeaturesCallWaitingTone",
           "A tone in the call when a second call comes in."),
    Switch("VolumeButtonSoundOn", "Key Tone", "FeaturesButtonSound"),
    Switch("VolumeSendKeySoundOn", "Send Tone", "FeaturesSendSound",
           "A tone when the send key is pressed."),
    Text("ReDialtoneNumber", "Redial Tone", "FeaturesRedialTone",
         "After dialing this number the phone plays a dial tone again (for an outside line)."),
    Choice("RingerDevice", "Ringer Device for Headset", kRingerDevices, "FeaturesRingerDev",
           "Where the phone rings while the headset is in use."),
};
const char* const kStore[] = {"CallWaitingToneSwitch", "VolumeButtonSoundOn",
                              "VolumeSendKeySoundOn", "ReDialtoneNumber", "RingerDevice"};
// The phone takes the audio settings as one, whatever changed.
const FeatureGroup kGroups[] = {Group(kStore, Notify::None)};
const char* const kItems[] = {"FeaturesCallWaitingTone",  "FeaturesButtonSound",
                              "FeaturesSendSound",        "FeaturesRingerDev",
                              "FeaturesHeadsetSendVolume", "FeaturesHandsetSendVolume",
                              "FeaturesHandfreeSendVolume", "FeaturesRedialTone"};
const FeaturePage kPage = {"features-audio", "features-audio", kRows, CountOf(kRows),
                           kGroups, CountOf(kGroups), kItems, CountOf(kItems)};

}  // namespace

int FeaturesAudioServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<FeaturesAudioServlet> kActions[] = {
        {"load", &FeaturesAudioServlet::loadConfig},
        {"write", &FeaturesAudioServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions, UnknownAction::EmptyAnswer);
}

int FeaturesAudioServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    return LoadFeaturePage(kPage, request, response);
}

int FeaturesAudioServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    PageWrite write(request, kPage.page);
    AddFeatureGroups(write, kGroups, CountOf(kGroups));
    if (!write.save())
        return write.reshow(response, this, &FeaturesAudioServlet::loadConfig);
    if (!WantsReboot(request))
        NotifyFeatureChange(Notify::Broadcast, kChangedAudio);
    return FinishFeatureWrite(write, request, response, kPage.page);
}

TMPL_varlist* FeaturesAudioServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return FeaturePageShowLevel(kPage, varlist, request);
}

HttpServlet* createFeaturesAudioServlet()
{
    return new FeaturesAudioServlet;
}
