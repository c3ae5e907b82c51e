// The list and map instantiations the pages use most, compiled here once so
// that every member of the templates is built (and checked) even before a page
// calls it.
#include "containers/zrhashmap.h"
#include "containers/zrlist.h"

#include <string>

template class ZRList<int>;
template class ZRList<std::string>;
template class ZRHashMap<std::string, int, STRING_HASH>;
