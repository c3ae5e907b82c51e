// The phone's local directory: contacts and contact groups, kept in
// "/config/data/contact_list.xml" and "/config/data/contact_group_list.xml".
//
// One component serves the web pages and the phone process alike. Each
// process has its own instance; the files are the shared truth. Every call
// first re-reads a file that another process replaced (its identity stamp
// changed), and every change is made under the named lock "ContactFile"
// and saved atomically, so two processes never lose each other's changes.
//
// Groups:
//   id 0  "All Contacts"  lists every contact outside the blacklist; adding
//                         a contact to it leaves the contact without a group.
//   id 1  "Blacklist"     contacts whose calls the phone rejects.
//   id 2+ user groups, at most kMaxGroups, ids kept in the group file.
// Built-in groups can be neither renamed nor deleted. Deleting a user group
// keeps its contacts, without a group.
//
// Contacts: at most kMaxContacts outside the blacklist and kMaxBlacklist in
// it. The display name is the key (unique across the directory, compared
// exactly, never empty). Lists come in display-name order, letters compared
// without regard to ASCII case, ties in the order the contacts were added.
//
// Result codes of the changing calls: 0 success, or one of the negative
// codes below. GetInstance() never returns null here; callers still treat a
// null manager as the phone's "other error" (-101).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "containers/zrlist.h"
#include "platform/fileutil.h"

namespace NS_DIRECTORY {

struct ContactGeneralItemData {
    std::string displayName;
    std::string groupName;
    std::string officeNumber;
    std::string mobileNumber;
    std::string otherNumber;
    std::string photo;  // "Config:<file>", "Resource:<file>", "Default:<file>" or ""
    std::string ring;
    int32_t account = 0;  // -1: no fixed account
    int32_t reserved = 0;
};

struct ContactGroupData {
    std::string name;
    std::string ring;
};

struct ContactGroupSimpleData {
    std::string name;
    int32_t id = -1;
};

// A paged request: fill first and count; the answer fills list and total.
struct ContactGeneralItemListData {
    ZRList<ContactGeneralItemData> list;
    int32_t first = 0;
    int32_t count = 0;
    int32_t total = 0;
};

struct ContactGroupSimpleListData {
    ZRList<ContactGroupSimpleData> list;
    int32_t first = 0;
    int32_t count = 0;
    int32_t total = 0;
};

enum ContactResult {
    kContactOk = 0,
    kGroupExisted = -1,
    kContactExisted = -2,
    kInvalidGroupId = -3,
    kGroupNotExisted = -4,
    kContactNotExisted = -5,
    kGroupCannotDelete = -6,
    kContactListFull = -7,
    kBlacklistFull = -8,
    kGroupListFull = -9,
    kContactNotLocal = -10,
    kContactOtherError = -11,
    kContactNotBlack = -12,
    kContactAsyncing = -13,
    kContactNetworkError = -14,
    kPhotoNameError = -15,
    kNoContactManager = -101,
};

// Result codes of the directory exchange (the phone's answer to an import
// or export request): 0 success.
enum ExchangeResult {
    kExchangeOk = 0,
    kExchangeInvalidFile = 1,
    kExchangeDuplicateGroup = 2,
    kExchangeDuplicateContact = 3,
    kExchangeTooManyGroups = 4,
    kExchangeTooManyContacts = 5,
    kExchangeTooManyBlacklist = 6,
    kExchangeInvalidPath = 7,
    kExchangeGroupEmpty = 8,
    kExchangeContactNameEmpty = 9,
};

constexpr int kAllContactsGroupId = 0;
constexpr int kBlacklistGroupId = 1;
constexpr char kAllContactsGroupName[] = "All Contacts";
constexpr char kBlacklistGroupName[] = "Blacklist";
constexpr int kMaxContacts = 1000;
constexpr int kMaxBlacklist = 100;
constexpr int kMaxGroups = 48;  // user groups, besides the two built-in ones

constexpr char kContactFile[] = "/config/data/contact_list.xml";
constexpr char kGroupFile[] = "/config/data/contact_group_list.xml";

class CContactLocalManager {
public:
    static CContactLocalManager* GetInstance();

    // ---- Reading ----
    // Contacts of a group from list->first, at most list->count of them;
    // sets list->total. 0 for an unknown group.
    int GetContactListById(ContactGeneralItemListData* list, int groupId);
    // Every group (built-in ones included), from list->first, at most
    // list->count (0: all); sets list->total.
    int GetGroupSimpleList(ContactGroupSimpleListData* list);
    // Non-zero when the group exists; fills name and ring.
    int GetGroupDataByID(ContactGroupData* group, int id);
    // The group's id, -1 when there is none by that name. "" is group 0.
    int GetGroupIdByName(const std::string& name);
    // Non-zero when a contact of that display name exists.
    int GetContactByName(ContactGeneralItemData* contact, const std::string& name);
    // The display name of the contact that has the number as its office,
    // mobile or other number; "" when none has (or the number is empty).
    std::string GetContactNameByPhoneNumber(const char* number);

    // ---- Changing (0 or a negative ContactResult) ----
    int AddGroup(const ContactGroupData& group);
    int UpdateGroupData(const std::string& oldName, const ContactGroupData& group);
    int RemoveGroup(const std::string& name);
    int RemoveAllGroup();
    int AddContact(const std::string& groupName, const ContactGeneralItemData& contact);
    int UpdateContactData(const std::string& oldName, const ContactGeneralItemData& contact);
    int RemoveContactList(const ZRList<std::string>& names);
    int RemoveAllContacts(int groupId);
    int MoveListToGroup(ZRList<std::string>& names, const std::string& groupName);
    // Contacts showing this photo fall back to the default photo.
    int SetDefaultPhoto(const char* photo);

    // Re-read a file now (another process announced a change).
    void ReloadContactXml();
    void ReloadGroupXml();

    // ---- Exchange files (the phone process's side of import and export) ----
    // Root "root_contact": "group" elements (display_name, ring), then
    // "contact" elements with display_name, office_number, mobile_number,
    // other_number, line, ring, group_id_name (the group's name) and
    // default_photo. Paths are phone paths. Return ExchangeResult codes.
    int ExportXml(const std::string& path);
    // replaceAll: the file's groups and contacts replace the directory
    // (restore); otherwise its contacts join the directory, replacing those
    // of the same name (replaceContacts: all contacts are replaced), and
    // missing groups are created.
    int ImportXml(const std::string& path, bool replaceAll, bool replaceContacts);

private:
    struct Contact {
        ContactGeneralItemData data;
        int groupId = 0;
        uint64_t serial = 0;  // insertion order, for a stable sort
    };
    struct Group {
        std::string name;
        std::string ring;
        int id = 0;
    };
    struct State {
        std::vector<Contact> contacts;  // in list order
        std::vector<Group> groups;      // user groups, in list order
        uint64_t nextSerial = 0;
    };

    void refresh();
    void loadContacts();
    void loadGroups();
    bool save(const State& next, bool contacts, bool groups);
    void commit(State& next);
    void reindex();
    static void sortState(State& state);

    // Writers run under the lock with fresh data; `change` edits a copy,
    // which is saved and kept only when it returns 0.
    template <typename Change>
    int modify(bool contacts, bool groups, Change change);

    const Group* findGroup(const State& state, int id) const;
    int groupIdOf(const State& state, const std::string& name) const;
    int counts(const State& state, int& blacklisted) const;
    std::string groupNameOf(const State& state, int id) const;
    ContactGeneralItemData view(const State& state, const Contact& contact) const;

    State state_;
    std::unordered_map<std::string, size_t> byName_;
    std::unordered_map<std::string, size_t> byNumber_;
    FileStamp contactStamp_;
    FileStamp groupStamp_;
    std::string contactPath_;  // real paths last read
    std::string groupPath_;
};

}  // namespace NS_DIRECTORY
