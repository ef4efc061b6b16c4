#include "store/dataset/RowReader.h"

#include "store/sqlite/SqlText.h"

#include <algorithm>
#include <cctype>

namespace katalox::store {

FieldKind fieldKindOf(const std::string& declaredType) {
    std::string upper = declaredType;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    // The engine's own affinity rules, in its order.
    if (upper.find("INT") != std::string::npos)
        return FieldKind::Integer;
    if (upper.find("CHAR") != std::string::npos || upper.find("CLOB") != std::string::npos ||
        upper.find("TEXT") != std::string::npos)
        return FieldKind::Text;
    if (upper.empty() || upper.find("BLOB") != std::string::npos)
        return FieldKind::Blob;
    return FieldKind::Float;
}

std::vector<Field> resultFields(const Statement& statement) {
    std::vector<Field> fields;
    for (int i = 0; i < statement.columnCount(); ++i)
        fields.push_back({statement.columnName(i), fieldKindOf(statement.columnDeclaredType(i))});
    return fields;
}

RowReader::RowReader(std::shared_ptr<Database> db, const std::string& table)
    : db_(std::move(db)),
      byRowId_(db_->prepare("SELECT * FROM " + quoteIdentifier(table) + " WHERE rowid = ?")) {
    fields_ = resultFields(byRowId_);
    Statement keys =
        db_->prepare("SELECT name, upper(type) FROM pragma_table_info(?) WHERE pk > 0");
    keys.bindText(1, table);
    int keyCount = 0;
    std::string keyName;
    bool integerKey = false;
    while (keys.step()) {
        ++keyCount;
        keyName = keys.columnValue(0).asString();
        integerKey = keys.columnValue(1).asString() == "INTEGER";
    }
    if (keyCount == 1 && integerKey)
        rowIdField_ = fieldIndexOf(fields_, keyName);
    missing_.resize(fields_.size());
}

const std::vector<Value>& RowReader::row(std::int64_t rowId) {
    // Records posted but not yet committed are read inside their batch: a grid painting them
    // never waits for a commit.
    // Anything written on the connection may have changed a cached row.
    if (const std::int64_t changes = db_->changeCount(); changes != cacheChangeCount_) {
        cache_.clear();
        cacheChangeCount_ = changes;
    }
    if (auto it = cache_.find(rowId); it != cache_.end())
        return it->second;
    if (cache_.size() >= cacheLimit)
        cache_.clear();
    byRowId_.reset();
    byRowId_.bindInteger(1, rowId);
    if (!byRowId_.step())
        return missing_;
    std::vector<Value> values;
    values.reserve(fields_.size());
    for (int i = 0; i < byRowId_.columnCount(); ++i)
        values.push_back(byRowId_.columnValue(i));
    byRowId_.reset();
    return cache_.emplace(rowId, std::move(values)).first->second;
}

} // namespace katalox::store
