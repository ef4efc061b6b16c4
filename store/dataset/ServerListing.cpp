#include "store/dataset/ServerListing.h"

#include "platform/Error.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgText.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>
#include <limits>

namespace katalox::store {

namespace {

// Pages held at once: a few screens each way of a grid scrolled back and forth.
constexpr std::size_t kPagesKept = 64;
constexpr std::int64_t kBeforeEveryId = std::numeric_limits<std::int64_t>::min();

FieldKind fieldKindOf(PgResult::ColumnType type) {
    switch (type) {
    case PgResult::ColumnType::Integer:
        return FieldKind::Integer;
    case PgResult::ColumnType::Real:
        return FieldKind::Float;
    case PgResult::ColumnType::Bytes:
        return FieldKind::Blob;
    case PgResult::ColumnType::Text:
        break;
    }
    return FieldKind::Text;
}

} // namespace

std::vector<Field> serverFields(const PgResult& result) {
    std::vector<Field> fields;
    for (int column = 0; column < result.columns(); ++column)
        fields.push_back({result.columnName(column), fieldKindOf(result.columnType(column))});
    return fields;
}

std::vector<Value> serverRow(const PgResult& result, int row) {
    std::vector<Value> values;
    values.reserve(static_cast<std::size_t>(result.columns()));
    for (int column = 0; column < result.columns(); ++column) {
        if (result.isNull(row, column)) {
            values.emplace_back();
            continue;
        }
        switch (result.columnType(column)) {
        case PgResult::ColumnType::Integer:
            values.emplace_back(result.integer(row, column));
            break;
        case PgResult::ColumnType::Real:
            values.emplace_back(std::stod(result.text(row, column)));
            break;
        case PgResult::ColumnType::Text:
            values.emplace_back(fromServerText(result.text(row, column)));
            break;
        case PgResult::ColumnType::Bytes:
            values.emplace_back(result.text(row, column));
            break;
        }
    }
    return values;
}

ServerListing::ServerListing(std::shared_ptr<PgConnection> db, const std::string& table,
                             const std::string& conditions)
    : db_(std::move(db)) {
    const std::string name = quoteIdentifier(table);
    const std::string where = conditions.empty() ? "TRUE" : "(" + conditions + ")";
    const std::string between = "SELECT * FROM " + name + " WHERE " + where +
                                " AND \"Id\" > $1 AND \"Id\" < $2 ORDER BY \"Id\"";
    selectBetween_ = between + " OFFSET $3 LIMIT $4";
    selectBetweenBackwards_ = between + " DESC OFFSET $3 LIMIT $4";
    // The count and the last record in one statement, so that both see the same records.
    const PgResult counted = db_->execute("SELECT (SELECT count(*) FROM " + name + " WHERE " +
                                          where + " AND \"Id\" <= last.id), last.id FROM "
                                                  "(SELECT coalesce(max(\"Id\"), 0) AS id FROM " +
                                          name + ") AS last");
    count_ = counted.integer(0, 0);
    lastId_ = counted.integer(0, 1);
    // The first page tells the fields, even when there are no rows.
    const PgResult first =
        db_->execute(selectBetween_, {std::to_string(kBeforeEveryId), std::to_string(lastId_ + 1),
                                      "0", std::to_string(kPageRows)});
    fields_ = serverFields(first);
    idColumn_ = fieldIndexOf(fields_, "Id");
    if (idColumn_ < 0)
        throw EngineError("The table " + table + " has no field Id to list its records by");
    missing_.assign(fields_.size(), Value());
    keepPage(0, 0, first, false);
}

Value ServerListing::value(std::int64_t row, int column) {
    return rowAt(row)[static_cast<std::size_t>(column)];
}

const ServerListing::Row& ServerListing::rowAt(std::int64_t row) {
    const std::int64_t page = row / kPageRows;
    auto held = pages_.find(page);
    if (held == pages_.end()) {
        loadPage(page);
        held = pages_.find(page);
    } else {
        pageUse_.erase(std::find(pageUse_.begin(), pageUse_.end(), page));
        pageUse_.push_back(page);
    }
    const std::vector<Row>& rows = held->second;
    const auto at = static_cast<std::size_t>(row - page * kPageRows);
    return at < rows.size() ? rows[at] : missing_;
}

void ServerListing::loadPage(std::int64_t page) {
    const std::int64_t first = page * kPageRows;
    const std::int64_t end = std::min(count_, first + kPageRows);
    // The nearest rows read before, below the page and above it, or the listing's ends.
    std::int64_t lowRow = -1;
    std::int64_t lowId = kBeforeEveryId;
    std::int64_t highRow = count_;
    std::int64_t highId = lastId_ + 1;
    if (auto above = idOfRow_.lower_bound(end); above != idOfRow_.end())
        std::tie(highRow, highId) = *above;
    if (auto below = idOfRow_.lower_bound(first); below != idOfRow_.begin())
        std::tie(lowRow, lowId) = *std::prev(below);
    const std::int64_t forwardSkip = first - lowRow - 1;
    const std::int64_t backwardSkip = highRow - end;
    const bool backwards = backwardSkip < forwardSkip;
    const PgResult rows =
        db_->execute(backwards ? selectBetweenBackwards_ : selectBetween_,
                     {std::to_string(lowId), std::to_string(highId),
                      std::to_string(backwards ? backwardSkip : forwardSkip),
                      std::to_string(end - first)});
    keepPage(page, first, rows, backwards);
}

void ServerListing::keepPage(std::int64_t page, std::int64_t firstRow, const PgResult& rows,
                             bool backwards) {
    const int n = rows.rows();
    std::vector<Row> kept(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        kept[static_cast<std::size_t>(backwards ? n - 1 - i : i)] = serverRow(rows, i);
    // A short page means records were deleted since the listing was opened: where its rows
    // stand is not known, so they are no landmark for the pages around them.
    const std::int64_t expected = std::min(count_ - firstRow, std::int64_t{kPageRows});
    if (n > 0 && n == expected) {
        idOfRow_[firstRow] = kept.front()[static_cast<std::size_t>(idColumn_)].asInteger();
        idOfRow_[firstRow + n - 1] = kept.back()[static_cast<std::size_t>(idColumn_)].asInteger();
    }
    pages_[page] = std::move(kept);
    pageUse_.push_back(page);
    if (pages_.size() > kPagesKept) {
        pages_.erase(pageUse_.front());
        pageUse_.erase(pageUse_.begin());
    }
}

} // namespace katalox::store
