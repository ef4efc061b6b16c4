#pragma once
// A scan's records written to a catalogue table on a server in batches: each batch is one COPY,
// so one transaction, while the rows of the next are gathered. The rows of a batch go to the
// server as they come, so that the server works on them while the walk lists the next files.
// Each batch takes a block of consecutive Ids before its first row, so every record's Id is
// known as it is added, and what is written beside the records (facts, prints, members) goes
// into the batch's transaction before it is committed.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace katalox::store {

class PgConnection;
class PgTransaction;

// Takes `count` consecutive Ids of `table`'s records, in a transaction of its own, and returns
// the first: every insert of ours takes its Ids so, under one lock, so no other takes one of them.
std::int64_t reserveRecordIds(PgConnection& db, const std::string& table, std::size_t count);
// The same inside the caller's open transaction, which holds the lock until it ends.
std::int64_t reserveRecordIdsInTransaction(PgConnection& db, const std::string& table,
                                           std::size_t count);
// Appends `text` as a field in COPY's text form, where a backslash escapes and tab and line
// break separate.
void appendCopyField(std::string& out, std::string_view text);

class PgInsert {
public:
    static constexpr std::size_t kBatchRecords = 10000;

    PgInsert(PgConnection& db, const std::string& table, std::size_t batchRecords = kBatchRecords);
    ~PgInsert();
    PgInsert(const PgInsert&) = delete;
    PgInsert& operator=(const PgInsert&) = delete;

    // Adds the record of the file at `path` (its path and name upper-cased, as the catalogue
    // file's insert stores them) under `diskId` and returns its Id. A full batch is written when
    // the next record comes, or by finish(). Throws EngineError when the batch could not be
    // written: the batches before it stay.
    std::int64_t add(const std::string& path, const std::string& diskId, std::int64_t size);
    // Writes the last batch. Throws as add() does.
    void finish();

    // Told inside each batch's transaction once its rows are in, before the commit, in the
    // order added: what they write is committed with the records or rolled back with them. A
    // throw fails the batch.
    void addBatchClosing(std::function<void(PgConnection&)> closing) {
        batchClosings_.push_back(std::move(closing));
    }

    // Records of the batches written, and their sizes.
    std::int64_t written() const { return written_; }
    std::int64_t writtenSize() const { return writtenSize_; }
    // Records added that are not written (those of the batch that failed, or still open).
    std::int64_t notWritten() const { return static_cast<std::int64_t>(inBatch_); }

private:
    void startBatch();
    void sendRows();
    void endBatch();

    PgConnection& db_;
    std::string table_;
    std::string copy_;
    std::string lockIds_;
    std::string returnIds_;
    std::vector<std::function<void(PgConnection&)>> batchClosings_;
    // The open batch's transaction, and its next Id.
    std::unique_ptr<PgTransaction> transaction_;
    std::int64_t nextId_ = 0;
    std::int64_t blockEnd_ = 0;
    std::size_t batchRecords_;
    std::string rows_; // not handed to libpq yet
    std::size_t inBatch_ = 0;
    std::int64_t batchSize_ = 0;
    bool copying_ = false;
    std::int64_t written_ = 0;
    std::int64_t writtenSize_ = 0;
};

} // namespace katalox::store
