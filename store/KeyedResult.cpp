#include "store/KeyedResult.h"

#include "store/Dialect.h"

namespace katalox::store {

KeyedResult::KeyedResult(std::shared_ptr<Database> db, const std::string& table,
                         const std::string& rest)
    : reader_(db, table) {
    const auto& fields = reader_.fields();
    columnSlot_.assign(fields.size(), -1);
    std::string sql = "SELECT rowid";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].kind != FieldKind::Integer || static_cast<int>(i) == reader_.rowIdField())
            continue;
        columnSlot_[i] = static_cast<int>(integers_.size());
        integers_.push_back({static_cast<int>(i), {}, {}});
        sql += ", " + quoteIdentifier(fields[i].name);
    }
    sql += " FROM " + table + rest;
    Statement statement = db->prepare(sql);
    statement.refuseParameters();
    while (statement.step()) {
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
}

Value KeyedResult::value(std::int64_t row, int column) {
    const std::int64_t rowId = rowIds_[static_cast<std::size_t>(row)];
    if (column == reader_.rowIdField())
        return Value(rowId);
    if (const int slot = columnSlot_[static_cast<std::size_t>(column)]; slot >= 0) {
        const IntegerColumn& integers = integers_[static_cast<std::size_t>(slot)];
        if (integers.irregular.empty() || !integers.irregular.contains(row))
            return Value(integers.values[static_cast<std::size_t>(row)]);
    }
    return reader_.row(rowId)[static_cast<std::size_t>(column)];
}

} // namespace katalox::store
