#pragma once
// The catalogue service: one catalogue file, as the windows, the tests, the benchmarks and
// command-line programs all use it. It inserts a scan's files under a Disk ID with the volume
// they lie on, compares a disk with its recorded folders and applies the changes, tells which
// disks are connected now, deletes, renames and empties, and reaches a recorded file on the
// live file system. It holds no window and shows nothing: errors are exceptions carrying the
// text the user will see.
#include "platform/Error.h"
#include "scanner/FileWalk.h"
#include "store/archives/ArchiveListing.h"
#include "store/catalog/DiskUpdate.h"
#include "store/catalog/RecordedDisks.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace katalox::store {

class Database;
class FactsWriter;
class PrintsWriter;
class SamplingAhead;
class MembersWriter;

// A scan to insert: the Disk ID it goes under, and the folder and patterns it was made with,
// recorded beside the records.
struct ScanToInsert {
    std::string diskId;
    scanner::WalkRules rules;
    // Whether each file's sampled print is taken as it is inserted.
    bool fingerprints = true;
    // How archives among the files are looked inside; none: they are not.
    std::optional<ArchiveLimits> archives = ArchiveLimits{defaultArchiveFormats()};
};

struct InsertFigures {
    std::int64_t records = 0; // records written, or waiting for a busy catalogue
    std::int64_t totalSize = 0;
    std::int64_t missing = 0; // listed files gone since the scan: no record
    bool stopped = false;     // the progress callback asked to stop
    // Files that got no print: they could not be read, or changed while they were read.
    std::int64_t unreadable = 0;
    std::int64_t changing = 0;
    // Records of archive members (not in `records` nor `totalSize`, which count the disk's own
    // files), archives that could not be read, and members over a cap left out.
    std::int64_t members = 0;
    std::int64_t unreadArchives = 0;
    std::int64_t membersLeftOut = 0;
};

// The records went in, but the row recording their scan beside them did not.
class UnrecordedScanError : public Error {
public:
    using Error::Error;
};

// A Disk ID and where its disk is mounted now (none when it is not connected); a Disk ID
// without a recorded scan is not among the disks.
struct DiskPresence {
    std::string diskId;
    std::vector<RecordedScan> scans;
    std::optional<std::string> mountedAt;
};

// The disks of `scans` (oldest first), each with its scans and where it is mounted on this
// machine now.
std::vector<DiskPresence> presenceOf(std::vector<RecordedScan> scans);

// "1 record", "3 records".
std::string recordCountText(std::size_t count);

class Catalog {
public:
    // The catalogue file at `path`, opened without creating it. Throws EngineError.
    explicit Catalog(const std::string& path);
    ~Catalog();
    Catalog(Catalog&&) noexcept;
    // The catalogue that config.ini in `folder` names (its folder joined with its table file).
    // Throws FileError or Error as reading config.ini does, EngineError as opening does.
    static Catalog configuredIn(const std::string& folder);

    const std::string& path() const { return path_; }
    // The table of the file ("Files.db" holds "Files").
    const std::string& table() const { return table_; }
    Database& database() const { return *db_; }

    // `pathAt(i)` gives the i-th of `count` listed paths; each file that still exists becomes
    // one record, in list order, committed in batches (a crash loses at most one); the scan is
    // recorded with its volume in the first batch and marked complete at the end. `progress(i)` is
    // told after each record and may return false to stop. An engine error stops the insert at that
    // file and keeps every record before it; records a busy catalogue cannot take yet are kept and
    // written once it lets go, and the insert fails saying how many wait. Throws
    // UnrecordedScanError when only the scan's row failed.
    using PathAt = std::function<std::string_view(std::size_t)>;
    using InsertProgress = std::function<bool(std::size_t index)>;
    // `sizeAt`, when given, tells the size and time of the i-th file as a walk that has just
    // listed it read them: the file is then not looked up again.
    struct ListedFile {
        std::uint64_t size = 0;
        std::int64_t modified = 0;
    };
    using ListedAt = std::function<ListedFile(std::size_t)>;
    InsertFigures insert(const ScanToInsert& scan, std::size_t count, const PathAt& pathAt,
                         const InsertProgress& progress = {}, const ListedAt& listedAt = {});
    // The same for files handed over as a walk finds them, so the walk and the insert overlap:
    // `next` fills in the next path and what the walk read of it, and returns false after the
    // last. The scan's listed files are counted as they come.
    using NextListed = std::function<bool(std::string& path, ListedFile& listed)>;
    InsertFigures insertAsListed(const ScanToInsert& scan, const NextListed& next,
                                 const InsertProgress& progress = {});

    // What "Update This Disk..." compares and applies for `diskId`.
    std::unique_ptr<DiskUpdate> diskUpdate(const std::string& diskId) const;
    // Every Disk ID with a recorded scan, in the order first recorded, and where it is now.
    std::vector<DiskPresence> disks() const;
    // The real path of a catalogue path of `diskId` (upper-cased, as stored) on the live file
    // system; none when the disk is not connected or the file is gone.
    std::optional<std::string> livePath(const std::string& diskId,
                                        const std::string& storedPath) const;

    // Delete or rename every record of `diskId` and keep the recorded scans in step, in one
    // transaction. `change` runs the statement that changes the records (the main window's
    // own); without it the service runs its own.
    void deleteDisk(const std::string& diskId, const std::function<void()>& change = {});
    void renameDisk(const std::string& diskId, const std::string& newName,
                    const std::function<void()>& change = {});
    // The real path of record `record` as it was scanned, when its facts are known.
    std::optional<std::string> recordedRealPath(std::int64_t record) const;
    // Where record `record` of `diskId`, stored as `storedPath`, is on the live file system:
    // through its recorded real path when known, else as livePath() finds it.
    std::optional<std::string> livePathOfRecord(std::int64_t record, const std::string& diskId,
                                                const std::string& storedPath) const;

    // Removes every record and what lies beside them, or nothing when another program or
    // another instance of this one has the file open.
    void empty();

private:
    // What the insert reads next: a listed file, one gone since it was listed, or the end.
    enum class NextFile { Listed, Gone, End };
    using NextFileSource = std::function<NextFile(std::string& path, ListedFile& listed)>;
    // `listed`: how many files the scan listed, or none when they are counted as they come.
    InsertFigures insertFrom(const ScanToInsert& scan, std::optional<std::size_t> listed,
                             const NextFileSource& next, const InsertProgress& progress);
    void insertRecords(const ScanToInsert& scan, const NextFileSource& next,
                       const InsertProgress& progress, InsertFigures& figures);
    RecordedScan scanBeingInserted(const ScanToInsert& scan, std::size_t listed) const;
    void writeFacts(std::int64_t scanId, std::int64_t lastRecord);
    // Makes the table of archive members when missing, at the insert's first archive; without
    // it archives are recorded as files only.
    void startMembers();
    // The members of the archive just recorded as `archive`, as records of their own.
    void insertMembers(const ScanToInsert& scan, std::int64_t archive, const std::string& path,
                       InsertFigures& figures);
    void startPrinting(const ScanToInsert& scan);
    void writePrints();
    void notePrint(std::int64_t record, std::int64_t size, InsertFigures& figures);
    void completeScan(RecordedScan& recorded, const InsertFigures& figures,
                      std::string& unrecorded);
    // Runs `beforeChange`, `change` (or our own statement with its parameters) and `keepScans`,
    // in one transaction.
    void changeRecords(const std::function<void()>& change, const std::string& ownStatement,
                       const std::vector<std::string>& parameters,
                       const std::function<void(Database&)>& keepScans,
                       const std::function<void(Database&)>& beforeChange = {});

    std::string path_;
    std::string table_;
    std::shared_ptr<Database> db_;
    // The record an insert is posting, for the scan's row counted while a batch is committed.
    struct InFlight {
        bool posting = false;
        std::size_t pendingBefore = 0;
        std::int64_t size = 0;
    } inFlight_;
    // The facts and prints of the files of the insert running, while it runs.
    std::unique_ptr<FactsWriter> facts_;
    std::unique_ptr<PrintsWriter> prints_;
    std::unique_ptr<SamplingAhead> sampler_;
    std::unique_ptr<MembersWriter> members_;
};

} // namespace katalox::store
