// Helpers shared by many pages: accounts, option lists, uploads and free
// space, file listing, text and date formatting, base64, shared text slots
// and a few phone messages. None keeps state of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>

#include "containers/zrlist.h"
#include "frame/servlet.h"

struct TMPL_varlist;
struct TMPL_loop;
class HttpRequest;
class HttpResponse;

// ---- Small text helpers ----------------------------------------------------

// Copies text into out (size bytes), cut to size - 1 characters and always
// terminated (a null text gives ""). Returns the characters copied.
size_t CopyText(char* out, size_t size, const char* text);
// Parses a plain decimal (digits, with a leading "-" only when min < 0) in
// min .. max. `out` is set only on success.
bool ParseDecimalInt(const char* text, int min, int max, int& out);

// ---- Accounts --------------------------------------------------------------

// Rows "index", "selected" ("1"/"0"), "accountno" ("Account<n+1>" or "Auto"),
// with a leading "Auto" row (index "-1") when withAuto. A null selection
// selects nothing.
TMPL_loop* GetAccountLoop(const char* selected, bool withAuto);

// The status word of an account status (reply to 0x30006).
constexpr size_t kStatusWordSize = 16;
const char* AccountStatusWord(int status);
void MapAccountStatusToString(char* out, int status);

// The SIP server of an account from its "sipAccount<n>.cfg": server 1, else
// server 2, else the account's own host. 0 for an account out of range.
int GetSipServerHost(std::string& host, std::string& port, int account);
// The first registered account whose "user@host" is address; -1 when none.
int GetAccountID(const char* address);

// ---- Device and system -----------------------------------------------------

TMPL_varlist* GetTR069Supported(TMPL_varlist* varlist);
// Asks the phone to reboot; a negative mode becomes 2.
void sysReboot(int mode);
// Make-call request with the number (and its end) as data. With wait, the
// phone's answer (true when non-zero); otherwise 1 when posted.
int sendMakeCallMsg(unsigned int wparam, int lparam, const char* number, bool wait);

// The directory change mark "/tmp/contact_update_mark.ini".
void SetDefalutUpdate();
bool IsContactNeedUpdate(int& type);

// Named shared text slots (upgrade progress).
void writeShareText(const char* name, const char* text, int size);
std::string readShareText(const char* name);

// ---- Files and uploads -----------------------------------------------------
// Paths are phone paths; they are mapped under the root here.

// Free bytes of the file system holding path (64 KiB less on JFFS2); 0 when
// it cannot be read.
long long GetPartionFreeSize(const char* path);
// Size in bytes, -1 when it cannot be read.
long long GetFileSize(const char* path);
// A file's size, or a folder's own size plus that of everything below it.
long long GetDirSize(const char* path);

// Room for the error texts of CheckUploadFile (44 characters and the end).
constexpr size_t kUploadErrorSize = 45;
// Whether an upload of getContentLength() bytes fits: 1 yes, 0 no (with the
// reason in error, kUploadErrorSize bytes).
int CheckUploadFile(HttpRequest* request, const char* partition, const char* folder, char* error,
                    bool contentOnly, long maxTotal, long leastFree);
// Whether an upload replacing path fits in "/config/"; shows the notice
// "Error:No space left!" and returns 0 when not.
int CheckConfigFreeSize(HttpRequest* request, HttpResponse* response, const char* path,
                        bool isFolder);
// Replaces `to` by `from`: 1 on success, 0 on failure.
int RenameUploadFile(const char* from, const char* to);

// Room for a file name (255 characters and the end).
constexpr size_t kFileNameSize = 256;
// The part after the last "/" or "\" (all of it when neither occurs), cut to
// size - 1 characters. 0 for null arguments.
int GetSimpleUpdateFileName(const char* path, char* out, size_t size = kFileNameSize);

// Image type of file content: 1 bitmap, 2 JPEG, 3 PNG, 0 other.
int GetImageTypeByData(const void* data, size_t length);

// Scales an image with "/phone/scripts/imageScale.sh <source> <width>
// <height> <target> <maxBytes>" (no shell); removes the source when asked.
// Returns the number the script leaves in "/tmp/imageScale.out" (0 when
// missing): 1 scaled and written, 2 resolution too large.
int ProcessUserPhoto(std::string& source, std::string& target, int width, int height,
                     long maxBytes, bool removeSource);

class ReadFiles {
public:
    // Appends the entries of folder (not recursive; not ".", ".." or ".svn")
    // whose names end in extension (any letter case), in directory order.
    // withPath puts the folder and a "/" before each name; without
    // keepExtension the extension is cut off. 1, or 0 when the folder cannot
    // be opened.
    static int FindFiles(std::list<std::string>* out, const std::string& folder,
                         const std::string& extension, bool withPath, bool keepExtension);
};

// ---- Option lists ----------------------------------------------------------

// 0 preference page, 1 account page, 2 contact page, 3 ring page.
typedef int RING_OPERATOR_TYPE;
constexpr RING_OPERATOR_TYPE RING_PREFERENCE = 0;
constexpr RING_OPERATOR_TYPE RING_ACCOUNT = 1;
constexpr RING_OPERATOR_TYPE RING_CONTACT = 2;
constexpr RING_OPERATOR_TYPE RING_PAGE = 3;

// Byte-wise order, ascending when asked.
void sortStringListByName(std::list<std::string>* list, bool ascending);
// The entry at position i (from 0), empty when out of range.
std::string GetStringListByIndex(std::list<std::string>& list, int i);

// Option rows "selValue", "selName", "selected" for each non-empty name.
void AddRingToneLoop(TMPL_loop*& loop, std::list<std::string>& names, const char* selectedName,
                     const char* prefix);
void AddPrefixLoop(TMPL_loop*& loop, std::list<std::string>& names, const char* prefix,
                   const char* selected);
// Ring tones: the extra entry, the system tones, the user tones.
TMPL_loop* GetRingToneLoop(const char* selected, RING_OPERATOR_TYPE kind, bool prefixed);
// For "prefix:name" returns name and copies prefix into prefixOut (cut to
// size - 1 characters); "" for a value without ":".
constexpr size_t kRingPrefixSize = 256;
std::string GetRealRingName(const char* value, char* prefixOut, size_t size = kRingPrefixSize);
TMPL_loop* GetPhotoLoop();
TMPL_loop* GetWallpaperLoop(const char* selected);

// ---- Text and time ---------------------------------------------------------

// Splits text at separator (empty pieces kept). An empty text returns 0 and
// leaves the list alone; otherwise 1.
int String2List(ZRList<std::string>& out, const std::string& text, char separator);
// Strips spaces and tabs at both ends.
void removeSpace(std::string& text);
// "Jan" .. "Dec" for 1 .. 12, "Sun" .. "Sat" for 0 .. 6; "" otherwise.
const char* GetMonth(int month);
const char* GetWeeday(int day);
// Breaks time (local time) into the three date parts, separator and time
// text of the phone's date and time formats. 0 when it cannot be converted.
int LocalTime2StrTime(long time, std::string& first, std::string& second, std::string& third,
                      std::string& separator, std::string& timeText, int dateFormat,
                      int timeFormat);

// The plain text in pieces of 8 characters, each through crypt(3) with salt,
// joined. out holds size bytes (each piece gives 13 characters). 1 on
// success, 0 when an argument is null, crypt refuses or out is too small.
int EncryptString(const char* plain, char* out, size_t size, const char* salt);

// ---- Base64 (standard alphabet, "=" padding, no line breaks) ---------------

// Room for the encoding of n bytes, with the end.
constexpr size_t Base64EncodedRoom(size_t n) { return (n + 2) / 3 * 4 + 1; }
// Encodes into a malloc'ed text (*out; the caller frees it). Returns the text
// length, or -1 (and *out null) on failure.
int base64_encode(const void* data, int size, char** out);
// Decodes until the first character outside the alphabet; out needs
// strlen(text) / 4 * 3 + 2 bytes. Returns the byte count, -1 for a malformed
// final group.
int base64_decode(const char* text, void* out);
// Encodes length bytes into out (Base64EncodedRoom(length) bytes); returns
// the text length.
int Base64Enc(unsigned char* out, const unsigned char* in, int length);
// Decodes groups of 4 into 3 bytes each (characters outside the alphabet,
// and "=", count as 0); -1 when length is not a multiple of 4. out needs
// length / 4 * 3 bytes.
int Base64Dec(unsigned char* out, const unsigned char* in, int length);
// The value 0..63 of an alphabet character, -1 for any other.
int GetBase64Value(char c);
