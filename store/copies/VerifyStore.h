#pragma once
// What a verification reads and writes, apart from the files themselves: the few reads and
// writes that differ between a catalogue file and a catalogue on a server, behind which the
// reading and judging of DiskVerification are the same. Paths and Disk IDs are the file
// system's bytes.
#include "store/catalog/RecordedDisks.h"
#include "store/copies/DiskVerification.h"
#include "store/facts/RecordedFacts.h"
#include "store/prints/ContentPrint.h"
#include "store/prints/PrintSink.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace katalox::store {

class Catalog;
class Database;

// A file of the Disk ID to check: whether the verification begun at `run` checked it already.
struct VerifyEntry {
    std::int64_t record = 0;
    std::int64_t size = 0;
    bool checked = false;
};

// What the catalogue knows of a record about to be read.
struct VerifyDetails {
    std::int64_t record = 0;
    std::string upperName;
    std::string storedPath;
    std::int64_t size = 0;
    ContentPrint whole;   // of an earlier verification
    ContentPrint sampled; // taken at scan time
};

struct VerifyJudgement {
    std::int64_t record = 0;
    std::optional<VerifyFinding> finding;
    ContentPrint whole; // known when read whole and found sound
};

class VerifyStore {
public:
    virtual ~VerifyStore() = default;

    virtual std::optional<DiskCheck> lastCheck(const std::string& diskId) = 0;
    virtual std::vector<FoundProblem> findings(const std::string& diskId) = 0;
    // A new verification of the Disk ID begun at `run`: its figures start from nothing and the
    // last one's findings are forgotten, in one transaction.
    virtual void begin(const std::string& diskId, std::int64_t run) = 0;
    // The disk's own files in record order (members of archives are read with their archive).
    virtual std::vector<VerifyEntry> files(const std::string& diskId, std::int64_t run) = 0;
    virtual std::vector<std::pair<VerifyFinding, std::int64_t>>
    findingCounts(const std::string& diskId) = 0;
    virtual std::vector<RecordedScan> scans(const std::string& diskId) = 0;
    // The details of those of `records` that are still there, in their order.
    virtual std::vector<VerifyDetails> details(const std::vector<std::int64_t>& records) = 0;
    // The record's real path as scanned; none when its facts are not kept.
    virtual std::optional<RecordedPath> recordedPath(std::int64_t record,
                                                     const std::string& upperName) = 0;
    // Where a stored path of the Disk ID is on this machine now, through its recorded scans.
    virtual std::optional<std::string> livePath(const std::string& diskId,
                                                const std::string& storedPath) = 0;
    // The prints found for records that had none, written by write().
    virtual PrintSink& prints() = 0;
    // In one transaction: the judgements of the records still there, the prints gathered, and
    // the figures of the verification begun at `run`, finished at `finishedAt` if it is.
    virtual void write(const std::string& diskId, std::int64_t run,
                       const std::vector<VerifyJudgement>& judged, const VerifyFigures& figures,
                       std::optional<std::int64_t> finishedAt) = 0;
};

// The verifications of catalogue table `table` of a catalogue file.
std::unique_ptr<VerifyStore> fileVerifyStore(Database& db, const std::string& table);
// The same on a catalogue of its own, kept as long as the store.
std::unique_ptr<VerifyStore> fileVerifyStore(std::unique_ptr<Catalog> catalog);

} // namespace katalox::store
