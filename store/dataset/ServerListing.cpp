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
// Listings of more records than this are read walking the records in "Id" order.
constexpr std::int64_t kWalkedFrom = 100000;
// Pages read at once at most, when read one after the other.
constexpr std::int64_t kMostReadAhead = 32;
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

Value serverValue(const PgResult& result, int row, int column) {
    if (result.isNull(row, column))
        return Value();
    switch (result.columnType(column)) {
    case PgResult::ColumnType::Integer:
        return Value(result.integer(row, column));
    case PgResult::ColumnType::Real:
        return Value(std::stod(result.text(row, column)));
    case PgResult::ColumnType::Text:
        return Value(fromServerText(result.text(row, column)));
    case PgResult::ColumnType::Bytes:
        break;
    }
    return Value(result.text(row, column));
}

std::vector<Value> serverRow(const PgResult& result, int row) {
    std::vector<Value> values;
    values.reserve(static_cast<std::size_t>(result.columns()));
    for (int column = 0; column < result.columns(); ++column)
        values.push_back(serverValue(result, row, column));
    return values;
}

ServerListing::ServerListing(std::shared_ptr<PgConnection> db, const std::string& table,
                             const std::string& conditions,
                             const std::optional<std::string>& diskId)
    : db_(std::move(db)) {
    const std::string name = quoteIdentifier(table);
    const std::string where = conditions.empty() ? "TRUE" : "(" + conditions + ")";
    // The last record first: the count and every page read stop at it. (Asked for in one
    // statement, the count would be a subplan that the server does not read in parallel.)
    lastId_ = db_->execute("SELECT coalesce(max(\"Id\"), 0) FROM " + name).integer(0, 0);
    from_ = " FROM " + name + " WHERE " + where + " AND \"Id\" <= " + std::to_string(lastId_);
    count_ = db_->execute("SELECT count(*)" + from_).integer(0, 0);
    // A page of a listing of many records is found walking the records in "Id" order, which
    // meets them soon; the records of a short one are found through the indexes and sorted
    // (walking in "Id" order could read every record to find a few).
    const bool walked = count_ > kWalkedFrom;
    const std::string order = walked ? "\"Id\"" : "\"Id\" + 0";
    // The records of one Disk ID lie together, wherever in the table: a walk starts at the
    // first of them and stops at the last, both found at once through the Disk ID's index.
    // (Asked for the least Id among them, the server would walk the table in Id order.)
    firstId_ = kBeforeEveryId + 1;
    lastListedId_ = lastId_;
    if (walked && diskId) {
        const auto end = [&](const char* direction) {
            return db_->execute("SELECT \"Id\" FROM " + name +
                                    " WHERE \"Disk ID\" >= $2 AND "
                                    "\"Disk ID\" <= $2 AND " +
                                    where +
                                    " AND \"Id\" <= $1 ORDER BY "
                                    "\"Disk ID\" " +
                                    direction + ", \"Id\" " + direction + " LIMIT 1",
                                {std::to_string(lastId_), *diskId});
        };
        if (const PgResult first = end("ASC"); first.rows() == 1) {
            firstId_ = first.integer(0, 0);
            lastListedId_ = end("DESC").integer(0, 0);
        }
    }
    const std::string between = "SELECT * FROM " + name + " WHERE " + where +
                                " AND \"Id\" > $1 AND \"Id\" < $2 ORDER BY " + order;
    selectBetween_ = between + " OFFSET $3 LIMIT $4";
    selectBetweenBackwards_ = between + " DESC OFFSET $3 LIMIT $4";
    // The fields, told even when no record matches.
    const PgResult none = db_->execute("SELECT * FROM " + name + " WHERE false");
    fields_ = serverFields(none);
    idColumn_ = fieldIndexOf(fields_, "Id");
    if (idColumn_ < 0)
        throw EngineError("The table " + table + " has no field Id to list its records by");
    loadPage(0);
}

Value ServerListing::value(std::int64_t row, int column) {
    const std::int64_t page = row / kPageRows;
    auto held = pages_.find(page);
    if (held == pages_.end()) {
        loadPage(page);
        held = pages_.find(page);
    } else if (pageUse_.back() != page) {
        pageUse_.erase(std::find(pageUse_.begin(), pageUse_.end(), page));
        pageUse_.push_back(page);
    }
    const Rows& rows = held->second;
    const std::int64_t at = row - rows.firstRow;
    if (at >= rows.rows)
        return Value();
    const auto resultRow = static_cast<int>(rows.backwards ? rows.rows - 1 - at : at);
    return serverValue(*rows.result, resultRow, column);
}

std::optional<std::int64_t> ServerListing::summedKilobytes(int column) {
    const Field& field = fields_[static_cast<std::size_t>(column)];
    if (field.kind != FieldKind::Integer)
        return std::nullopt;
    const std::string name = quoteIdentifier(field.name);
    const PgResult sum = db_->execute("SELECT coalesce(sum(" + name +
                                      " / 1024), 0), count(*) - count(" + name + ")" + from_);
    // A record without a value: the caller meets it reading the records, as on a file.
    if (sum.integer(0, 1) > 0)
        return std::nullopt;
    return sum.integer(0, 0);
}

void ServerListing::loadPage(std::int64_t page) {
    // Reading on page after page (a total over the listing) reads ahead ever more at once.
    readAhead_ = page == lastLoaded_ + 1 ? std::min(readAhead_ * 2, kMostReadAhead) : 1;
    lastLoaded_ = page;
    const std::int64_t first = page * kPageRows;
    const std::int64_t end = std::min(count_, first + readAhead_ * kPageRows);
    // The nearest rows read before, below the pages and above them, or the listing's ends.
    std::int64_t lowRow = -1;
    std::int64_t lowId = firstId_ - 1;
    std::int64_t highRow = count_;
    std::int64_t highId = lastListedId_ + 1;
    if (auto above = idOfRow_.lower_bound(end); above != idOfRow_.end())
        std::tie(highRow, highId) = *above;
    if (auto below = idOfRow_.lower_bound(first); below != idOfRow_.begin())
        std::tie(lowRow, lowId) = *std::prev(below);
    const std::int64_t forwardSkip = first - lowRow - 1;
    const std::int64_t backwardSkip = highRow - end;
    const bool backwards = backwardSkip < forwardSkip;
    auto result = std::make_shared<const PgResult>(db_->execute(
        backwards ? selectBetweenBackwards_ : selectBetween_,
        {std::to_string(lowId), std::to_string(highId),
         std::to_string(backwards ? backwardSkip : forwardSkip), std::to_string(end - first)}));
    const Rows rows{result, first, result->rows(), backwards};
    // Fewer rows than asked for means records were deleted since the listing was opened:
    // where its rows stand is not known, so they are no landmarks for the pages around them.
    if (rows.rows == end - first && rows.rows > 0) {
        const auto idAt = [&](std::int64_t row) {
            const std::int64_t at = row - first;
            return result->integer(static_cast<int>(backwards ? rows.rows - 1 - at : at),
                                   idColumn_);
        };
        for (std::int64_t from = first; from < end; from += kPageRows) {
            const std::int64_t last = std::min(end, from + kPageRows) - 1;
            idOfRow_[from] = idAt(from);
            idOfRow_[last] = idAt(last);
        }
    }
    for (std::int64_t at = page; at == page || at * kPageRows < end; ++at)
        keepPage(at, rows);
}

void ServerListing::keepPage(std::int64_t page, const Rows& rows) {
    if (pages_.insert_or_assign(page, rows).second)
        pageUse_.push_back(page);
    while (pages_.size() > kPagesKept) {
        pages_.erase(pageUse_.front());
        pageUse_.erase(pageUse_.begin());
    }
}

} // namespace katalox::store
