#pragma once
// A file's name in its real letter case, kept in few bytes: records hold the name upper-cased,
// so for a name of ASCII letters the real one is the record's name with some letters lowered,
// which one integer tells (bit k set: the k-th letter is lower case). Other names are kept as
// their bytes.
#include "store/sqlite/Value.h"

#include <string>
#include <string_view>

namespace katalox::store {

// What "File Facts" keeps for `realName`, whose record holds `upperName`.
Value keptName(std::string_view realName, std::string_view upperName);
// The real name back from what was kept and the record's name.
std::string realNameOf(const Value& kept, std::string_view upperName);

} // namespace katalox::store
