// One XML rule list (dial plan, dial-now, block-out): the root's children
// are the rules in order, numbered from 1 by their position. The list is
// loaded, changed and saved whole within one request.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "pages/settings/SettingsCommon.h"

struct TMPL_loop;

// The lists show (and the pages keep) at most this many rules.
constexpr int kMaxRules = 100;

// An attribute of a rule and the template variable that shows it.
struct RuleColumn {
    const char* attribute;
    const char* variable;
};
typedef std::vector<std::pair<const char*, std::string>> RuleValues;

class RuleList {
public:
    explicit RuleList(std::string path) : path_(std::move(path)) {}

    XmlFile load() { return state_ = LoadXmlFile(doc_, path_); }
    bool save() const { return SaveXmlFile(doc_, path_); }
    // Starts a new document with this root (the block-out page rewrites its
    // file whole).
    void reset(const char* rootName);

    int count() const;
    // A new rule element at the end, attributes in the given order.
    void append(const char* element, const RuleValues& values);
    // Sets those attributes the rule `number` already has; false when there
    // is no such rule.
    bool edit(int number, const RuleValues& values);
    // Removes the rules at the positions of a comma-separated list. The
    // positions are those of the list as shown (before any removal), in
    // ascending order: a position not above the last one ends the walk, as
    // do 0 and anything that is not a number. Returns the rules removed.
    int remove(const std::string& numbers);

    // Rows "row", "setColor" and one variable per column for the first
    // `max` rules, then empty filler rows (with the filler columns) up to
    // `fillTo` rows when fewer than `fillBelow` rules were listed. Rule rows
    // also carry "isRule" = "1".
    TMPL_loop* rows(const std::vector<RuleColumn>& columns, int max,
                    const std::vector<const char*>& fillerColumns, int fillBelow,
                    int fillTo) const;

    pugi::xml_node root() const { return doc_.first_child(); }

private:
    std::string path_;
    pugi::xml_document doc_;
    XmlFile state_ = XmlFile::Missing;
};
