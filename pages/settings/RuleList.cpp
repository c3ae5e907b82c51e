#include "pages/settings/RuleList.h"

#include "frame/frame.h"

void RuleList::reset(const char* rootName)
{
    doc_.reset();
    doc_.append_child(rootName);
    state_ = XmlFile::Loaded;
}

int RuleList::count() const
{
    int n = 0;
    for (pugi::xml_node rule = root().first_child(); rule; rule = rule.next_sibling())
        ++n;
    return n;
}

void RuleList::append(const char* element, const RuleValues& values)
{
    pugi::xml_node rule = root().append_child(element);
    for (const auto& value : values)
        rule.append_attribute(value.first).set_value(value.second.c_str());
}

bool RuleList::edit(int number, const RuleValues& values)
{
    int position = 1;
    for (pugi::xml_node rule = root().first_child(); rule; rule = rule.next_sibling(), ++position) {
        if (position != number)
            continue;
        for (const auto& value : values) {
            if (pugi::xml_attribute attribute = rule.attribute(value.first))
                attribute.set_value(value.second.c_str());
        }
        return true;
    }
    return false;
}

int RuleList::remove(const std::string& numbers)
{
    ZRList<std::string> targets;
    if (!String2List(targets, numbers, ','))
        return 0;
    auto next = targets.begin();
    int target = 0;
    auto advance = [&]() {
        target = 0;
        if (next != targets.end()) {
            if (!ParseDecimalInt(next->c_str(), 1, 1 << 30, target))
                target = 0;
            ++next;
        }
    };
    advance();
    int removed = 0;
    int position = 1;
    pugi::xml_node rule = root().first_child();
    while (rule && target > 0) {
        pugi::xml_node following = rule.next_sibling();
        if (position == target) {
            root().remove_child(rule);
            ++removed;
            advance();
        }
        rule = following;
        ++position;
    }
    return removed;
}

TMPL_loop* RuleList::rows(const std::vector<RuleColumn>& columns, int max,
                          const std::vector<const char*>& fillerColumns, int fillBelow,
                          int fillTo) const
{
    TMPL_loop* loop = nullptr;
    int row = 0;
    auto numbered = [&row]() {
        std::string number = std::to_string(row + 1);
        std::string color = std::to_string(row % 2);
        return TMPL_add_var(nullptr, "row", number.c_str(), "setColor", color.c_str(), 0);
    };
    for (pugi::xml_node rule = root().first_child(); rule && row < max; rule = rule.next_sibling()) {
        TMPL_varlist* vars = TMPL_add_var(numbered(), "isRule", "1", 0);
        for (const RuleColumn& column : columns) {
            std::string text = EscapeHtml(CutText(rule.attribute(column.attribute).value()));
            vars = TMPL_add_var(vars, column.variable, text.c_str(), 0);
        }
        loop = TMPL_add_varlist(loop, vars);
        ++row;
    }
    if (row < fillBelow) {
        for (; row < fillTo; ++row) {
            TMPL_varlist* vars = numbered();
            for (const char* column : fillerColumns)
                vars = TMPL_add_var(vars, column, "", 0);
            loop = TMPL_add_varlist(loop, vars);
        }
    }
    return loop;
}
