#pragma once
// Where a disk update reads a Disk ID's scans and records and writes its changes, with the
// facts, prints and archive members beside them: a catalogue file, or a catalogue on a server.
// The writes beside the records run inside apply()'s transaction.
#include "store/archives/ArchiveListing.h"
#include "store/catalog/DiskChanges.h"
#include "store/catalog/RecordedDisks.h"
#include "store/prints/ContentPrint.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace katalox::store {

class Database;
class FactsWriter;

struct PrintToWrite {
    std::int64_t record = 0;
    ContentPrint print;
    std::int64_t size = 0;
};

class DiskUpdateStore {
public:
    virtual ~DiskUpdateStore() = default;

    // The catalogue as the user names it, for messages.
    virtual std::string name() const = 0;
    // The catalogue table: what it keeps beside its records depends on it.
    virtual const std::string& table() const = 0;
    virtual std::vector<RecordedScan> recordedScans(const std::string& diskId) = 0;
    virtual std::vector<StoredRecord> recordsUnder(const std::string& diskId,
                                                   const std::vector<std::string>& folders) = 0;
    // Makes what is written beside the records where it is still missing, before apply().
    virtual void prepare(bool facts, bool prints, bool members) = 0;
    // Applies the changes in one transaction, as applyChanges() does.
    virtual void
    apply(const std::string& diskId, const DiskChanges& changes,
          const std::vector<RecordedScan>& scans,
          const std::function<void(std::size_t done)>& progress,
          const std::function<void(const std::vector<std::int64_t>& added)>& beforeCommit) = 0;

    // Inside apply()'s transaction.
    virtual void forgetScanFacts(const std::vector<std::int64_t>& scanIds) = 0;
    virtual std::unique_ptr<FactsWriter> factsWriter(const std::string& rootFolder) = 0;
    virtual void forgetMembers(std::int64_t archive) = 0;
    virtual void writeMembers(const std::string& diskId, std::int64_t archive,
                              const std::string& storedArchivePath,
                              const std::vector<ArchiveMember>& members) = 0;
    virtual void writePrints(const std::vector<PrintToWrite>& prints) = 0;
};

// The store of a catalogue file's table.
std::unique_ptr<DiskUpdateStore> fileUpdateStore(std::shared_ptr<Database> db, std::string table);

} // namespace katalox::store
