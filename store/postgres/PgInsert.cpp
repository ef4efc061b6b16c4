#include "store/postgres/PgInsert.h"

#include "platform/Error.h"
#include "platform/Paths.h"
#include "platform/Utf8.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgText.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>

namespace katalox::store {

namespace {

// Rows are handed to libpq in pieces of about this size, which it sends at once.
constexpr std::size_t kSendSize = 1 << 16;

} // namespace

void appendCopyField(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

namespace {

// The table's identity sequence, and the lock under which every insert of ours takes a block
// of its Ids, so that no other takes an Id inside it.
std::string sequenceOf(const std::string& table) {
    return "pg_get_serial_sequence(" + quoted(quoteIdentifier(table), '\'') + ", 'Id')";
}

std::string lockIdsSql(const std::string& sequence) {
    return "SELECT pg_advisory_xact_lock(751639542, " + sequence + "::regclass::oid::integer)";
}

} // namespace

std::int64_t reserveRecordIdsInTransaction(PgConnection& db, const std::string& table,
                                           std::size_t count) {
    const std::string sequence = sequenceOf(table);
    db.execute(lockIdsSql(sequence));
    const std::int64_t last = db.execute("SELECT setval(" + sequence + ", nextval(" + sequence +
                                         ") + " + std::to_string(count - 1) + ")")
                                  .integer(0, 0);
    return last - static_cast<std::int64_t>(count) + 1;
}

std::int64_t reserveRecordIds(PgConnection& db, const std::string& table, std::size_t count) {
    PgTransaction reserving(db);
    const std::int64_t first = reserveRecordIdsInTransaction(db, table, count);
    reserving.commit();
    return first;
}

PgInsert::PgInsert(PgConnection& db, const std::string& table, std::size_t batchRecords)
    : db_(db), table_(table),
      copy_("COPY " + quoteIdentifier(table) +
            " (\"Id\", \"File Name\", \"File Path\", \"Disk ID\", \"File Size\") FROM STDIN"),
      batchRecords_(std::max<std::size_t>(batchRecords, 1)) {
    const std::string sequence = sequenceOf(table);
    lockIds_ = lockIdsSql(sequence);
    // Ids of the block left unused go back when no other insert has taken a block since.
    returnIds_ = "SELECT setval(" + sequence + ", $2) WHERE pg_sequence_last_value(" + sequence +
                 "::regclass) = $1";
    rows_.reserve(kSendSize * 2);
}

PgInsert::~PgInsert() = default;

std::int64_t PgInsert::add(const std::string& path, const std::string& diskId, std::int64_t size) {
    if (inBatch_ >= batchRecords_)
        endBatch();
    if (!transaction_)
        startBatch();
    const std::int64_t id = nextId_++;
    // The name is the path's last part; upper-casing never makes or moves a separator.
    const std::string upperPath = toServerText(platform::upperCase(path));
    const std::size_t nameAt = upperPath.rfind(platform::kPathSeparator) + 1;
    rows_ += std::to_string(id);
    rows_ += '\t';
    appendCopyField(rows_, std::string_view(upperPath).substr(nameAt));
    rows_ += '\t';
    appendCopyField(rows_, upperPath);
    rows_ += '\t';
    appendCopyField(rows_, toServerText(diskId));
    rows_ += '\t';
    rows_ += std::to_string(size);
    rows_ += '\n';
    ++inBatch_;
    batchSize_ += size;
    if (rows_.size() >= kSendSize)
        sendRows();
    return id;
}

void PgInsert::startBatch() {
    nextId_ = reserveRecordIds(db_, table_, batchRecords_);
    blockEnd_ = nextId_ + static_cast<std::int64_t>(batchRecords_) - 1;
    transaction_ = std::make_unique<PgTransaction>(db_);
    db_.startCopy(copy_);
    copying_ = true;
}

void PgInsert::finish() {
    if (inBatch_ > 0)
        endBatch();
}

void PgInsert::sendRows() {
    try {
        db_.sendCopyData(rows_);
    } catch (const EngineError&) {
        copying_ = false; // the server has ended the COPY
        transaction_.reset();
        throw;
    }
    rows_.clear();
}

void PgInsert::endBatch() {
    sendRows();
    try {
        copying_ = false;
        db_.endCopy();
        if (nextId_ <= blockEnd_) {
            db_.execute(lockIds_);
            db_.execute(returnIds_, {std::to_string(blockEnd_), std::to_string(nextId_ - 1)});
        }
        for (const auto& closing : batchClosings_)
            closing(db_);
        transaction_->commit();
    } catch (const EngineError&) {
        transaction_.reset(); // rolled back: none of the batch is written
        throw;
    }
    transaction_.reset();
    written_ += static_cast<std::int64_t>(inBatch_);
    writtenSize_ += batchSize_;
    inBatch_ = 0;
    batchSize_ = 0;
}

} // namespace katalox::store
