#pragma once
// A scan's records written to a catalogue table on a server with their sampled prints, as an
// insert into a catalogue file takes them: each file is read on a thread of its own a few hundred
// files ahead of the record being written, and the prints of a batch's records are written in
// the batch's transaction. Without prints, the records go straight to PgInsert.
#include "store/postgres/PgInsert.h"
#include "store/prints/PrintSink.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace katalox::store {

class PgPrintsWriter;
class SamplingAhead;

class PgPrintedInsert {
public:
    PgPrintedInsert(PgConnection& db, const std::string& table, std::string diskId,
                    bool fingerprints, std::size_t batchRecords = PgInsert::kBatchRecords);
    ~PgPrintedInsert();
    PgPrintedInsert(const PgPrintedInsert&) = delete;
    PgPrintedInsert& operator=(const PgPrintedInsert&) = delete;

    // Adds the record of the file at `path`, modified at `modified`; it is written once its
    // print is read. Throws as PgInsert::add() does.
    void add(const std::string& path, std::int64_t size, std::int64_t modified = 0);

    // Told of each file's record as it goes into its batch: what is written beside it (the
    // members of an archive, the file's facts) follows it there.
    using RecordAdded = std::function<void(std::int64_t record, const std::string& path,
                                           std::int64_t size, std::int64_t modified)>;
    void setRecordAdded(RecordAdded added) { recordAdded_ = std::move(added); }
    // The insert the records go through, for records and batch work of others.
    PgInsert& records() { return insert_; }
    // Writes the records still waiting and the last batch.
    void finish();

    std::int64_t written() const { return insert_.written(); }
    std::int64_t writtenSize() const { return insert_.writtenSize(); }
    std::int64_t notWritten() const {
        return insert_.notWritten() + static_cast<std::int64_t>(ahead_.size());
    }
    const PrintCounts& printCounts() const { return counts_; }

private:
    void writeOldest();

    struct Listed {
        std::string path;
        std::int64_t size = 0;
        std::int64_t modified = 0;
    };
    void recordAdded(std::int64_t record, const Listed& file) const;
    PgInsert insert_;
    std::string diskId_;
    std::deque<Listed> ahead_;
    PrintCounts counts_;
    RecordAdded recordAdded_;
    std::unique_ptr<PgPrintsWriter> prints_;
    // Last, so that its thread stops first.
    std::unique_ptr<SamplingAhead> sampler_;
};

} // namespace katalox::store
