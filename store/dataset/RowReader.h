#pragma once
// The fields of one table and on-demand reading of its rows by row id, with a small cache so
// a grid repainting the same screen does not go back to the engine.
#include "store/sqlite/Database.h"
#include "store/sqlite/Value.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace katalox::store {

class RowReader {
public:
    // Throws EngineError with the engine's message when the table does not exist.
    RowReader(std::shared_ptr<Database> db, const std::string& table);

    const std::vector<Field>& fields() const { return fields_; }
    // The field that is the row id itself (an INTEGER PRIMARY KEY), or -1.
    int rowIdField() const { return rowIdField_; }

    // Every field of the row with this id; all NULL when the row no longer exists.
    const std::vector<Value>& row(std::int64_t rowId);

private:
    static constexpr std::size_t cacheLimit = 1024;
    std::shared_ptr<Database> db_;
    std::vector<Field> fields_;
    int rowIdField_ = -1;
    Statement byRowId_;
    std::unordered_map<std::int64_t, std::vector<Value>> cache_;
    std::int64_t cacheChangeCount_ = -1;
    std::vector<Value> missing_;
};

FieldKind fieldKindOf(const std::string& declaredType);
// The fields of a prepared statement's result, named and typed as the engine reports them.
std::vector<Field> resultFields(const Statement& statement);

} // namespace katalox::store
