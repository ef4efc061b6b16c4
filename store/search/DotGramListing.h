#pragma once
// A listing whose tests are all `Like '%'` on "File Name" or "File Path" but one `Like '%.X%'`
// on "File Path" with X one to three plain characters (what the File Mask gives) is counted,
// and the row id at the start of every block found, from the index of tokens after dots
// (DotGrams.h). The few records that index does not vouch for (changed since it was brought up
// to date, without text, above the mark) are tested as written. Nothing is kept per record.
#include "store/search/EveryRecord.h"

#include <cstdint>
#include <optional>
#include <string>

namespace katalox::store {

class Database;

// `gram` is the pattern's token (dotGramOfPattern); `mark` is the index's mark. Empty when too many
// records are not vouched for, or when the listing holds so small a share of the table that reading
// a block would mean a long scan (the candidates are better read one by one then). Throws
// EngineError.
std::optional<BlockStarts> dotGramBlocks(Database& db, const std::string& table,
                                         const std::string& conditions, const std::string& gram,
                                         std::int64_t mark, std::int64_t blockRows);

} // namespace katalox::store
