#include "directory/ContactsCommon.h"

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

#include "frame/configbridge.h"
#include "frame/fieldrules.h"
#include "frame/helpers.h"
#include "frame/servlet.h"
#include "platform/contactmanager.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace {

struct CodeText {
    int code;
    const char* text;
};

const CodeText kContactErrors[] = {
    {-1, "Error:Group already existed!"},   {-2, "Error:Contact already existed!"},
    {-3, "Error:Invalid group id!"},        {-4, "Error:Group not existed!"},
    {-5, "Error:Contact not existed!"},     {-6, "Error:Group can not delete!"},
    {-7, "Error:Contact list is full!"},    {-8, "Error:Black list is full!"},
    {-9, "Error:Group  list is full!"},     {-10, "Error:Contact is not local!"},
    {-12, "Error:Contact is not black!"},   {-13, "Error:Contact is asyncing!"},
    {-14, "Error:Network error!"},          {-15, "Error:Photo name error!"},
};

const CodeText kUploadErrors[] = {
    {1, "Error:Invalid file!"},          {2, "Error:Duplicate group!"},
    {3, "Error:Duplcate contact!"},      {4, "Error:Too many group!"},
    {5, "Error:Too many local contact!"}, {6, "Error:Too many blacklist!"},
    {7, "Error:Invalid path!"},          {8, "Error:Group empty!"},
    {9, "Error:Contact name empty!"},    {10, "Error:No default group!"},
    {11, "Error:No contact group!"},     {12, "Error:Contact is asyncing!"},
};

template <size_t N>
const char* lookUp(const CodeText (&table)[N], int code, const char* other)
{
    if (code == 0)
        return "";
    for (const CodeText& entry : table)
        if (entry.code == code)
            return entry.text;
    return other;
}

constexpr char kConfigPrefix[] = "Config:";

}  // namespace

const char* ContactsErrorText(int code)
{
    return lookUp(kContactErrors, code, "Error:Other error!");
}

void SetContactsErrorNotice(int code, char* out)
{
    CopyText(out, kContactNoticeSize, ContactsErrorText(code));
}

const char* UploadErrorText(int code)
{
    return lookUp(kUploadErrors, code, "Error:Upload error!");
}

void SetUploadErrorNotice(int code, char* out)
{
    CopyText(out, kContactNoticeSize, UploadErrorText(code));
}

bool MayChangeDirectory(HttpRequest* request, const char* item)
{
    int rank = IdentityRank(GetSessionIdentity(request));
    for (const char* level : {"contacts-basic", item}) {
        if (level && LevelAccess(GetConfigValue(FILETYPE_GLOBAL, level, 0).substr(0, 15), rank) !=
                         FieldAccess::Change) {
            log_log(2, 4, "%s may not change the directory (%s)", GetSessionIdentity(request), level);
            return false;
        }
    }
    return true;
}

void RefuseDirectoryChange(HttpResponse* response)
{
    SetNoticePage(response, false, "contactsbasic", "Error:You don't have enough jurisdiction!");
    response->sendError(403);
}

NS_DIRECTORY::CContactLocalManager* ContactManagerUpToDate()
{
    NS_DIRECTORY::CContactLocalManager* manager = NS_DIRECTORY::CContactLocalManager::GetInstance();
    int type = 0;
    if (manager && IsContactNeedUpdate(type)) {
        if (type & 2)
            manager->ReloadGroupXml();
        if (type & 1)
            manager->ReloadContactXml();
        SetDefalutUpdate();
    }
    return manager;
}

bool IsUserPhoto(const std::string& value, std::string* name)
{
    if (value.compare(0, sizeof kConfigPrefix - 1, kConfigPrefix) != 0)
        return false;
    if (name)
        *name = value.substr(sizeof kConfigPrefix - 1);
    return true;
}

bool IsPlainPhotoName(const std::string& name)
{
    if (name.empty() || name.size() > 255 || name[0] == '.')
        return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\')
            return false;
    return true;
}

std::string PhotoNameFromText(const std::string& text)
{
    std::string name;
    for (unsigned char c : text)
        name += (c < 0x20 || c == 0x7F || c == '/' || c == '\\') ? '_' : static_cast<char>(c);
    if (name.size() > 200)
        name.resize(200);  // room for an extension; a cut UTF-8 letter is only a name
    if (name.empty() || name[0] == '.')
        name.insert(0, "_");
    return name;
}

std::string PhotoRealPath(const std::string& name)
{
    return phonePath(std::string(kContactPhotoFolder) + name);
}

std::string UrlEncodeValue(const std::string& text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '.' || c == '_' || c == '~';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

namespace {

unsigned Big16(const unsigned char* p) { return (p[0] << 8) | p[1]; }
unsigned long Big32(const unsigned char* p)
{
    return (static_cast<unsigned long>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}
long Little32(const unsigned char* p)
{
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (p[1] << 8) | (p[2] << 16) |
                                (static_cast<uint32_t>(p[3]) << 24));
}

// A new empty file in /tmp with the extension; its phone path, "" on failure.
std::string TempPhotoFile(const std::string& extension)
{
    std::string real = phonePath("/tmp/photoscale_XXXXXX") + extension;
    int fd = mkstemps(real.data(), static_cast<int>(extension.size()));
    if (fd < 0)
        return std::string();
    close(fd);
    return real.substr(phoneRoot().size());
}

}  // namespace

bool ImageDimensions(const std::string& data, int& width, int& height)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data.data());
    size_t n = data.size();
    switch (GetImageTypeByData(p, n)) {
    case 1:  // BMP: the info header follows the 14-byte file header
        if (n < 26)
            return false;
        width = static_cast<int>(Little32(p + 18));
        height = static_cast<int>(std::labs(Little32(p + 22)));
        return width > 0 && height > 0;
    case 3:  // PNG: IHDR is the first chunk
        if (n < 24)
            return false;
        width = static_cast<int>(std::min(Big32(p + 16), 0x7FFFFFFFUL));
        height = static_cast<int>(std::min(Big32(p + 20), 0x7FFFFFFFUL));
        return width > 0 && height > 0;
    case 2:  // JPEG: walk the markers to the frame header
        for (size_t i = 2; i + 9 < n;) {
            if (p[i] != 0xFF)
                return false;
            unsigned marker = p[i + 1];
            if (marker == 0xFF) {
                ++i;
                continue;
            }
            size_t length = Big16(p + i + 2);
            bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                         marker != 0xCC;
            if (frame) {
                height = static_cast<int>(Big16(p + i + 5));
                width = static_cast<int>(Big16(p + i + 7));
                return width > 0 && height > 0;
            }
            if (length < 2)
                return false;
            i += 2 + length;
        }
        return false;
    default:
        return false;
    }
}

std::string PhotoExtension(const std::string& name)
{
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos)
        return std::string();
    std::string extension = name.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(tolower(c)); });
    for (const char* known : {".jpg", ".jpeg", ".png", ".bmp"})
        if (extension == known)
            return extension;
    return std::string();
}

int ScalePhotoInto(const std::string& source, const std::string& name, int box, long maxBytes)
{
    std::string extension = PhotoExtension(name);
    std::string staged = extension.empty() || !IsPlainPhotoName(name) ? "" : TempPhotoFile(extension);
    if (staged.empty()) {
        unlink(phonePath(source).c_str());
        return 0;
    }
    std::string sourceCopy = source;
    int result = ProcessUserPhoto(sourceCopy, staged, box, box, maxBytes, true);
    std::string target = std::string(kContactPhotoFolder) + name;
    if (result == 1 && (!makeDirs(phonePath(kContactPhotoFolder)) ||
                        !RenameUploadFile(staged.c_str(), target.c_str())))
        result = 0;
    if (result != 1)
        unlink(phonePath(staged).c_str());
    return result;
}

int StorePhotoData(const std::string& data, const std::string& name, int box, long maxBytes)
{
    int width = 0, height = 0;
    if (!IsPlainPhotoName(name))
        return 0;
    if (ImageDimensions(data, width, height) && width <= box && height <= box &&
        static_cast<long long>(data.size()) <= maxBytes) {
        // Already small enough: kept as it is, so an export and an import
        // give back the very same file.
        return makeDirs(phonePath(kContactPhotoFolder)) && writeFileAtomic(PhotoRealPath(name), data)
                   ? 1 : 0;
    }
    std::string staged = TempPhotoFile(".img");
    if (staged.empty() || !writeFileAtomic(phonePath(staged), data))
        return 0;
    return ScalePhotoInto(staged, name, box, maxBytes);
}
