// Template library: variable lists, loops and an HTML::Template renderer.
//
// A varlist holds named text values and named loops; a loop holds varlists
// (its rows). Adding a loop to a varlist or a varlist to a loop hands over
// ownership. Passing a null list starts a new one; every add returns the
// (possibly new) list.
#pragma once

#include <cstddef>
#include <string>

struct TMPL_varlist;
struct TMPL_loop;

// TMPL_add_var(list, name1, value1, name2, value2, ..., 0). A null value adds
// the empty text. Adding a name again replaces its value (the later wins).
// The pairs are gathered by a type-checked template rather than C varargs, so
// the literal 0 that ends the list is never read back as a pointer.
TMPL_varlist* TMPL_add_var_array(TMPL_varlist* list, const char* const* items, int count);

namespace tmpl_detail {
inline const char* item(const char* text) { return text; }
inline const char* item(std::nullptr_t) { return nullptr; }
inline const char* item(int terminator) { return terminator == 0 ? nullptr : ""; }
inline const char* item(long terminator) { return terminator == 0 ? nullptr : ""; }
}  // namespace tmpl_detail

template <typename... Items>
TMPL_varlist* TMPL_add_var(TMPL_varlist* list, Items... items)
{
    const char* array[] = {tmpl_detail::item(items)..., nullptr};
    return TMPL_add_var_array(list, array, static_cast<int>(sizeof...(Items)));
}
TMPL_varlist* TMPL_add_loop(TMPL_varlist* list, const char* name, TMPL_loop* loop);
TMPL_loop* TMPL_add_varlist(TMPL_loop* loop, TMPL_varlist* list);
void TMPL_free_varlist(TMPL_varlist* list);
void TMPL_free_loop(TMPL_loop* loop);

// Read access, for the renderer and for tests. Null when absent.
const char* TMPL_get_var(const TMPL_varlist* list, const char* name);
const TMPL_loop* TMPL_get_loop(const TMPL_varlist* list, const char* name);
int TMPL_loop_size(const TMPL_loop* loop);
const TMPL_varlist* TMPL_loop_row(const TMPL_loop* loop, int index);

// Renders the template file `path` with `vars` into `out`. TMPL_INCLUDE
// names are resolved relative to the folder of `path` and may not leave it.
// A template that cannot be read or parsed renders an error text instead and
// the call returns false.
bool TMPL_render_file(const std::string& path, const TMPL_varlist* vars, std::string& out);
// Forgets every parsed template kept by TMPL_render_file; the next render of
// each reads its files again.
void TMPL_clear_cache();
bool TMPL_render_string(const std::string& text, const std::string& includeDir,
                        const TMPL_varlist* vars, std::string& out);
