#include "pages/settings/SettingsPreferenceServlet.h"

#include <cstdio>
#include <list>
#include <unistd.h>

#include "frame/fieldrules.h"
#include "frame/frame.h"
#include "pages/settings/SettingsCommon.h"
#include "platform/msgids.h"

namespace {

constexpr char kPage[] = "settings-preference";
constexpr char kSoundFolder[] = "/data/userdata/sound/";
constexpr char kWallpaperFolder[] = "/data/userdata/wallpaper/";
constexpr char kLanguageFolder[] = "/phone/www/htdocs/language";
constexpr char kPasswordMask[] = "********";
constexpr char kDefaultWallpaper[] = "pictures (01).png";
constexpr long kRingMaxBytes = 8388608;
constexpr long kRingLeastFree = 2555904;
constexpr long kWallpaperLimit = 5242880;
constexpr long kWallpaperMaxBytes = 5242280;
constexpr int kScreenWidth = 480;
constexpr int kScreenHeight = 272;
constexpr unsigned int kChangedWatchdog = 41;
constexpr unsigned int kChangedRings = 53;
constexpr unsigned int kChangedPreference = 85;
constexpr unsigned int kChangedWallpaper = 86;

const char* const kLoaded[] = {"Ringtype",        "BacklightLevel", "BacklightTime",
                               "PredialAutodial", "LanguageWebLang", "EnableWatchDog",
                               "InterDigitTime"};
const char* const kGroup[] = {"PredialAutodial", "LanguageWebLang", "EnableWatchDog",
                              "InterDigitTime"};
const char* const kItems[] = {
    "SettingsWebLanguage",   "SettingsLiveDialpad",   "SettingsInterDigitTime",
    "SettingsUnusedBackLight", "SettingsBacklightTime", "SettingsContrastCtrl",
    "SettingsWatchdog",      "SettingsRingTypeSetting", "SettingsActiveLevel",
    "SettingsWallpaper",
};

void PostScreen(unsigned int id, unsigned int wparam)
{
    if (HTHREAD screen = msgGetThreadByName("app_vpScreen"))
        msgPostMsgToThread(screen, id, wparam, 0);
}

TMPL_loop* LevelLoop(const std::string& selected)
{
    TMPL_loop* loop = nullptr;
    for (int level = 1; level <= 10; ++level) {
        std::string text = std::to_string(level);
        loop = TMPL_add_varlist(loop, TMPL_add_var(nullptr, "selValue", text.c_str(), "selName",
                                                   text.c_str(), "selected",
                                                   text == selected ? "selected" : "", 0));
    }
    return loop;
}

// The user's own files of a folder, as "Config:" values, for deleting.
TMPL_loop* UserMediaLoop(const char* folder, std::initializer_list<const char*> extensions)
{
    std::list<std::string> names;
    for (const char* extension : extensions)
        ReadFiles::FindFiles(&names, folder, extension, false, true);
    sortStringListByName(&names, true);
    TMPL_loop* loop = nullptr;
    for (const std::string& name : names) {
        if (!IsMediaFileName(name))
            continue;
        std::string shown = EscapeHtml(name);
        std::string value = EscapeHtml("Config:" + name);
        loop = TMPL_add_varlist(loop, TMPL_add_var(nullptr, "selValue", value.c_str(), "selName",
                                                   shown.c_str(), 0));
    }
    return loop;
}

void RemoveMedia(const std::string& folder, const std::string& name)
{
    std::string path = phonePath(folder + name);
    unlink(path.c_str());
    unlink((path + ".MD5").c_str());
}

bool IsWave(const std::string& phoneFile)
{
    char head[12] = {};
    FILE* file = fopen(phonePath(phoneFile).c_str(), "rb");
    if (!file)
        return false;
    size_t n = fread(head, 1, sizeof head, file);
    fclose(file);
    return n == sizeof head && memcmp(head, "RIFF", 4) == 0 && memcmp(head + 8, "WAVE", 4) == 0;
}

// Entry 0 of an upload field is the stored file, entry 1 the browser's name.
void UploadOf(HttpRequest* request, const char* field, std::string& stored, std::string& name)
{
    const char** values = request->getParameterValues(field);
    stored = values && values[0] ? values[0] : "";
    name.clear();
    if (values && values[0] && values[1]) {
        char simple[kFileNameSize] = "";
        GetSimpleUpdateFileName(values[1], simple, sizeof simple);
        name = simple;
    }
}


}  // namespace

std::string MediaNameOf(const char* value, std::string* prefix)
{
    char prefixText[kRingPrefixSize] = "";
    std::string name = GetRealRingName(value, prefixText, sizeof prefixText);
    if (prefix)
        *prefix = prefixText;
    return IsMediaFileName(name) ? name : std::string();
}

int SettingsPreferenceServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<SettingsPreferenceServlet> kActions[] = {
        {"load", &SettingsPreferenceServlet::loadConfig},
        {"write", &SettingsPreferenceServlet::writeConfig},
        {"upload", &SettingsPreferenceServlet::upload},
        {"deleteRing", &SettingsPreferenceServlet::DeleteRing},
        {"uploadWallpaper", &SettingsPreferenceServlet::UploadWallpaper},
        {"deleteWallpaper", &SettingsPreferenceServlet::DeleteWallpaper},
    };
    return DispatchPageAction(this, request, response, kActions);
}

TMPL_varlist* SettingsPreferenceServlet::showItemsByLevel(TMPL_varlist* varlist,
                                                          HttpRequest* request)
{
    return AddSettingsLevel(varlist, request, kPage, kItems, CountOf(kItems));
}

int SettingsPreferenceServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    TMPL_varlist* varlist = readConfigOperate(FILETYPE_GLOBAL, kLoaded, CountOf(kLoaded), nullptr, 0);
    varlist = TMPL_add_var(varlist, "ColorfulScreen", "true", 0);
    varlist = readConfigOperate(FILETYPE_GLOBAL, "InactiveLevel", varlist, 0);
    std::string wallpaper = GetConfigValue(FILETYPE_GLOBAL, "CurrentWallpaper", 0);
    varlist = TMPL_add_loop(varlist, "wallpaperLoop", GetWallpaperLoop(wallpaper.c_str()));
    varlist = TMPL_add_loop(varlist, "activeLevelLoop",
                            LevelLoop(GetConfigValue(FILETYPE_GLOBAL, "ActiveLevel", 0)));
    std::string ring = GetConfigValue(FILETYPE_GLOBAL, "Ringtype", 0);
    varlist = TMPL_add_loop(varlist, "ringTypeloop", GetRingToneLoop(ring.c_str(), RING_PREFERENCE, true));
    varlist = TMPL_add_loop(varlist, "contrastLoop",
                            LevelLoop(GetConfigValue(FILETYPE_GLOBAL, "ContrastLevel", 0)));
    std::list<std::string> languages;
    ReadFiles::FindFiles(&languages, kLanguageFolder, ".js", false, false);
    TMPL_loop* languageLoop = nullptr;
    for (const std::string& name : languages) {
        if (name.empty())
            continue;
        std::string text = EscapeHtml(name);
        languageLoop = TMPL_add_varlist(languageLoop, TMPL_add_var(nullptr, "selValue", text.c_str(),
                                                                   "selName", text.c_str(), 0));
    }
    varlist = TMPL_add_loop(varlist, "languageLoop", languageLoop);
    varlist = TMPL_add_loop(varlist, "userRingLoop", UserMediaLoop(kSoundFolder, {".wav"}));
    varlist = TMPL_add_loop(varlist, "userWallpaperLoop",
                            UserMediaLoop(kWallpaperFolder, {".png", ".jpg", ".bmp"}));
    varlist = readConfigOperate(FILETYPE_GLOBAL, "CurrentWallpaper", varlist, 0);
    RenderPage(response, "settings-preference.htm", showItemsByLevel(varlist, request));
    return 1;
}

int SettingsPreferenceServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    std::string watchdog = GetConfigValue(FILETYPE_GLOBAL, "EnableWatchDog", 0);
    PageWrite write(request, kPage);
    write.add(FILETYPE_GLOBAL, kGroup, CountOf(kGroup));
    const char* const screen[] = {"BacklightLevel", "BacklightTime", "ContrastLevel",
                                  "InactiveLevel", "ActiveLevel"};
    write.add(FILETYPE_GLOBAL, screen, CountOf(screen));
    // A wallpaper or ring value names a file the phone opens: only the
    // values the page offers are stored.
    std::string wallpaper = GetConfigValue(FILETYPE_GLOBAL, "CurrentWallpaper", 0);
    write.addOffered(FILETYPE_GLOBAL, "CurrentWallpaper", GetWallpaperLoop(wallpaper.c_str()));
    write.addOffered(FILETYPE_GLOBAL, "Ringtype", GetRingToneLoop("", RING_PREFERENCE, true));
    const char* pin = request->getParameter("UnlockPIN");
    if (pin && strcmp(pin, kPasswordMask) != 0)
        write.add(FILETYPE_GLOBAL, "UnlockPIN");
    if (!write.save())
        return write.reshow(response, this, &SettingsPreferenceServlet::loadConfig);

    if (write.changed("BacklightLevel"))
        PostScreen(kMsgScreenBacklightLevel,
                   static_cast<unsigned int>(configParser_GetConfigInt("BacklightLevel")));
    if (write.changed("BacklightTime"))
        PostScreen(kMsgScreenBacklightTime, 0);
    if (write.changed("ContrastLevel"))
        PostScreen(kMsgScreenContrast,
                   static_cast<unsigned int>(configParser_GetConfigInt("ContrastLevel")));
    if (write.changed("ActiveLevel") || write.changed("BacklightTime"))
        PostPhoneChange(kChangedPreference, 0);
    if (write.changed("CurrentWallpaper")) {
        PostPhoneChange(kChangedWallpaper, 1);
        PostPhoneChange(kChangedWallpaper, 0);
    }
    const char* postedWatchdog = request->getParameter("EnableWatchDog");
    if (postedWatchdog && watchdog != postedWatchdog)
        BroadcastChange(kChangedWatchdog, 0);
    if (const char* language = request->getParameter("LanguageGuiLang"))
        request->setLanguage(language);
    write.done(response);
    return 1;
}

int SettingsPreferenceServlet::upload(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    if (!MayChangePage(request, response))
        return 0;
    char error[kUploadErrorSize] = "";
    if (!CheckUploadFile(request, "/data/", kSoundFolder, error, true, kRingMaxBytes,
                         kRingLeastFree)) {
        log_log(2, 4, "Upload ring failed!\n");
        SetNoticePage(response, false, kPage, error);
        return 0;
    }
    request->setUploadFileTemplate("/data/userdata/sound/ringtone_XXXXXX");
    std::string stored, name;
    UploadOf(request, "nameUploadRing", stored, name);
    const char* refusal = nullptr;
    if (stored.empty() || name.empty())
        refusal = "Error:File isn't exist!";
    else if (!IsMediaFileName(name) || !HasExtension(name, {".wav"}))
        refusal = "Error:Only WAV files can be uploaded!";
    else if (!IsWave(stored))
        refusal = "Error:This is not a WAV file!";
    else if (!RenameUploadFile(stored.c_str(), (kSoundFolder + name).c_str()))
        refusal = "Error:File upload error!";
    if (refusal) {
        if (!stored.empty())
            unlink(phonePath(stored).c_str());
        log_log(2, 4, "Upload ring: %s failed!\n", name.c_str());
        SetNoticePage(response, false, kPage, refusal);
        return 0;
    }
    PostPhoneChange(kChangedRings, 0);
    MarkSaved(request);
    RedirectToLoad(response, kPage);
    log_log(2, 6, "Upload ring: %s success!\n", name.c_str());
    return 1;
}

int SettingsPreferenceServlet::DeleteRing(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    if (!MayChangePage(request, response))
        return 0;
    const char* posted = request->getParameter("Ringtype");
    std::string name = MediaNameOf(posted);
    if (name.empty()) {
        log_log(2, 4, "get ring name is empty!\n");
        SetNoticePage(response, false, kPage, "Error:Delete ring error!");
        return 0;
    }
    std::string current = GetConfigValue(FILETYPE_GLOBAL, "Ringtype", 0);
    if (current == name)
        writeConfigOperate(FILETYPE_GLOBAL, "Ringtype", "Ring1.wav", 0);
    else if (current == posted)
        writeConfigOperate(FILETYPE_GLOBAL, "Ringtype", "Resource:Ring1.wav", 0);
    RemoveMedia(kSoundFolder, name);
    PostPhoneChange(kChangedRings, 0);
    MarkSaved(request);
    RedirectToLoad(response, kPage);
    log_log(2, 6, "Delete ring: %s success!\n", name.c_str());
    return 1;
}

int SettingsPreferenceServlet::UploadWallpaper(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    if (!MayChangePage(request, response))
        return 0;
    if (request->getContentLength() >= kWallpaperLimit) {
        const char* text = "The file is too large,please less than 5M!";
        log_log(2, 4, "Import wallpaper error: %s\n", text);
        SetNoticePage(response, false, kPage, text);
        return 0;
    }
    // The wallpaper folder keeps the same free room on "/data/" as ring tones.
    char error[kUploadErrorSize] = "";
    if (!CheckUploadFile(request, "/data/", kWallpaperFolder, error, true, kWallpaperLimit,
                         kRingLeastFree)) {
        log_log(2, 4, "Import wallpaper error: %s\n", error);
        SetNoticePage(response, false, kPage, error);
        return 0;
    }
    request->setUploadFileTemplate("/data/userdata/wallpaper/ringtone_XXXXXX");
    std::string stored, name;
    UploadOf(request, "nameUploadWallpaper", stored, name);
    const char* refusal = nullptr;
    std::string temporary;
    if (stored.empty() || name.empty()) {
        refusal = "Error:File isn't exist!";
    } else if (!IsMediaFileName(name) || !HasExtension(name, {".png", ".jpg", ".bmp"})) {
        refusal = "Error:Only PNG, JPG and BMP pictures can be uploaded!";
    } else {
        // Scaled beside the target first: a picture that fails must not
        // remove the wallpaper of the same name already there.
        std::string extension = name.substr(name.rfind('.'));
        temporary = std::string(kWallpaperFolder) + ".scaled_" + std::to_string(getpid()) + extension;
        int result = ProcessUserPhoto(stored, temporary, kScreenWidth, kScreenHeight,
                                      kWallpaperMaxBytes, true);
        if (result == 2)
            refusal = "Fail to upload photo ! [The Resolution of the picture is too large]";
        else if (result != 1 || !RenameUploadFile(temporary.c_str(), (kWallpaperFolder + name).c_str()))
            refusal = "Fail to upload photo ! [Can not compress the picture]";
    }
    if (!stored.empty())
        unlink(phonePath(stored).c_str());
    if (refusal) {
        if (!temporary.empty())
            unlink(phonePath(temporary).c_str());
        log_log(2, 4, "Import wallpaper error: %s\n", refusal);
        SetNoticePage(response, false, kPage, refusal);
        return 0;
    }
    PostPhoneChange(kChangedWallpaper, 1);
    log_log(2, 6, "Import wallpaper success!\n");
    MarkSaved(request);
    RedirectToLoad(response, kPage);
    return 1;
}

int SettingsPreferenceServlet::DeleteWallpaper(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    if (!MayChangePage(request, response))
        return 0;
    const char* posted = request->getParameter("Wallpapertype");
    std::string prefix;
    std::string name = MediaNameOf(posted, &prefix);
    if (name.empty() || prefix != "Config") {
        log_log(2, 4, name.empty() ? "Wallpaper name error.\n"
                                   : "False:only can remove config Wallpaper.\n");
        SetNoticePage(response, false, kPage, "Error:Only uploaded wallpapers can be deleted!");
        return 0;
    }
    if (GetConfigValue(FILETYPE_GLOBAL, "CurrentWallpaper", 0) == posted)
        writeConfigOperate(FILETYPE_GLOBAL, "CurrentWallpaper", kDefaultWallpaper, 0);
    RemoveMedia(kWallpaperFolder, name);
    PostPhoneChange(kChangedWallpaper, 1);
    MarkSaved(request);
    RedirectToLoad(response, kPage);
    return 1;
}

HttpServlet* createSettingsPreferenceServlet()
{
    return new SettingsPreferenceServlet;
}
