#pragma once
// Record number -> row id for a table cursor, in storage (row id) order, without loading the
// table: a table whose row ids run without gaps needs only its first id and its count; any
// other keeps one id per row (8 bytes), read on first use.
#include "store/sqlite/Database.h"

#include <memory>
#include <string>
#include <vector>

namespace katalox::store {

class RowIndex {
public:
    RowIndex(std::shared_ptr<Database> db, const std::string& table);

    // Counts the table again (after changes made by others on the connection).
    void reload();
    std::int64_t count() const { return count_; }
    // 0-based row number within count().
    std::int64_t rowIdAt(std::int64_t row);
    // A record this cursor has just added.
    void append(std::int64_t rowId);

private:
    void loadIds();

    std::shared_ptr<Database> db_;
    std::string table_; // quoted
    std::int64_t count_ = 0;
    std::int64_t first_ = 0;
    bool dense_ = true;
    std::vector<std::int64_t> ids_;
};

} // namespace katalox::store
