#include "store/dataset/KeyedResult.h"

#include "store/sqlite/SqlText.h"

namespace katalox::store {

KeyedResult::KeyedResult(std::shared_ptr<Database> db, const std::string& table)
    : reader_(std::move(db), table) {
    const auto& fields = reader_.fields();
    columnSlot_.assign(fields.size(), -1);
    selectList_ = "SELECT rowid";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].kind != FieldKind::Integer || static_cast<int>(i) == reader_.rowIdField())
            continue;
        columnSlot_[i] = static_cast<int>(integers_.size());
        integers_.push_back({static_cast<int>(i), {}, {}});
        selectList_ += ", " + quoteIdentifier(fields[i].name);
    }
}

KeyedResult::KeyedResult(std::shared_ptr<Database> db, const std::string& table,
                         const std::string& rest, const std::vector<Value>& parameters,
                         std::optional<std::string> scanConditions, std::size_t keptWhole)
    : KeyedResult(db, table) {
    Statement statement = db->prepare(selectList_ + " FROM " + table + rest);
    for (std::size_t i = 0; i < parameters.size(); ++i)
        statement.bind(static_cast<int>(i) + 1, parameters[i]);
    while (statement.step()) {
        if (!blockStarts_.empty()) {
            if (count_ % blockRows == 0)
                blockStarts_.push_back(statement.columnInteger(0));
            ++count_;
            continue;
        }
        keep(statement);
        ++count_;
        if (scanConditions && rowIds_.size() > keptWhole)
            keepOnlyBlockStarts();
    }
    if (!blockStarts_.empty())
        readBlock_.emplace(db->prepare(blockSql(table, *scanConditions)));
}

KeyedResult::KeyedResult(std::shared_ptr<Database> db, const std::string& table,
                         const std::string& scanConditions, BlockStarts blocks)
    : KeyedResult(db, table) {
    count_ = blocks.count;
    blockStarts_ = std::move(blocks.starts);
    blockFirst_ = -1;
    readBlock_.emplace(db->prepare(blockSql(table, scanConditions)));
}

std::string KeyedResult::blockSql(const std::string& table,
                                  const std::string& scanConditions) const {
    return selectList_ + " FROM " + table + " WHERE rowid >= ? AND (" + scanConditions +
           ") ORDER BY rowid LIMIT " + std::to_string(blockRows);
}

void KeyedResult::keep(const Statement& statement) {
    const std::int64_t row = static_cast<std::int64_t>(rowIds_.size());
    rowIds_.push_back(statement.columnInteger(0));
    for (std::size_t k = 0; k < integers_.size(); ++k) {
        const int column = static_cast<int>(k) + 1;
        const bool regular = statement.columnIsInteger(column);
        integers_[k].values.push_back(regular ? statement.columnInteger(column) : 0);
        if (!regular)
            integers_[k].irregular.insert(row);
    }
}

void KeyedResult::keepOnlyBlockStarts() {
    for (std::size_t row = 0; row < rowIds_.size(); row += blockRows)
        blockStarts_.push_back(rowIds_[row]);
    dropHeldRows();
    blockFirst_ = -1;
}

void KeyedResult::dropHeldRows() {
    rowIds_ = {};
    for (IntegerColumn& integers : integers_)
        integers = {integers.field, {}, {}};
}

void KeyedResult::loadBlockOf(std::int64_t row) {
    const std::int64_t block = row / blockRows;
    if (blockFirst_ == block * blockRows)
        return;
    dropHeldRows();
    blockFirst_ = -1;
    readBlock_->reset();
    readBlock_->bindInteger(1, blockStarts_[static_cast<std::size_t>(block)]);
    while (readBlock_->step())
        keep(*readBlock_);
    readBlock_->reset();
    blockFirst_ = block * blockRows;
}

Value KeyedResult::value(std::int64_t row, int column) {
    if (readBlock_)
        loadBlockOf(row);
    const std::int64_t held = row - blockFirst_;
    if (held >= static_cast<std::int64_t>(rowIds_.size()))
        return Value(); // the table shrank since the listing ran
    const std::int64_t rowId = rowIds_[static_cast<std::size_t>(held)];
    if (column == reader_.rowIdField())
        return Value(rowId);
    if (const int slot = columnSlot_[static_cast<std::size_t>(column)]; slot >= 0) {
        const IntegerColumn& integers = integers_[static_cast<std::size_t>(slot)];
        if (integers.irregular.empty() || !integers.irregular.contains(held))
            return Value(integers.values[static_cast<std::size_t>(held)]);
    }
    return reader_.row(rowId)[static_cast<std::size_t>(column)];
}

} // namespace katalox::store
