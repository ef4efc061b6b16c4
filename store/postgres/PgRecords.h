#pragma once
// Reading the records of a catalogue table on a server: the select of a search with the
// conditions the server can test itself, its count, and the totals of each Disk ID. Texts are
// given and returned as the file system's bytes; the server forms stay inside.
#include "store/postgres/PgConnection.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace katalox::store {

struct PgRecordQuery {
    // Each found, byte for byte, in the stored (upper-cased) "File Path".
    std::vector<std::string> pathSubstrings;
    // Any of these Disk IDs, exactly; every one when empty.
    std::vector<std::string> diskIds;
    std::optional<std::int64_t> minSize, maxSize;
    std::optional<std::int64_t> limit;
};

struct PgSelect {
    std::string sql;
    std::vector<PgParameter> parameters;
};

// "Id", "Disk ID", "File Path", "File Name", "File Size" of the records `query` asks for, in
// "Id" order (the order they were written). The substrings are served by the trigram index.
PgSelect recordSelect(const std::string& table, const PgRecordQuery& query);
// One row holding how many records `query` asks for.
PgSelect recordCount(const std::string& table, const PgRecordQuery& query);

// Like text in the server's form that finds `bytes` anywhere in a field in that form, its own
// % _ \ taken literally.
std::string likeSubstringOnServer(std::string_view bytes);

struct PgDiskTotals {
    std::string diskId;
    std::int64_t files = 0;
    std::int64_t bytes = 0;
};

// Every Disk ID in byte order ("" for a record without one) with its records and their sizes.
std::vector<PgDiskTotals> diskTotals(PgConnection& db, const std::string& table);

} // namespace katalox::store
