// What the directory pages share: the notice texts of the contact manager's
// and the exchange's result codes, the change mark, and photo names.
#pragma once

#include <cstddef>
#include <string>

class HttpRequest;
class HttpResponse;

namespace NS_DIRECTORY {
class CContactLocalManager;
}

// The folder of the user's contact photos (a phone path).
constexpr char kContactPhotoFolder[] = "/data/userdata/contact-image/";
// Room of the notice texts below.
constexpr size_t kContactNoticeSize = 128;

// The notice of a negative contact-manager result; "" for 0.
const char* ContactsErrorText(int code);
void SetContactsErrorNotice(int code, char* out);
// The notice of an exchange result code; "" for 0.
const char* UploadErrorText(int code);
void SetUploadErrorNotice(int code, char* out);

// Whether the request's identity may change the local directory: the page
// level "contacts-basic" and the given item's level (a ShowLevel item name,
// or null for the page alone) must both allow a change.
bool MayChangeDirectory(HttpRequest* request, const char* item);
// The notice for an identity that may not, with the status 403, as the
// frame answers refused file actions.
void RefuseDirectoryChange(HttpResponse* response);

// The manager, after taking in the changes other processes marked in
// "/tmp/contact_update_mark.ini" (and clearing the mark).
NS_DIRECTORY::CContactLocalManager* ContactManagerUpToDate();

// Whether the photo value names a user photo ("Config:<name>"); `name` gets
// the part after the prefix.
bool IsUserPhoto(const std::string& value, std::string* name = nullptr);
// Whether a name can be a file of the photo folder: not empty, at most 255
// bytes, no "/", "\" or control character, not starting with ".". Blanks
// and letters of any language are fine.
bool IsPlainPhotoName(const std::string& name);
// A photo file name made from a display name: every character that cannot
// be part of a plain name becomes "_".
std::string PhotoNameFromText(const std::string& text);
// The real path of a plain photo name in the photo folder.
std::string PhotoRealPath(const std::string& name);

// Percent-encodes everything but letters, digits and "-._~" (for a value
// placed in a redirect URL).
std::string UrlEncodeValue(const std::string& text);

// Width and height of a BMP, JPEG or PNG image from its header; false when
// they cannot be read.
bool ImageDimensions(const std::string& data, int& width, int& height);

// Scales the image at the phone path `source` (removed afterwards) into the
// photo folder as `name` (a plain name with a photo extension), within a
// box x box square. The file appears under its name only when scaling
// succeeded. Returns the scaler's code: 1 done, 2 too large, other failed.
int ScalePhotoInto(const std::string& source, const std::string& name, int box, long maxBytes);
// Stores decoded image bytes as photo `name`: an image that already fits
// the box is kept byte for byte, a larger one is scaled. 1 on success.
int StorePhotoData(const std::string& data, const std::string& name, int box, long maxBytes);
// The extension of a photo name in lower case (".jpg", ".jpeg", ".png",
// ".bmp"), "" for any other name.
std::string PhotoExtension(const std::string& name);
