#include "store/copies/DiskVerification.h"

#include "platform/DeepPath.h"
#include "platform/Error.h"
#include "platform/MessagePump.h"
#include "store/archives/ArchiveListing.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/DiskPlace.h"
#include "store/catalog/RecordedDisks.h"
#include "store/facts/RecordedFacts.h"
#include "store/prints/PrintTables.h"
#include "store/prints/PrintsWriter.h"
#include "store/prints/SamplingAhead.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"
#include "store/sqlite/Transaction.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <deque>

namespace katalox::store {

namespace {

using Clock = std::chrono::steady_clock;

const std::string kVerified = quoteIdentifier(kVerifiedTable);
const std::string kFindings = quoteIdentifier(kVerifyFindingsTable);
const std::string kChecks = quoteIdentifier(kDiskChecksTable);

// Files read ahead of the one being judged: enough to keep the reading thread busy.
constexpr std::size_t kReadAhead = 32;
// What is judged is written this often, so a kill loses little.
constexpr std::size_t kFilesPerCommit = 4096;
constexpr auto kCommitEvery = std::chrono::seconds(2);
constexpr auto kProgressEvery = std::chrono::milliseconds(50);
constexpr std::int64_t kFilesBetweenProgress = 64;

std::int64_t secondsNow() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

// Where the folder of each recorded scan of the disk is now; none for a volume not connected.
struct Place {
    std::int64_t scanId = 0;
    std::string scannedFolder;
    std::optional<std::string> folderNow;
};

std::vector<Place> placesOf(Database& db, const std::string& diskId) {
    std::vector<Place> places;
    for (const RecordedScan& scan : recordedScans(db, diskId)) {
        const ScanPlace place = locateScan(scan);
        places.push_back({scan.id, scan.scannedFolder,
                          place.state == ScanPlace::State::Connected
                              ? std::optional<std::string>(place.folderNow)
                              : std::nullopt});
    }
    return places;
}

ContentPrint printOf(const Value& value) {
    const std::string* bytes = value.text();
    return bytes ? ContentPrint::fromBytes(*bytes) : ContentPrint();
}

bool missing(const std::string& path) {
    struct stat info {};
    return !platform::statDeep(path, info, false) && (errno == ENOENT || errno == ENOTDIR);
}

} // namespace

std::optional<DiskCheck> lastDiskCheck(Database& db, const std::string& diskId) {
    if (!hasPrintTables(db))
        return std::nullopt;
    Statement select = db.prepare("SELECT \"Started\", \"Finished\" FROM " + kChecks +
                                  " WHERE \"Disk ID\" = ?1 AND \"Started\" IS NOT NULL");
    select.bindText(1, diskId);
    if (!select.step())
        return std::nullopt;
    DiskCheck check;
    check.started = select.columnInteger(0);
    if (const Value finished = select.columnValue(1); !finished.isNull())
        check.finished = finished.asInteger();
    return check;
}

std::vector<FoundProblem> verifyFindings(Database& db, const std::string& table,
                                         const std::string& diskId) {
    std::vector<FoundProblem> found;
    if (!hasFindingsTable(db))
        return found;
    Statement select = db.prepare("SELECT f.rowid, f.\"File Path\", v.\"Finding\" FROM " +
                                  kFindings + " v JOIN " + quoteIdentifier(table) +
                                  " f ON f.rowid = v.\"Record\" WHERE f.\"Disk ID\" = ?1 ORDER "
                                  "BY f.rowid");
    select.bindText(1, diskId);
    while (select.step())
        found.push_back({select.columnInteger(0), select.columnValue(1).asString(),
                         static_cast<VerifyFinding>(select.columnInteger(2))});
    return found;
}

DiskVerification::DiskVerification(Catalog& catalog, std::string diskId)
    : db_(catalog.database()), table_(catalog.table()), diskId_(std::move(diskId)) {
    if (!keepsPrints(table_))
        throw Error("This catalogue cannot keep what a verification finds: its table bears the "
                    "name of one of the tables it would need.");
    preparePrintTables(db_, table_);
    beginOrResume();
    countFiles();
}

DiskVerification::~DiskVerification() = default;

void DiskVerification::beginOrResume() {
    const std::optional<DiskCheck> last = lastDiskCheck(db_, diskId_);
    if (last && !last->finished) {
        run_ = last->started;
        resuming_ = true;
        return;
    }
    // Each verification is told apart by its start, so a new one never takes an older one's
    // marks for its own.
    run_ = std::max(secondsNow(), last ? last->started + 1 : 0);
    const Value disk(diskId_);
    Transaction transaction(db_);
    db_.execute("INSERT INTO " + kChecks +
                    " (\"Disk ID\", \"Started\", \"Files\", \"Changed\", \"Gone\", "
                    "\"Unreadable\") VALUES (?1, ?2, 0, 0, 0, 0) ON CONFLICT (\"Disk ID\") DO "
                    "UPDATE SET \"Started\" = ?2, \"Finished\" = NULL, \"Files\" = 0, "
                    "\"Changed\" = 0, \"Gone\" = 0, \"Unreadable\" = 0",
                {disk, Value(run_)});
    db_.execute("DELETE FROM " + kFindings + " WHERE \"Record\" IN (SELECT rowid FROM " +
                    quoteIdentifier(table_) + " WHERE \"Disk ID\" = ?1)",
                {disk});
    transaction.commit();
}

void DiskVerification::countFiles() {
    // The disk's own files: members of archives are read with their archive.
    Statement select = db_.prepare(
        "SELECT f.rowid, f.\"File Size\", v.\"Checked\" IS ?2 FROM " + quoteIdentifier(table_) +
        " f LEFT JOIN " + kVerified +
        " v ON v.\"Record\" = f.rowid WHERE f.\"Disk ID\" = ?1 AND instr(f.\"File Path\", '" +
        std::string(kMemberSeparator) + "') = 0 ORDER BY f.rowid");
    select.bindText(1, diskId_);
    select.bindInteger(2, run_);
    while (select.step()) {
        const std::int64_t size = select.columnValue(1).isNull() ? 0 : select.columnInteger(1);
        ++figures_.files;
        figures_.bytes += size;
        if (select.columnInteger(2) != 0) {
            ++figures_.filesChecked;
            figures_.bytesChecked += size;
        } else {
            toCheck_.push_back(select.columnInteger(0));
        }
    }
    Statement findings = db_.prepare("SELECT v.\"Finding\", count(*) FROM " + kFindings +
                                     " v JOIN " + quoteIdentifier(table_) +
                                     " f ON f.rowid = v.\"Record\" WHERE f.\"Disk ID\" = ?1 "
                                     "GROUP BY v.\"Finding\"");
    findings.bindText(1, diskId_);
    while (findings.step()) {
        const std::int64_t count = findings.columnInteger(1);
        switch (static_cast<VerifyFinding>(findings.columnInteger(0))) {
        case VerifyFinding::Corrupted:
            figures_.corrupted = count;
            break;
        case VerifyFinding::Gone:
            figures_.gone = count;
            break;
        case VerifyFinding::Unreadable:
            figures_.unreadable = count;
            break;
        case VerifyFinding::Modified:
            figures_.modified = count;
            break;
        }
    }
}

// One run over the files still to check: they are read on a thread of their own a few files
// ahead, judged here against what the catalogue knows, and written in batches.
class DiskVerification::Pass {
public:
    Pass(DiskVerification& owner)
        : owner_(owner), db_(owner.db_), figures_(owner.figures_),
          places_(placesOf(db_, owner.diskId_)), facts_(db_),
          details_(db_.prepare(
              "SELECT f.\"File Name\", f.\"File Path\", f.\"File Size\", v.\"Hash\", " +
              runPrintSql("f.rowid") + " FROM " + quoteIdentifier(owner.table_) + " f LEFT JOIN " +
              kVerified + " v ON v.\"Record\" = f.rowid WHERE f.rowid = ?1")),
          reader_([this](const std::string& path, std::vector<char>& buffer) {
              return wholePrint(path, buffer, [this](std::uint64_t bytes) {
                  inFlight_ += static_cast<std::int64_t>(bytes);
                  return !stop_.load();
              });
          }),
          prints_(db_) {
        const bool anyConnected = std::any_of(places_.begin(), places_.end(),
                                              [](const Place& place) { return place.folderNow; });
        if (!places_.empty() && !anyConnected)
            throw Error("The disk \"" + owner.diskId_ + "\" is not connected.");
    }

    ~Pass() {
        stop_ = true; // a file still being read is left unjudged
    }

    void run(const std::function<bool(const VerifyFigures&)>& progress) {
        std::size_t next = 0;
        auto lastCommit = Clock::now();
        auto lastProgress = Clock::time_point();
        std::int64_t filesAtProgress = figures_.filesChecked;
        // Where a resumed verification stands is shown before anything is read.
        if (progress && !progress(figures_))
            stop_ = true;
        while (!stop_) {
            while (next < owner_.toCheck_.size() && waiting_.size() < kReadAhead)
                handIn(owner_.toCheck_[next++]);
            if (waiting_.empty())
                break;
            const std::optional<ReadPrint> read =
                reader_.takeNextWithin(std::chrono::milliseconds(20));
            if (read)
                judge(*read);
            if (judged_.size() >= kFilesPerCommit || Clock::now() - lastCommit >= kCommitEvery) {
                write();
                lastCommit = Clock::now();
            }
            if (Clock::now() - lastProgress >= kProgressEvery ||
                figures_.filesChecked - filesAtProgress >= kFilesBetweenProgress) {
                lastProgress = Clock::now();
                filesAtProgress = figures_.filesChecked;
                VerifyFigures shown = figures_;
                shown.bytesChecked = std::min(shown.bytes, shown.bytesChecked + inFlight_.load());
                if (progress && !progress(shown)) {
                    stop_ = true;
                    break;
                }
                platform::processMessages();
            }
        }
        figures_.finished = !stop_;
        write();
    }

private:
    struct Waiting {
        std::int64_t record = 0;
        std::int64_t size = 0;
        std::optional<std::int64_t> recordedTime;
        ContentPrint wholeBefore;
        ContentPrint sampledBefore;
        std::string live;
    };
    struct Judged {
        std::int64_t record = 0;
        std::optional<VerifyFinding> finding;
        ContentPrint whole;
    };

    void handIn(std::int64_t record) {
        details_.reset();
        details_.bindInteger(1, record);
        if (!details_.step())
            return; // deleted meanwhile
        Waiting file;
        file.record = record;
        file.size = details_.columnValue(2).isNull() ? 0 : details_.columnInteger(2);
        file.wholeBefore = printOf(details_.columnValue(3));
        file.sampledBefore = printOf(details_.columnValue(4));
        const std::string upperName = details_.columnValue(0).asString();
        const std::string storedPath = details_.columnValue(1).asString();
        details_.reset();
        if (!findLive(file, upperName, storedPath))
            return;
        reader_.handIn(file.live);
        waiting_.push_back(std::move(file));
    }

    // The file's place on the live disk: through its recorded real path and the place of the
    // scan that found it, else by its stored path. False when its volume is not connected.
    bool findLive(Waiting& file, const std::string& upperName, const std::string& storedPath) {
        if (const auto recorded = facts_.factsOf(file.record, upperName)) {
            for (const Place& place : places_) {
                if (place.scanId != recorded->scanId)
                    continue;
                if (!place.folderNow) {
                    ++figures_.notReached;
                    return false;
                }
                file.live = *place.folderNow + recorded->path.substr(place.scannedFolder.size());
                file.recordedTime = recorded->modified;
                return true;
            }
        }
        // Gone files are looked for where they were stored, and are found missing there.
        file.live = store::livePathOf(db_, owner_.diskId_, storedPath).value_or(storedPath);
        return true;
    }

    void judge(const ReadPrint& read) {
        Waiting file = std::move(waiting_.front());
        waiting_.pop_front();
        inFlight_ -= static_cast<std::int64_t>(read.bytesRead);
        Judged judged{file.record, std::nullopt, {}};
        const bool sameFacts = static_cast<std::int64_t>(read.size) == file.size &&
                               (!file.recordedTime || *file.recordedTime == read.modified);
        switch (read.outcome) {
        case ReadOutcome::Unreadable:
            judged.finding = missing(file.live) ? VerifyFinding::Gone : VerifyFinding::Unreadable;
            break;
        case ReadOutcome::Changed:
            judged.finding = VerifyFinding::Modified;
            break;
        case ReadOutcome::Link:
            break; // recorded as itself: nothing to read
        case ReadOutcome::Empty:
            if (!sameFacts)
                judged.finding = VerifyFinding::Modified;
            break;
        case ReadOutcome::Read:
            if (!sameFacts)
                judged.finding = VerifyFinding::Modified;
            else if ((file.wholeBefore.known() && file.wholeBefore != read.whole) ||
                     (file.sampledBefore.known() && file.sampledBefore != read.sampled))
                judged.finding = VerifyFinding::Corrupted; // the first hash stays the reference
            else
                judged.whole = read.whole;
            if (!judged.finding && !file.sampledBefore.known())
                prints_.add(file.record, read.sampled, file.size);
            break;
        }
        if (judged.finding)
            count(*judged.finding);
        ++figures_.filesChecked;
        figures_.bytesChecked += file.size;
        judged_.push_back(judged);
    }

    void count(VerifyFinding finding) {
        switch (finding) {
        case VerifyFinding::Corrupted:
            ++figures_.corrupted;
            break;
        case VerifyFinding::Gone:
            ++figures_.gone;
            break;
        case VerifyFinding::Unreadable:
            ++figures_.unreadable;
            break;
        case VerifyFinding::Modified:
            ++figures_.modified;
            break;
        }
    }

    void write() {
        if (judged_.empty() && !figures_.finished)
            return;
        const std::string table = quoteIdentifier(owner_.table_);
        Transaction transaction(db_);
        // A record deleted meanwhile keeps nothing: its triggers have cleared it already.
        Statement verified = db_.prepareInBatch(
            "INSERT INTO " + kVerified + " SELECT ?1, ?2, ?3 WHERE EXISTS (SELECT 1 FROM " + table +
            " WHERE rowid = ?1) ON CONFLICT (\"Record\") DO UPDATE SET \"Hash\" = "
            "coalesce(excluded.\"Hash\", \"Hash\"), \"Checked\" = excluded.\"Checked\"");
        Statement finding = db_.prepareInBatch("INSERT OR REPLACE INTO " + kFindings +
                                               " SELECT ?1, ?2, ?3 WHERE "
                                               "EXISTS (SELECT 1 FROM " +
                                               table + " WHERE rowid = ?1)");
        for (const Judged& judged : judged_) {
            verified.reset();
            verified.bindInteger(1, judged.record);
            if (judged.whole.known())
                verified.bindBlob(2, judged.whole.all());
            verified.bindInteger(3, owner_.run_);
            verified.step();
            if (!judged.finding)
                continue;
            finding.reset();
            finding.bindInteger(1, judged.record);
            finding.bindInteger(2, static_cast<std::int64_t>(*judged.finding));
            finding.bindInteger(3, owner_.run_);
            finding.step();
        }
        prints_.flush();
        Statement check = db_.prepareInBatch(
            "UPDATE " + kChecks +
            " SET \"Files\" = ?2, \"Changed\" = ?3, \"Gone\" = ?4, \"Unreadable\" = ?5, "
            "\"Finished\" = ?6 WHERE \"Disk ID\" = ?1");
        check.bindText(1, owner_.diskId_);
        check.bindInteger(2, figures_.filesChecked);
        check.bindInteger(3, figures_.corrupted);
        check.bindInteger(4, figures_.gone);
        check.bindInteger(5, figures_.unreadable);
        if (figures_.finished)
            check.bindInteger(6, secondsNow());
        check.step();
        transaction.commit();
        judged_.clear();
    }

    DiskVerification& owner_;
    Database& db_;
    VerifyFigures& figures_;
    std::vector<Place> places_;
    RecordedFactsReader facts_;
    Statement details_;
    std::atomic<bool> stop_{false};
    std::atomic<std::int64_t> inFlight_{0}; // bytes read of files not judged yet
    std::deque<Waiting> waiting_;
    std::vector<Judged> judged_;
    // Last, so that its thread stops before what it reports into goes.
    SamplingAhead reader_;
    PrintsWriter prints_;
};

VerifyFigures DiskVerification::run(const std::function<bool(const VerifyFigures&)>& progress) {
    Pass pass(*this);
    pass.run(progress);
    if (figures_.finished)
        toCheck_.clear();
    return figures_;
}

} // namespace katalox::store
