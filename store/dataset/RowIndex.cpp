#include "store/dataset/RowIndex.h"

#include "store/sqlite/SqlText.h"

namespace katalox::store {

RowIndex::RowIndex(std::shared_ptr<Database> db, const std::string& table)
    : db_(std::move(db)), table_(quoteIdentifier(table)) {
    reload();
}

void RowIndex::reload() {
    // count(*) reads the smallest index; min and max of the row id are one seek each.
    Statement counting = db_->prepare("SELECT count(*) FROM " + table_);
    counting.step();
    count_ = counting.columnInteger(0);
    Statement bounds = db_->prepare("SELECT (SELECT min(rowid) FROM " + table_ +
                                    "), (SELECT max(rowid) FROM " + table_ + ")");
    bounds.step();
    first_ = bounds.columnInteger(0);
    dense_ = count_ == 0 || bounds.columnInteger(1) - first_ + 1 == count_;
    ids_.clear();
    ids_.shrink_to_fit();
}

void RowIndex::loadIds() {
    Statement statement = db_->prepare("SELECT rowid FROM " + table_ + " ORDER BY rowid");
    ids_.reserve(static_cast<std::size_t>(count_));
    while (statement.step())
        ids_.push_back(statement.columnInteger(0));
    count_ = static_cast<std::int64_t>(ids_.size());
}

std::int64_t RowIndex::rowIdAt(std::int64_t row) {
    if (dense_)
        return first_ + row;
    if (ids_.empty() && count_ > 0)
        loadIds();
    // The table may have shrunk since it was counted; such a row reads as missing.
    return row < static_cast<std::int64_t>(ids_.size()) ? ids_[static_cast<std::size_t>(row)] : -1;
}

void RowIndex::append(std::int64_t rowId) {
    if (dense_ && (count_ == 0 || rowId == first_ + count_)) {
        if (count_ == 0)
            first_ = rowId;
        ++count_;
        return;
    }
    if (dense_) {
        ids_.reserve(static_cast<std::size_t>(count_) + 1);
        for (std::int64_t i = 0; i < count_; ++i)
            ids_.push_back(first_ + i);
        dense_ = false;
    } else if (ids_.empty()) {
        // The ids are read from the table on first use, and the table already holds this
        // record: counting it is all there is to do.
        ++count_;
        return;
    }
    ids_.push_back(rowId);
    ++count_;
}

} // namespace katalox::store
