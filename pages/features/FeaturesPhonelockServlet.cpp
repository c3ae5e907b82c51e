#include "pages/features/FeaturesPhonelockServlet.h"

#include <cstring>
#include <string>

#include "auth/filePassword.h"
#include "frame/frame.h"
#include "pages/features/FeaturesCommon.h"
#include "platform/registry.h"

namespace {

constexpr char kPinMask[] = "********";
constexpr size_t kPinMax = 15;

const RowChoice kLockTypes[] = {
    {"0", "All Keys"}, {"1", "Function Keys"}, {"2", "Menu Key"}, {"3", "Answer Only"},
};
const FeatureRow kRows[] = {
    Switch("LockEnable", "Phone Lock", "PhoneLockEnable"),
    Choice("PhoneLock", "Lock Type", kLockTypes, "PhoneKeyboardLock",
           "Which keys stop working while the phone is locked."),
    Number("LockTimeout", "Lock Time-out (s)", "PhoneLockTimeout",
           "The phone locks itself after this long without use; 0 locks only on request."),
    Text("EmergencyNumberList", "Emergency", "PhoneEmergencySetting",
         "Numbers a locked phone still dials, separated by commas."),
};
const char* const kQuiet[] = {"EmergencyNumberList"};
const char* const kLock[] = {"LockTimeout", "LockEnable", "PhoneLock"};
const char* const kItems[] = {"PhoneKeyboardLock", "PhoneUnlockPIN", "PhoneLockTimeout",
                              "PhoneEmergencySetting", "PhoneLockEnable"};
const FeaturePage kPage = {"features-phonelock", "features-phonelock", kRows, CountOf(kRows),
                           nullptr, 0, kItems, CountOf(kItems)};

bool IsNewPin(const char* pin)
{
    return pin && strcmp(pin, kPinMask) != 0;
}

bool IsPinText(const char* pin)
{
    size_t length = strlen(pin);
    return length > 0 && length <= kPinMax && strspn(pin, "0123456789") == length;
}

// Only the hash is stored; the mask (what the page shows) keeps it. False
// when it could not be stored.
bool StoreUnlockPin(const char* pin)
{
    _HREGISTRY_* section = OpenUserIni("Phone_Lock", true);
    if (!section)
        return false;
    std::string stored = registryGetString(section, "Unlock_PIN", "");
    std::string hash = filePassword::GetEncryptedText(pin, stored.c_str());
    return !hash.empty() && registrySetString(section, "Unlock_PIN", hash.c_str(), 0) &&
           registryFlush(section);
}

}  // namespace

int FeaturesPhonelockServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<FeaturesPhonelockServlet> kActions[] = {
        {"load", &FeaturesPhonelockServlet::loadConfig},
        {"write", &FeaturesPhonelockServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions, UnknownAction::EmptyAnswer);
}

int FeaturesPhonelockServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    return LoadFeaturePage(kPage, request, response,
                           TMPL_add_var(nullptr, "UnlockPIN", kPinMask, 0));
}

int FeaturesPhonelockServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    log_log(2, 6, "Features Phonelock writeConfig start...");
    PageWrite write(request, kPage.page);
    const char* pin = write.take("UnlockPIN");
    if (IsNewPin(pin) && !IsPinText(pin))
        write.refuse("UnlockPIN", "Enter 1 to 15 digits.");
    write.add(FILETYPE_GLOBAL, kQuiet, CountOf(kQuiet));
    write.add(FILETYPE_GLOBAL, kLock, CountOf(kLock));
    if (!write.save())
        return write.reshow(response, this, &FeaturesPhonelockServlet::loadConfig);
    if (IsNewPin(pin) && !StoreUnlockPin(pin))
        return AnswerNotSaved(response, kPage.page);
    const FeatureGroup lock[] = {Group(kLock, Notify::Post, 20)};
    if (NotifyFeatureGroups(write, lock, CountOf(lock)))
        log_log(2, 6, "Features Phonelock has been changed!");
    return FinishFeatureWrite(write, request, response, kPage.page);
}

TMPL_varlist* FeaturesPhonelockServlet::showItemsByLevel(TMPL_varlist* varlist,
                                                         HttpRequest* request)
{
    return FeaturePageShowLevel(kPage, varlist, request);
}

HttpServlet* createFeaturesPhonelockServlet()
{
    return new FeaturesPhonelockServlet;
}
