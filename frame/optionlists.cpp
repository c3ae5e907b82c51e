#include <algorithm>
#include <cstring>
#include <iterator>

#include "frame/helpers.h"
#include "platform/system.h"
#include "platform/tmpl.h"

namespace {

constexpr char kSystemSounds[] = "/phone/resource/sysdata/sound/";
constexpr char kUserSounds[] = "/data/userdata/sound/";
constexpr char kSystemPhotos[] = "/phone/resource/sysdata/contact-image/";
constexpr char kUserPhotos[] = "/data/userdata/contact-image/";
constexpr char kSystemWallpapers[] = "/phone/resource/sysdata/wallpaper/";
constexpr char kUserWallpapers[] = "/data/userdata/wallpaper/";

// File names (with extension, without path) of a folder, one extension after
// the other.
std::list<std::string> ListFolder(const char* folder, std::initializer_list<const char*> extensions,
                                  bool sorted)
{
    std::list<std::string> names;
    for (const char* extension : extensions)
        ReadFiles::FindFiles(&names, folder, extension, false, true);
    if (sorted)
        sortStringListByName(&names, true);
    return names;
}

void AddOptionRow(TMPL_loop*& loop, const std::string& value, const std::string& name,
                  const char* selected)
{
    TMPL_varlist* row = TMPL_add_var(nullptr, "selValue", value.c_str(), "selName", name.c_str(), 0);
    if (selected)
        row = TMPL_add_var(row, "selected", selected, 0);
    loop = TMPL_add_varlist(loop, row);
}

// The name part of a ring value: after its last "/", else its last ":".
std::string RingNameOf(const char* selected)
{
    if (!selected)
        return std::string();
    const char* slash = strrchr(selected, '/');
    if (slash)
        return slash + 1;
    const char* colon = strrchr(selected, ':');
    return colon ? colon + 1 : selected;
}

}  // namespace

void sortStringListByName(std::list<std::string>* list, bool ascending)
{
    if (!list)
        return;
    // std::string compares bytes as unsigned values, as strcmp does.
    if (ascending)
        list->sort();
    else
        list->sort([](const std::string& a, const std::string& b) { return b < a; });
}

std::string GetStringListByIndex(std::list<std::string>& list, int i)
{
    if (i < 0 || static_cast<size_t>(i) >= list.size())
        return std::string();
    return *std::next(list.begin(), i);
}

void AddRingToneLoop(TMPL_loop*& loop, std::list<std::string>& names, const char* selectedName,
                     const char* prefix)
{
    for (const std::string& name : names) {
        if (name.empty())
            continue;
        bool bare = !prefix || !*prefix || name == "Common" || name == "Auto";
        std::string value = bare ? name : std::string(prefix) + ":" + name;
        bool chosen = selectedName && name == selectedName;
        AddOptionRow(loop, value, name, chosen ? "selected" : "");
    }
}

void AddPrefixLoop(TMPL_loop*& loop, std::list<std::string>& names, const char* prefix,
                   const char* selected)
{
    for (const std::string& name : names) {
        if (name.empty())
            continue;
        std::string value = prefix && *prefix ? std::string(prefix) + ":" + name : name;
        const char* mark = nullptr;
        if (selected)
            mark = value == selected ? "selected" : "";
        AddOptionRow(loop, value, name, mark);
    }
}

TMPL_loop* GetRingToneLoop(const char* selected, RING_OPERATOR_TYPE kind, bool prefixed)
{
    std::string selectedName = RingNameOf(selected);
    std::list<std::string> extra;
    if (kind == RING_ACCOUNT)
        extra.push_back("Common");
    else if (kind == RING_CONTACT)
        extra.push_back("Auto");
    std::list<std::string> system = ListFolder(kSystemSounds, {".wav"}, true);
    std::list<std::string> user = ListFolder(kUserSounds, {".wav"}, true);

    int position = 0;
    if (kind == RING_PAGE && ParseDecimalInt(selected, 1, 1 << 30, position)) {
        std::list<std::string> all = system;
        all.insert(all.end(), user.begin(), user.end());
        selectedName = GetStringListByIndex(all, position - 1);
    }

    TMPL_loop* loop = nullptr;
    AddRingToneLoop(loop, extra, selectedName.c_str(), prefixed ? "Default" : nullptr);
    AddRingToneLoop(loop, system, selectedName.c_str(), prefixed ? "Resource" : nullptr);
    AddRingToneLoop(loop, user, selectedName.c_str(), prefixed ? "Config" : nullptr);
    return loop;
}

std::string GetRealRingName(const char* value, char* prefixOut, size_t size)
{
    CopyText(prefixOut, size, "");
    const char* colon = value ? strchr(value, ':') : nullptr;
    if (!colon)
        return std::string();
    if (prefixOut && size > 0) {
        size_t length = std::min(static_cast<size_t>(colon - value), size - 1);
        memcpy(prefixOut, value, length);
        prefixOut[length] = '\0';
    }
    return colon + 1;
}

TMPL_loop* GetPhotoLoop()
{
    std::list<std::string> builtIn = {"default_contact_image.png"};
    std::list<std::string> system = ListFolder(kSystemPhotos, {".png"}, false);
    std::list<std::string> user = ListFolder(kUserPhotos, {".jpeg", ".jpg", ".png", ".bmp"}, false);
    TMPL_loop* loop = nullptr;
    AddPrefixLoop(loop, builtIn, "Default", nullptr);
    AddPrefixLoop(loop, system, "Resource", nullptr);
    AddPrefixLoop(loop, user, "Config", nullptr);
    return loop;
}

TMPL_loop* GetWallpaperLoop(const char* selected)
{
    if (!selected) {
        log_log(2, 4, "GetWallpaperLoop para error");
        return nullptr;
    }
    std::list<std::string> builtIn = {"Default.jpg"};
    std::list<std::string> system = ListFolder(kSystemWallpapers, {".png", ".jpg"}, true);
    std::list<std::string> user = ListFolder(kUserWallpapers, {".png", ".jpg", ".bmp"}, true);
    TMPL_loop* loop = nullptr;
    AddPrefixLoop(loop, builtIn, "Default", selected);
    AddPrefixLoop(loop, system, "Resource", selected);
    AddPrefixLoop(loop, user, "Config", selected);
    return loop;
}
