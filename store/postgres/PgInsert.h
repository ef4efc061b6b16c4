#pragma once
// A scan's records written to a catalogue table on a server in batches: each batch is one COPY,
// so one transaction, while the rows of the next are gathered. The rows of a batch go to the
// server as they come, so that the server works on them while the walk lists the next files.
#include <cstddef>
#include <cstdint>
#include <string>

namespace katalox::store {

class PgConnection;

class PgInsert {
public:
    static constexpr std::size_t kBatchRecords = 10000;

    PgInsert(PgConnection& db, const std::string& table, std::size_t batchRecords = kBatchRecords);

    // Adds the record of the file at `path` (its path and name upper-cased, as the catalogue
    // file's insert stores them) under `diskId`, and writes the batch once it is full. Throws
    // EngineError when the batch could not be written: the batches before it stay.
    void add(const std::string& path, const std::string& diskId, std::int64_t size);
    // Writes the last batch. Throws as add() does.
    void finish();

    // Records of the batches written, and their sizes.
    std::int64_t written() const { return written_; }
    std::int64_t writtenSize() const { return writtenSize_; }
    // Records added that are not written (those of the batch that failed, or still open).
    std::int64_t notWritten() const { return static_cast<std::int64_t>(inBatch_); }

private:
    void sendRows();
    void endBatch();

    PgConnection& db_;
    std::string copy_;
    std::size_t batchRecords_;
    std::string rows_; // not handed to libpq yet
    std::size_t inBatch_ = 0;
    std::int64_t batchSize_ = 0;
    bool copying_ = false;
    std::int64_t written_ = 0;
    std::int64_t writtenSize_ = 0;
};

} // namespace katalox::store
