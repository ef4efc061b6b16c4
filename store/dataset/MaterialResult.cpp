#include "store/dataset/MaterialResult.h"

#include "store/dataset/RowReader.h"
#include "store/sqlite/SqlText.h"

namespace katalox::store {

MaterialResult::MaterialResult(Statement& statement) : fields_(resultFields(statement)) {
    const int columns = statement.columnCount();
    while (statement.step()) {
        std::vector<Value> row;
        row.reserve(static_cast<std::size_t>(columns));
        for (int i = 0; i < columns; ++i)
            row.push_back(statement.columnValue(i));
        rows_.push_back(std::move(row));
    }
}

namespace {

bool hasUsableIndex(Database& db, const DistinctSelect& select) {
    // An index led by the field, comparing bytes as the ordering does, covering every row.
    Statement check = db.prepare(
        "SELECT 1 FROM pragma_index_list(?1) AS list, pragma_index_xinfo(list.name) AS info"
        " WHERE info.seqno = 0 AND info.name = ?2 COLLATE NOCASE AND info.coll = 'BINARY'"
        " AND list.partial = 0");
    check.bindText(1, select.table);
    check.bindText(2, select.column);
    return check.step();
}

} // namespace

std::unique_ptr<MaterialResult> MaterialResult::distinctByIndex(Database& db,
                                                                const DistinctSelect& select) {
    if (!hasUsableIndex(db, select))
        return nullptr;
    const std::string column = quoteIdentifier(select.column);
    const std::string table = quoteIdentifier(select.table);
    // The declared type, as the plain statement would report it.
    Statement shape = db.prepare("SELECT " + column + " FROM " + table + " LIMIT 0");
    std::unique_ptr<MaterialResult> result(new MaterialResult);
    result->fields_.push_back({select.column, fieldKindOf(shape.columnDeclaredType(0))});

    Statement nulls =
        db.prepare("SELECT 1 FROM " + table + " WHERE " + column + " IS NULL LIMIT 1");
    if (nulls.step())
        result->rows_.push_back({Value()});
    Statement first = db.prepare("SELECT min(" + column + ") FROM " + table);
    Statement next =
        db.prepare("SELECT min(" + column + ") FROM " + table + " WHERE " + column + " > ?");
    first.step();
    Value value = first.columnValue(0);
    while (!value.isNull()) {
        result->rows_.push_back({value});
        next.reset();
        next.bind(1, value);
        next.step();
        Value following = next.columnValue(0);
        // A value that does not compare as it reads back (a blob, say) would repeat forever.
        if (following == value)
            return nullptr;
        value = std::move(following);
    }
    return result;
}

} // namespace katalox::store
