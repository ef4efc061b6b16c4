#pragma once
// A result held whole in memory: for statements whose results are small (the distinct Disk
// IDs) or that cannot be read back by row id.
#include "store/dataset/ResultSet.h"
#include "store/dialect/StatementSyntax.h"
#include "store/sqlite/Database.h"

#include <memory>

namespace katalox::store {

class MaterialResult : public ResultSet {
public:
    // Steps `statement` to its end and keeps every row.
    explicit MaterialResult(Statement& statement);

    // The distinct values of an indexed field in ascending order (NULL first), found with one
    // index seek per value instead of reading the whole index. Null when the field has no
    // usable index, so the caller runs the statement as written.
    static std::unique_ptr<MaterialResult> distinctByIndex(Database& db,
                                                           const DistinctSelect& select);

    const std::vector<Field>& fields() const override { return fields_; }
    std::int64_t count() const override { return static_cast<std::int64_t>(rows_.size()); }
    Value value(std::int64_t row, int column) override {
        return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    }

private:
    MaterialResult() = default;
    std::vector<Field> fields_;
    std::vector<std::vector<Value>> rows_;
};

} // namespace katalox::store
