// The web password file: one "name:hash" line per user, the hash made of
// 13-character DES crypt(3) blocks (see GetEncryptedText). One object lives
// for one request: it loads the file, changes its own list, and SaveToFile
// writes the list back whole.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "frame/http.h"

// The phone path of the web password file.
constexpr char kPasswordFile[] = "/config/data/htpasswd";

class filePassword {
public:
    typedef std::pair<std::string, std::string> Entry;  // user name, hash

    // Loads the file at a phone path; a missing or unreadable file (or a
    // folder, such as "/") gives an empty list.
    explicit filePassword(const char* path);

    // 1 when the user is listed and the password hashes to the stored hash.
    int IsRightUserPassword(const char* user, const char* password) const;
    // 1 when the user was added or the hash changed, 0 when the password is
    // the one already stored, -1 for a name the file cannot hold (null,
    // empty, or with ":" or a control character). Only the list changes.
    int SetUserPassword(const char* user, const char* password);
    // 1 when the first entry of that name was removed, 0 when none.
    int RemoveUser(const char* user);
    // Writes the whole list to the phone path through a temporary file, so
    // a crash leaves the old file or the new one. 1 saved, 0 not.
    int SaveToFile(const char* path) const;

    // The hash of the password's leading printable run, one block per 8
    // characters (at least one). Each block takes its salt from `salt` (a
    // stored hash reuses its own salts); missing salt characters are drawn
    // at random and every later block repeats the first block's salt.
    static std::string GetEncryptedText(const char* password, const char* salt);

    // Whether the file could be read at all (an empty file counts as read).
    bool IsLoaded() const { return loaded_; }
    const std::vector<Entry>& entries() const { return entries_; }
    int GetCount() const { return static_cast<int>(entries_.size()); }

private:
    const Entry* find(const char* user) const;

    std::vector<Entry> entries_;  // in file order; a name may occur twice
    bool loaded_ = false;
};

// 1 when the text holds a character outside 32..126; 0 for null or "".
int IsIncludeInvalidChar(const char* text);

// Notes in "/config/webrecord.log" that a password held characters outside
// 32..126 (which hashing cuts off). Only the label and the number of such
// characters are written: nothing of the password itself nor of the other
// texts, which may be hashes.
PHONEWEB_EXPORT void RecordPasswordLog(const char* source, const char* infile, const char* input,
                                       const char* label);
