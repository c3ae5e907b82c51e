// Template library: the variable lists and loops pages fill in. The renderer
// is in tmpl_render.cpp and reads these only through the access functions.
#include "platform/tmpl.h"

#include <string>
#include <unordered_map>
#include <vector>

struct TMPL_varlist {
    std::unordered_map<std::string, std::string> vars;
    std::unordered_map<std::string, TMPL_loop*> loops;
};

struct TMPL_loop {
    std::vector<TMPL_varlist*> rows;
};

TMPL_varlist* TMPL_add_var_array(TMPL_varlist* list, const char* const* items, int count)
{
    if (!list)
        list = new TMPL_varlist;
    if (!items)
        return list;
    // The pairs end at the first null name; a null value is the empty text.
    for (int i = 0; i < count && items[i]; i += 2) {
        const char* value = i + 1 < count ? items[i + 1] : nullptr;
        list->vars[items[i]] = value ? value : "";
    }
    return list;
}

TMPL_varlist* TMPL_add_loop(TMPL_varlist* list, const char* name, TMPL_loop* loop)
{
    if (!list)
        list = new TMPL_varlist;
    if (!name) {
        // Ownership was handed over, so a loop that cannot be named is freed.
        TMPL_free_loop(loop);
        return list;
    }
    if (!loop)
        loop = new TMPL_loop;
    TMPL_loop*& slot = list->loops[name];
    if (slot != loop) {
        TMPL_free_loop(slot);
        slot = loop;
    }
    return list;
}

TMPL_loop* TMPL_add_varlist(TMPL_loop* loop, TMPL_varlist* list)
{
    if (!loop)
        loop = new TMPL_loop;
    if (list)
        loop->rows.push_back(list);
    return loop;
}

void TMPL_free_varlist(TMPL_varlist* list)
{
    if (!list)
        return;
    for (auto& named : list->loops)
        TMPL_free_loop(named.second);
    delete list;
}

void TMPL_free_loop(TMPL_loop* loop)
{
    if (!loop)
        return;
    for (TMPL_varlist* row : loop->rows)
        TMPL_free_varlist(row);
    delete loop;
}

const char* TMPL_get_var(const TMPL_varlist* list, const char* name)
{
    if (!list || !name)
        return nullptr;
    auto it = list->vars.find(name);
    return it == list->vars.end() ? nullptr : it->second.c_str();
}

const TMPL_loop* TMPL_get_loop(const TMPL_varlist* list, const char* name)
{
    if (!list || !name)
        return nullptr;
    auto it = list->loops.find(name);
    return it == list->loops.end() ? nullptr : it->second;
}

int TMPL_loop_size(const TMPL_loop* loop)
{
    return loop ? static_cast<int>(loop->rows.size()) : 0;
}

const TMPL_varlist* TMPL_loop_row(const TMPL_loop* loop, int index)
{
    if (!loop || index < 0 || static_cast<size_t>(index) >= loop->rows.size())
        return nullptr;
    return loop->rows[static_cast<size_t>(index)];
}
