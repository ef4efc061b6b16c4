#pragma once
// The result of `select * from <table> ...`, kept small: per row only the row id and the
// integer fields (so totals over a million rows need no engine call); text fields are read
// by row id when asked for. A very large result of a scan in row id order keeps only every
// so many row ids and reads the rows between them again when asked for.
#include "store/dataset/ResultSet.h"
#include "store/dataset/RowReader.h"
#include "store/search/EveryRecord.h"
#include "store/sqlite/Database.h"

#include <memory>
#include <optional>
#include <string>
#include <unordered_set>

namespace katalox::store {

class KeyedResult : public ResultSet {
public:
    // Results up to this size are kept whole (16 bytes a row with the catalogue's fields).
    static constexpr std::size_t defaultKeptWhole = 2000000;
    // Rows between two kept row ids of a larger result.
    static constexpr std::int64_t blockRows = kListingBlockRows;

    // Runs `select rowid, <integer fields> from <table> <rest>` with `parameters` (?1, ...);
    // throws EngineError when the engine refuses it (then the caller runs the statement as
    // written instead). `scanConditions`: when `rest` is `where <scanConditions>` and its rows
    // come in row id order, so that a large result can be read again a block at a time.
    KeyedResult(std::shared_ptr<Database> db, const std::string& table, const std::string& rest,
                const std::vector<Value>& parameters = {},
                std::optional<std::string> scanConditions = std::nullopt,
                std::size_t keptWhole = defaultKeptWhole);

    // The result of `where <scanConditions>` whose count and block starts are known already.
    KeyedResult(std::shared_ptr<Database> db, const std::string& table,
                const std::string& scanConditions, BlockStarts blocks);

    const std::vector<Field>& fields() const override { return reader_.fields(); }
    std::int64_t count() const override { return count_; }
    Value value(std::int64_t row, int column) override;

private:
    struct IntegerColumn {
        int field;
        std::vector<std::int64_t> values;
        // Rows whose value is not an integer (NULL, or text in an integer field): read on demand.
        std::unordered_set<std::int64_t> irregular;
    };
    KeyedResult(std::shared_ptr<Database> db, const std::string& table);
    std::string blockSql(const std::string& table, const std::string& scanConditions) const;
    void keep(const Statement& statement);
    void keepOnlyBlockStarts();
    void dropHeldRows();
    void loadBlockOf(std::int64_t row);

    RowReader reader_;
    std::string selectList_;
    // The rows held: all of them, or one block of a large result starting at blockFirst_.
    std::vector<std::int64_t> rowIds_;
    std::vector<IntegerColumn> integers_;
    std::vector<int> columnSlot_; // field -> index into integers_, or -1
    std::int64_t count_ = 0;
    std::int64_t blockFirst_ = 0;
    // A large result: the row id at the start of every block, and the statement reading a block.
    std::vector<std::int64_t> blockStarts_;
    std::optional<Statement> readBlock_;
};

} // namespace katalox::store
