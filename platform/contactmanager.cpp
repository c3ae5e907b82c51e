#include "platform/contactmanager.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>

#include <pugixml.hpp>

#include "platform/etl.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace NS_DIRECTORY {

namespace {

constexpr char kLockName[] = "ContactFile";
constexpr int kLockTimeoutMs = 10000;
constexpr char kConfigPrefix[] = "Config:";

// ASCII letters without case; other bytes as they are (UTF-8 keeps its
// code point order).
int compareNoCase(const std::string& a, const std::string& b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int parseInt(const char* text, int fallback)
{
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    long long value = strtoll(text, &end, 10);
    if (!end || *end != '\0' || value < INT_MIN || value > INT_MAX)
        return fallback;
    return static_cast<int>(value);
}

// A "Config:" photo must name one plain file of the photo folder; anything
// else that tries to be a path is refused.
bool photoValueAcceptable(const std::string& photo)
{
    if (photo.compare(0, strlen(kConfigPrefix), kConfigPrefix) != 0)
        return photo.find('/') == std::string::npos || photo.compare(0, 9, "Resource:") == 0 ||
               photo.compare(0, 8, "Default:") == 0;
    std::string name = photo.substr(strlen(kConfigPrefix));
    return !name.empty() && name != "." && name != ".." && name[0] != '.' &&
           name.find_first_of(std::string("/\\\0", 3)) == std::string::npos && name.size() < 256;
}

bool isBuiltIn(const std::string& name)
{
    return name == kAllContactsGroupName || name == kBlacklistGroupName;
}

bool saveDocument(const pugi::xml_document& doc, const std::string& realPath)
{
    std::ostringstream out;
    doc.save(out, "\t");
    std::string folder = realPath.substr(0, realPath.find_last_of('/'));
    return makeDirs(folder) && writeFileAtomic(realPath, out.str());
}

}  // namespace

CContactLocalManager* CContactLocalManager::GetInstance()
{
    static CContactLocalManager instance;
    return &instance;
}

// ---- Loading and saving -----------------------------------------------------

void CContactLocalManager::refresh()
{
    std::string contactPath = phonePath(kContactFile);
    std::string groupPath = phonePath(kGroupFile);
    bool groups = groupPath != groupPath_ || fileStampOf(groupPath) != groupStamp_;
    bool contacts = groups || contactPath != contactPath_ || fileStampOf(contactPath) != contactStamp_;
    if (groups)
        loadGroups();
    if (contacts)
        loadContacts();
}

void CContactLocalManager::ReloadGroupXml()
{
    loadGroups();
    loadContacts();  // group ids of contacts are checked against the groups
}

void CContactLocalManager::ReloadContactXml()
{
    loadContacts();
}

void CContactLocalManager::loadGroups()
{
    groupPath_ = phonePath(kGroupFile);
    groupStamp_ = fileStampOf(groupPath_);
    state_.groups.clear();
    pugi::xml_document doc;
    if (!doc.load_file(groupPath_.c_str()))
        return;
    std::set<std::string> names;
    std::set<int> ids;
    for (pugi::xml_node node : doc.first_child().children()) {
        Group group;
        group.name = node.attribute("display_name").value();
        group.ring = node.attribute("ring").value();
        group.id = parseInt(node.attribute("id").value(), -1);
        if (group.name.empty() || isBuiltIn(group.name) || !names.insert(group.name).second ||
            static_cast<int>(state_.groups.size()) >= kMaxGroups)
            continue;
        // A file written by hand may lack ids: give the next free one.
        if (group.id <= kBlacklistGroupId || !ids.insert(group.id).second) {
            group.id = kBlacklistGroupId + 1;
            while (ids.count(group.id))
                ++group.id;
            ids.insert(group.id);
        }
        state_.groups.push_back(group);
    }
    sortState(state_);
}

void CContactLocalManager::loadContacts()
{
    contactPath_ = phonePath(kContactFile);
    contactStamp_ = fileStampOf(contactPath_);
    state_.contacts.clear();
    state_.nextSerial = 0;
    pugi::xml_document doc;
    if (doc.load_file(contactPath_.c_str())) {
        std::set<std::string> names;
        int local = 0, black = 0;
        for (pugi::xml_node node : doc.first_child().children()) {
            Contact contact;
            ContactGeneralItemData& d = contact.data;
            d.displayName = node.attribute("display_name").value();
            d.officeNumber = node.attribute("office_number").value();
            d.mobileNumber = node.attribute("mobile_number").value();
            d.otherNumber = node.attribute("other_number").value();
            d.account = parseInt(node.attribute("line").value(), -1);
            d.ring = node.attribute("ring").value();
            d.photo = node.attribute("default_photo").value();
            contact.groupId = parseInt(node.attribute("group_id_name").value(), kAllContactsGroupId);
            if (contact.groupId != kBlacklistGroupId && !findGroup(state_, contact.groupId))
                contact.groupId = kAllContactsGroupId;
            if (!photoValueAcceptable(d.photo))
                d.photo.clear();
            bool black_ = contact.groupId == kBlacklistGroupId;
            if (d.displayName.empty() || !names.insert(d.displayName).second ||
                (black_ ? black >= kMaxBlacklist : local >= kMaxContacts))
                continue;
            (black_ ? black : local) += 1;
            contact.serial = state_.nextSerial++;
            state_.contacts.push_back(contact);
        }
    }
    sortState(state_);
    reindex();
}

bool CContactLocalManager::save(const State& next, bool contacts, bool groups)
{
    if (groups) {
        pugi::xml_document doc;
        pugi::xml_node root = doc.append_child("root_group");
        for (const Group& group : next.groups) {
            pugi::xml_node node = root.append_child("group");
            node.append_attribute("display_name") = group.name.c_str();
            node.append_attribute("ring") = group.ring.c_str();
            node.append_attribute("id") = group.id;
        }
        if (!saveDocument(doc, phonePath(kGroupFile)))
            return false;
    }
    if (contacts) {
        pugi::xml_document doc;
        pugi::xml_node root = doc.append_child("root_contact");
        for (const Contact& contact : next.contacts) {
            const ContactGeneralItemData& d = contact.data;
            pugi::xml_node node = root.append_child("contact");
            node.append_attribute("display_name") = d.displayName.c_str();
            node.append_attribute("office_number") = d.officeNumber.c_str();
            node.append_attribute("mobile_number") = d.mobileNumber.c_str();
            node.append_attribute("other_number") = d.otherNumber.c_str();
            node.append_attribute("line") = d.account;
            node.append_attribute("ring") = d.ring.c_str();
            node.append_attribute("group_id_name") = contact.groupId;
            node.append_attribute("default_photo") = d.photo.c_str();
        }
        if (!saveDocument(doc, phonePath(kContactFile)))
            return false;
    }
    return true;
}

void CContactLocalManager::commit(State& next)
{
    state_ = std::move(next);
    reindex();
    contactPath_ = phonePath(kContactFile);
    groupPath_ = phonePath(kGroupFile);
    contactStamp_ = fileStampOf(contactPath_);
    groupStamp_ = fileStampOf(groupPath_);
}

void CContactLocalManager::reindex()
{
    byName_.clear();
    byNumber_.clear();
    for (size_t i = 0; i < state_.contacts.size(); ++i) {
        const ContactGeneralItemData& d = state_.contacts[i].data;
        byName_.emplace(d.displayName, i);
        // The first contact in list order answers for a shared number.
        for (const std::string* number : {&d.officeNumber, &d.mobileNumber, &d.otherNumber})
            if (!number->empty())
                byNumber_.emplace(*number, i);
    }
}

void CContactLocalManager::sortState(State& state)
{
    std::sort(state.contacts.begin(), state.contacts.end(), [](const Contact& a, const Contact& b) {
        int order = compareNoCase(a.data.displayName, b.data.displayName);
        return order != 0 ? order < 0 : a.serial < b.serial;
    });
    std::stable_sort(state.groups.begin(), state.groups.end(),
                     [](const Group& a, const Group& b) { return compareNoCase(a.name, b.name) < 0; });
}

template <typename Change>
int CContactLocalManager::modify(bool contacts, bool groups, Change change)
{
    ETL_BaseHelper::chMutex lock;
    if (!lock.OpenMutex(kLockName) || !lock.Lock(kLockTimeoutMs)) {
        log_log(2, 3, "contact files are locked by another process");
        return kContactAsyncing;
    }
    refresh();
    State next = state_;
    int result = change(next);
    if (result != 0)
        return result;
    sortState(next);
    if (!save(next, contacts, groups)) {
        log_log(2, 3, "cannot save the contact files");
        // What is on disk now (possibly the groups without the contacts)
        // is read again by the next call.
        groupPath_.clear();
        return kContactOtherError;
    }
    commit(next);
    return 0;
}

// ---- Look-ups ----------------------------------------------------------------

const CContactLocalManager::Group* CContactLocalManager::findGroup(const State& state, int id) const
{
    for (const Group& group : state.groups)
        if (group.id == id)
            return &group;
    return nullptr;
}

int CContactLocalManager::groupIdOf(const State& state, const std::string& name) const
{
    if (name.empty() || name == kAllContactsGroupName)
        return kAllContactsGroupId;
    if (name == kBlacklistGroupName)
        return kBlacklistGroupId;
    for (const Group& group : state.groups)
        if (group.name == name)
            return group.id;
    return -1;
}

std::string CContactLocalManager::groupNameOf(const State& state, int id) const
{
    if (id == kBlacklistGroupId)
        return kBlacklistGroupName;
    const Group* group = findGroup(state, id);
    return group ? group->name : kAllContactsGroupName;
}

int CContactLocalManager::counts(const State& state, int& blacklisted) const
{
    blacklisted = 0;
    for (const Contact& contact : state.contacts)
        if (contact.groupId == kBlacklistGroupId)
            ++blacklisted;
    return static_cast<int>(state.contacts.size()) - blacklisted;
}

ContactGeneralItemData CContactLocalManager::view(const State& state, const Contact& contact) const
{
    ContactGeneralItemData data = contact.data;
    data.groupName = groupNameOf(state, contact.groupId);
    return data;
}

int CContactLocalManager::GetContactListById(ContactGeneralItemListData* list, int groupId)
{
    if (!list)
        return 0;
    refresh();
    if (groupId != kAllContactsGroupId && groupId != kBlacklistGroupId && !findGroup(state_, groupId))
        return 0;
    list->list.clear();
    int total = 0;
    long long first = std::max(0, list->first);
    long long last = first + std::max(0, list->count);
    for (const Contact& contact : state_.contacts) {
        bool member = groupId == kAllContactsGroupId ? contact.groupId != kBlacklistGroupId
                                                     : contact.groupId == groupId;
        if (!member)
            continue;
        if (total >= first && total < last)
            list->list.push_back(view(state_, contact));
        ++total;
    }
    list->total = total;
    return 1;
}

int CContactLocalManager::GetGroupSimpleList(ContactGroupSimpleListData* list)
{
    if (!list)
        return 0;
    refresh();
    std::vector<ContactGroupSimpleData> all;
    all.push_back({kAllContactsGroupName, kAllContactsGroupId});
    for (const Group& group : state_.groups)
        all.push_back({group.name, group.id});
    all.push_back({kBlacklistGroupName, kBlacklistGroupId});
    list->list.clear();
    size_t first = static_cast<size_t>(std::max(0, list->first));
    size_t count = list->count > 0 ? static_cast<size_t>(list->count) : all.size();
    for (size_t i = first; i < all.size() && i - first < count; ++i)
        list->list.push_back(all[i]);
    list->total = static_cast<int32_t>(all.size());
    return 1;
}

int CContactLocalManager::GetGroupDataByID(ContactGroupData* group, int id)
{
    if (!group)
        return 0;
    refresh();
    if (id == kAllContactsGroupId || id == kBlacklistGroupId) {
        group->name = id == kBlacklistGroupId ? kBlacklistGroupName : kAllContactsGroupName;
        group->ring.clear();
        return 1;
    }
    const Group* found = findGroup(state_, id);
    if (!found)
        return 0;
    group->name = found->name;
    group->ring = found->ring;
    return 1;
}

int CContactLocalManager::GetGroupIdByName(const std::string& name)
{
    refresh();
    return groupIdOf(state_, name);
}

int CContactLocalManager::GetContactByName(ContactGeneralItemData* contact, const std::string& name)
{
    refresh();
    auto it = byName_.find(name);
    if (it == byName_.end())
        return 0;
    if (contact)
        *contact = view(state_, state_.contacts[it->second]);
    return 1;
}

std::string CContactLocalManager::GetContactNameByPhoneNumber(const char* number)
{
    if (!number || !*number)
        return std::string();
    refresh();
    auto it = byNumber_.find(number);
    return it == byNumber_.end() ? std::string() : state_.contacts[it->second].data.displayName;
}

// ---- Groups --------------------------------------------------------------------

int CContactLocalManager::AddGroup(const ContactGroupData& group)
{
    return modify(false, true, [&](State& next) {
        if (group.name.empty())
            return static_cast<int>(kContactOtherError);
        if (isBuiltIn(group.name) || groupIdOf(next, group.name) >= 0)
            return static_cast<int>(kGroupExisted);
        if (static_cast<int>(next.groups.size()) >= kMaxGroups)
            return static_cast<int>(kGroupListFull);
        int id = kBlacklistGroupId + 1;
        for (const Group& other : next.groups)
            id = std::max(id, other.id + 1);
        next.groups.push_back({group.name, group.ring, id});
        return 0;
    });
}

int CContactLocalManager::UpdateGroupData(const std::string& oldName, const ContactGroupData& group)
{
    return modify(false, true, [&](State& next) {
        if (isBuiltIn(oldName))
            return static_cast<int>(kGroupCannotDelete);
        int id = groupIdOf(next, oldName);
        if (id < 0 || oldName.empty())
            return static_cast<int>(kGroupNotExisted);
        if (group.name.empty())
            return static_cast<int>(kContactOtherError);
        int other = groupIdOf(next, group.name);
        if (isBuiltIn(group.name) || (other >= 0 && other != id))
            return static_cast<int>(kGroupExisted);
        for (Group& each : next.groups) {
            if (each.id == id) {
                each.name = group.name;
                each.ring = group.ring;
            }
        }
        return 0;
    });
}

int CContactLocalManager::RemoveGroup(const std::string& name)
{
    return modify(true, true, [&](State& next) {
        if (isBuiltIn(name))
            return static_cast<int>(kGroupCannotDelete);
        int id = groupIdOf(next, name);
        if (id < 0 || name.empty())
            return static_cast<int>(kGroupNotExisted);
        next.groups.erase(std::remove_if(next.groups.begin(), next.groups.end(),
                                         [id](const Group& g) { return g.id == id; }),
                          next.groups.end());
        for (Contact& contact : next.contacts)
            if (contact.groupId == id)
                contact.groupId = kAllContactsGroupId;
        return 0;
    });
}

int CContactLocalManager::RemoveAllGroup()
{
    return modify(true, true, [&](State& next) {
        next.groups.clear();
        for (Contact& contact : next.contacts)
            if (contact.groupId != kBlacklistGroupId)
                contact.groupId = kAllContactsGroupId;
        return 0;
    });
}

// ---- Contacts ------------------------------------------------------------------

namespace {

// Whether the directory still fits after a change: local and blacklisted
// contacts count separately.
template <typename State>
int checkRoom(const State& next)
{
    int black = 0;
    for (const auto& contact : next.contacts)
        if (contact.groupId == kBlacklistGroupId)
            ++black;
    if (black > kMaxBlacklist)
        return kBlacklistFull;
    if (static_cast<int>(next.contacts.size()) - black > kMaxContacts)
        return kContactListFull;
    return 0;
}

}  // namespace

int CContactLocalManager::AddContact(const std::string& groupName, const ContactGeneralItemData& contact)
{
    return modify(true, false, [&](State& next) {
        int id = groupIdOf(next, groupName);
        if (id < 0)
            return static_cast<int>(kGroupNotExisted);
        if (contact.displayName.empty())
            return static_cast<int>(kContactOtherError);
        if (!photoValueAcceptable(contact.photo))
            return static_cast<int>(kPhotoNameError);
        for (const Contact& other : next.contacts)
            if (other.data.displayName == contact.displayName)
                return static_cast<int>(kContactExisted);
        Contact added;
        added.data = contact;
        added.data.groupName.clear();
        added.groupId = id;
        added.serial = next.nextSerial++;
        next.contacts.push_back(added);
        return checkRoom(next);
    });
}

int CContactLocalManager::UpdateContactData(const std::string& oldName,
                                            const ContactGeneralItemData& contact)
{
    return modify(true, false, [&](State& next) {
        int id = groupIdOf(next, contact.groupName);
        if (id < 0)
            return static_cast<int>(kGroupNotExisted);
        if (contact.displayName.empty())
            return static_cast<int>(kContactOtherError);
        if (!photoValueAcceptable(contact.photo))
            return static_cast<int>(kPhotoNameError);
        Contact* found = nullptr;
        for (Contact& other : next.contacts) {
            if (other.data.displayName == oldName)
                found = &other;
            else if (other.data.displayName == contact.displayName)
                return static_cast<int>(kContactExisted);
        }
        if (!found)
            return static_cast<int>(kContactNotExisted);
        found->data = contact;
        found->data.groupName.clear();
        found->groupId = id;
        return checkRoom(next);
    });
}

int CContactLocalManager::RemoveContactList(const ZRList<std::string>& names)
{
    return modify(true, false, [&](State& next) {
        std::set<std::string> wanted(names.begin(), names.end());
        size_t before = next.contacts.size();
        next.contacts.erase(std::remove_if(next.contacts.begin(), next.contacts.end(),
                                           [&](const Contact& c) { return wanted.count(c.data.displayName) > 0; }),
                            next.contacts.end());
        return next.contacts.size() == before ? static_cast<int>(kContactNotExisted) : 0;
    });
}

int CContactLocalManager::RemoveAllContacts(int groupId)
{
    return modify(true, false, [&](State& next) {
        if (groupId != kAllContactsGroupId && groupId != kBlacklistGroupId && !findGroup(next, groupId))
            return static_cast<int>(kInvalidGroupId);
        next.contacts.erase(std::remove_if(next.contacts.begin(), next.contacts.end(),
                                           [&](const Contact& c) {
                                               return groupId == kAllContactsGroupId
                                                          ? c.groupId != kBlacklistGroupId
                                                          : c.groupId == groupId;
                                           }),
                            next.contacts.end());
        return 0;
    });
}

int CContactLocalManager::MoveListToGroup(ZRList<std::string>& names, const std::string& groupName)
{
    return modify(true, false, [&](State& next) {
        int id = groupIdOf(next, groupName);
        if (id < 0)
            return static_cast<int>(kGroupNotExisted);
        std::set<std::string> wanted(names.begin(), names.end());
        bool moved = false;
        for (Contact& contact : next.contacts) {
            if (wanted.count(contact.data.displayName)) {
                contact.groupId = id;
                moved = true;
            }
        }
        return moved ? checkRoom(next) : static_cast<int>(kContactNotExisted);
    });
}

int CContactLocalManager::SetDefaultPhoto(const char* photo)
{
    if (!photo || !*photo)
        return kPhotoNameError;
    return modify(true, false, [&](State& next) {
        for (Contact& contact : next.contacts)
            if (contact.data.photo == photo)
                contact.data.photo.clear();
        return 0;
    });
}

// ---- Exchange files ------------------------------------------------------------

int CContactLocalManager::ExportXml(const std::string& path)
{
    refresh();
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "utf-8";
    pugi::xml_node root = doc.append_child("root_contact");
    for (const Group& group : state_.groups) {
        pugi::xml_node node = root.append_child("group");
        node.append_attribute("display_name") = group.name.c_str();
        node.append_attribute("ring") = group.ring.c_str();
    }
    for (const Contact& contact : state_.contacts) {
        const ContactGeneralItemData& d = contact.data;
        pugi::xml_node node = root.append_child("contact");
        node.append_attribute("display_name") = d.displayName.c_str();
        node.append_attribute("office_number") = d.officeNumber.c_str();
        node.append_attribute("mobile_number") = d.mobileNumber.c_str();
        node.append_attribute("other_number") = d.otherNumber.c_str();
        node.append_attribute("line") = d.account;
        node.append_attribute("ring") = d.ring.c_str();
        node.append_attribute("group_id_name") = groupNameOf(state_, contact.groupId).c_str();
        node.append_attribute("default_photo") = d.photo.c_str();
    }
    return saveDocument(doc, phonePath(path)) ? kExchangeOk : kExchangeInvalidPath;
}

int CContactLocalManager::ImportXml(const std::string& path, bool replaceAll, bool replaceContacts)
{
    pugi::xml_document doc;
    pugi::xml_parse_result parsed = doc.load_file(phonePath(path).c_str());
    if (parsed.status == pugi::status_file_not_found || parsed.status == pugi::status_io_error)
        return kExchangeInvalidPath;
    pugi::xml_node root = doc.document_element();
    if (!parsed || strcmp(root.name(), "root_contact") != 0)
        return kExchangeInvalidFile;

    int result = modify(true, true, [&](State& next) {
        if (replaceAll)
            next.groups.clear();
        if (replaceAll || replaceContacts)
            next.contacts.clear();
        auto addGroup = [&](const std::string& name, const char* ring) {
            int id = kBlacklistGroupId + 1;
            for (const Group& other : next.groups)
                id = std::max(id, other.id + 1);
            next.groups.push_back({name, ring ? ring : "", id});
            return id;
        };
        std::set<std::string> fileGroups;
        for (pugi::xml_node node : root.children("group")) {
            std::string name = node.attribute("display_name").value();
            if (name.empty())
                return static_cast<int>(kExchangeGroupEmpty);
            if (!fileGroups.insert(name).second)
                return static_cast<int>(kExchangeDuplicateGroup);
            if (isBuiltIn(name))
                continue;
            int id = groupIdOf(next, name);
            if (id < 0)
                addGroup(name, node.attribute("ring").value());
            else
                for (Group& group : next.groups)
                    if (group.id == id)
                        group.ring = node.attribute("ring").value();
        }
        std::set<std::string> fileContacts;
        for (pugi::xml_node node : root.children("contact")) {
            Contact contact;
            ContactGeneralItemData& d = contact.data;
            d.displayName = node.attribute("display_name").value();
            if (d.displayName.empty())
                return static_cast<int>(kExchangeContactNameEmpty);
            if (!fileContacts.insert(d.displayName).second)
                return static_cast<int>(kExchangeDuplicateContact);
            d.officeNumber = node.attribute("office_number").value();
            d.mobileNumber = node.attribute("mobile_number").value();
            d.otherNumber = node.attribute("other_number").value();
            d.account = parseInt(node.attribute("line").value(), -1);
            d.ring = node.attribute("ring").value();
            d.photo = node.attribute("default_photo").value();
            if (!photoValueAcceptable(d.photo))
                d.photo.clear();
            std::string groupName = node.attribute("group_id_name").value();
            contact.groupId = groupIdOf(next, groupName);
            if (contact.groupId < 0)
                contact.groupId = addGroup(groupName, nullptr);
            // A contact of the same name is replaced by the imported one.
            next.contacts.erase(std::remove_if(next.contacts.begin(), next.contacts.end(),
                                               [&](const Contact& c) { return c.data.displayName == d.displayName; }),
                                next.contacts.end());
            contact.serial = next.nextSerial++;
            next.contacts.push_back(contact);
        }
        if (static_cast<int>(next.groups.size()) > kMaxGroups)
            return static_cast<int>(kExchangeTooManyGroups);
        int room = checkRoom(next);
        if (room == kBlacklistFull)
            return static_cast<int>(kExchangeTooManyBlacklist);
        if (room == kContactListFull)
            return static_cast<int>(kExchangeTooManyContacts);
        return 0;
    });
    // Lock or save failures are the phone's trouble, not the file's.
    return result < 0 ? kExchangeInvalidPath : result;
}

}  // namespace NS_DIRECTORY
