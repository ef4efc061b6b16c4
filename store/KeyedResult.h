#pragma once
// The result of `select * from <table> ...`, kept small: per row only the row id and the
// integer fields (so totals over a million rows need no engine call); text fields are read
// by row id when asked for.
#include "store/Database.h"
#include "store/ResultSet.h"
#include "store/RowReader.h"

#include <memory>
#include <string>
#include <unordered_set>

namespace katalox::store {

class KeyedResult : public ResultSet {
public:
    // Runs `select rowid, <integer fields> from <table> <rest>`; throws EngineError when the
    // engine refuses it (then the caller runs the statement as written instead).
    KeyedResult(std::shared_ptr<Database> db, const std::string& table, const std::string& rest);

    const std::vector<Field>& fields() const override { return reader_.fields(); }
    std::int64_t count() const override { return static_cast<std::int64_t>(rowIds_.size()); }
    Value value(std::int64_t row, int column) override;

private:
    struct IntegerColumn {
        int field;
        std::vector<std::int64_t> values;
        // Rows whose value is not an integer (NULL, or text in an integer field): read on demand.
        std::unordered_set<std::int64_t> irregular;
    };
    RowReader reader_;
    std::vector<std::int64_t> rowIds_;
    std::vector<IntegerColumn> integers_;
    std::vector<int> columnSlot_; // field -> index into integers_, or -1
};

} // namespace katalox::store
