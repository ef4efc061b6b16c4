#include "store/postgres/PgPrintedInsert.h"

#include "store/postgres/PgPrintsWriter.h"
#include "store/prints/SamplingAhead.h"

namespace katalox::store {

namespace {

// Files read for their prints ahead of the record being written, as a catalogue file's insert
// reads them.
constexpr std::size_t kReadAhead = 256;

} // namespace

PgPrintedInsert::PgPrintedInsert(PgConnection& db, const std::string& table, std::string diskId,
                                 bool fingerprints, std::size_t batchRecords)
    : insert_(db, table, batchRecords), diskId_(std::move(diskId)) {
    if (!fingerprints)
        return;
    prints_ = std::make_unique<PgPrintsWriter>(db, table);
    sampler_ = std::make_unique<SamplingAhead>();
    // A batch closes as the first record of the next is added, before that record's print is
    // gathered: what the writer holds then is the closing batch's.
    insert_.addBatchClosing([this](PgConnection&) { prints_->flush(); });
}

PgPrintedInsert::~PgPrintedInsert() = default;

void PgPrintedInsert::add(const std::string& path, std::int64_t size, std::int64_t modified) {
    if (!sampler_) {
        recordAdded(insert_.add(path, diskId_, size), {path, size, modified});
        return;
    }
    sampler_->handIn(path);
    ahead_.push_back({path, size, modified});
    if (ahead_.size() >= kReadAhead)
        writeOldest();
}

void PgPrintedInsert::writeOldest() {
    const Listed& oldest = ahead_.front();
    const std::int64_t record = insert_.add(oldest.path, diskId_, oldest.size);
    prints_->add(record, printToKeep(sampler_->takeNext(), oldest.size, counts_), oldest.size);
    const Listed written = std::move(ahead_.front());
    ahead_.pop_front();
    recordAdded(record, written);
}

void PgPrintedInsert::recordAdded(std::int64_t record, const Listed& file) const {
    if (recordAdded_)
        recordAdded_(record, file.path, file.size, file.modified);
}

void PgPrintedInsert::finish() {
    while (!ahead_.empty())
        writeOldest();
    insert_.finish();
}

} // namespace katalox::store
