// The verifications of a catalogue file: whole hashes, findings and the checks of each Disk ID
// in the print tables (PrintTables.h), facts from the fact tables.
#include "platform/Error.h"
#include "store/archives/ArchiveListing.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/DiskPlace.h"
#include "store/copies/VerifyStore.h"
#include "store/prints/PrintTables.h"
#include "store/prints/PrintsWriter.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"
#include "store/sqlite/Transaction.h"

namespace katalox::store {

namespace {

const std::string kVerified = quoteIdentifier(kVerifiedTable);
const std::string kFindings = quoteIdentifier(kVerifyFindingsTable);
const std::string kChecks = quoteIdentifier(kDiskChecksTable);

ContentPrint printOf(const Value& value) {
    const std::string* bytes = value.text();
    return bytes ? ContentPrint::fromBytes(*bytes) : ContentPrint();
}

class FileVerifyStore : public VerifyStore {
public:
    FileVerifyStore(Database& db, std::string table, std::unique_ptr<Catalog> owned = {})
        : owned_(std::move(owned)), db_(db), table_(std::move(table)),
          name_(quoteIdentifier(table_)), prints_(db) {}

    std::optional<DiskCheck> lastCheck(const std::string& diskId) override {
        return lastDiskCheck(db_, diskId);
    }

    std::vector<FoundProblem> findings(const std::string& diskId) override {
        return verifyFindings(db_, table_, diskId);
    }

    void begin(const std::string& diskId, std::int64_t run) override {
        const Value disk(diskId);
        Transaction transaction(db_);
        db_.execute("INSERT INTO " + kChecks +
                        " (\"Disk ID\", \"Started\", \"Files\", \"Changed\", \"Gone\", "
                        "\"Unreadable\") VALUES (?1, ?2, 0, 0, 0, 0) ON CONFLICT (\"Disk ID\") DO "
                        "UPDATE SET \"Started\" = ?2, \"Finished\" = NULL, \"Files\" = 0, "
                        "\"Changed\" = 0, \"Gone\" = 0, \"Unreadable\" = 0",
                    {disk, Value(run)});
        db_.execute("DELETE FROM " + kFindings + " WHERE \"Record\" IN (SELECT rowid FROM " +
                        name_ + " WHERE \"Disk ID\" = ?1)",
                    {disk});
        transaction.commit();
    }

    std::vector<VerifyEntry> files(const std::string& diskId, std::int64_t run) override {
        std::vector<VerifyEntry> entries;
        Statement select = db_.prepare(
            "SELECT f.rowid, f.\"File Size\", v.\"Checked\" IS ?2 FROM " + name_ + " f LEFT JOIN " +
            kVerified +
            " v ON v.\"Record\" = f.rowid WHERE f.\"Disk ID\" = ?1 AND instr(f.\"File Path\", '" +
            std::string(kMemberSeparator) + "') = 0 ORDER BY f.rowid");
        select.bindText(1, diskId);
        select.bindInteger(2, run);
        while (select.step())
            entries.push_back({select.columnInteger(0),
                               select.columnValue(1).isNull() ? 0 : select.columnInteger(1),
                               select.columnInteger(2) != 0});
        return entries;
    }

    std::vector<std::pair<VerifyFinding, std::int64_t>>
    findingCounts(const std::string& diskId) override {
        std::vector<std::pair<VerifyFinding, std::int64_t>> counts;
        Statement select =
            db_.prepare("SELECT v.\"Finding\", count(*) FROM " + kFindings + " v JOIN " + name_ +
                        " f ON f.rowid = v.\"Record\" WHERE f.\"Disk ID\" = ?1 "
                        "GROUP BY v.\"Finding\"");
        select.bindText(1, diskId);
        while (select.step())
            counts.emplace_back(static_cast<VerifyFinding>(select.columnInteger(0)),
                                select.columnInteger(1));
        return counts;
    }

    std::vector<RecordedScan> scans(const std::string& diskId) override {
        return recordedScans(db_, diskId);
    }

    std::vector<VerifyDetails> details(const std::vector<std::int64_t>& records) override {
        if (!details_)
            details_ = std::make_unique<Statement>(db_.prepare(
                "SELECT f.\"File Name\", f.\"File Path\", f.\"File Size\", v.\"Hash\", " +
                runPrintSql("f.rowid") + " FROM " + name_ + " f LEFT JOIN " + kVerified +
                " v ON v.\"Record\" = f.rowid WHERE f.rowid = ?1"));
        std::vector<VerifyDetails> found;
        for (const std::int64_t record : records) {
            details_->reset();
            details_->bindInteger(1, record);
            if (!details_->step())
                continue; // deleted meanwhile
            found.push_back({record, details_->columnValue(0).asString(),
                             details_->columnValue(1).asString(),
                             details_->columnValue(2).isNull() ? 0 : details_->columnInteger(2),
                             printOf(details_->columnValue(3)), printOf(details_->columnValue(4))});
        }
        details_->reset();
        return found;
    }

    std::optional<RecordedPath> recordedPath(std::int64_t record,
                                             const std::string& upperName) override {
        if (!facts_)
            facts_ = std::make_unique<RecordedFactsReader>(db_);
        return facts_->factsOf(record, upperName);
    }

    std::optional<std::string> livePath(const std::string& diskId,
                                        const std::string& storedPath) override {
        return livePathOf(db_, diskId, storedPath);
    }

    PrintSink& prints() override { return prints_; }

    void write(const std::string& diskId, std::int64_t run,
               const std::vector<VerifyJudgement>& judged, const VerifyFigures& figures,
               std::optional<std::int64_t> finishedAt) override {
        Transaction transaction(db_);
        // A record deleted meanwhile keeps nothing: its triggers have cleared it already.
        Statement verified = db_.prepareInBatch(
            "INSERT INTO " + kVerified + " SELECT ?1, ?2, ?3 WHERE EXISTS (SELECT 1 FROM " + name_ +
            " WHERE rowid = ?1) ON CONFLICT (\"Record\") DO UPDATE SET \"Hash\" = "
            "coalesce(excluded.\"Hash\", \"Hash\"), \"Checked\" = excluded.\"Checked\"");
        Statement finding = db_.prepareInBatch("INSERT OR REPLACE INTO " + kFindings +
                                               " SELECT ?1, ?2, ?3 WHERE "
                                               "EXISTS (SELECT 1 FROM " +
                                               name_ + " WHERE rowid = ?1)");
        for (const VerifyJudgement& judgement : judged) {
            verified.reset();
            verified.bindInteger(1, judgement.record);
            if (judgement.whole.known())
                verified.bindBlob(2, judgement.whole.all());
            verified.bindInteger(3, run);
            verified.step();
            if (!judgement.finding)
                continue;
            finding.reset();
            finding.bindInteger(1, judgement.record);
            finding.bindInteger(2, static_cast<std::int64_t>(*judgement.finding));
            finding.bindInteger(3, run);
            finding.step();
        }
        prints_.flush();
        Statement check = db_.prepareInBatch(
            "UPDATE " + kChecks +
            " SET \"Files\" = ?2, \"Changed\" = ?3, \"Gone\" = ?4, \"Unreadable\" = ?5, "
            "\"Finished\" = ?6 WHERE \"Disk ID\" = ?1");
        check.bindText(1, diskId);
        check.bindInteger(2, figures.filesChecked);
        check.bindInteger(3, figures.corrupted);
        check.bindInteger(4, figures.gone);
        check.bindInteger(5, figures.unreadable);
        if (finishedAt)
            check.bindInteger(6, *finishedAt);
        check.step();
        transaction.commit();
    }

private:
    std::unique_ptr<Catalog> owned_; // first, so that it outlives what reads through it
    Database& db_;
    std::string table_;
    std::string name_;
    PrintsWriter prints_;
    std::unique_ptr<Statement> details_;
    std::unique_ptr<RecordedFactsReader> facts_;
};

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

namespace {

std::unique_ptr<VerifyStore> madeStore(Database& db, const std::string& table,
                                       std::unique_ptr<Catalog> owned) {
    if (!keepsPrints(table))
        throw Error("This catalogue cannot keep what a verification finds: its table bears the "
                    "name of one of the tables it would need.");
    preparePrintTables(db, table);
    return std::make_unique<FileVerifyStore>(db, table, std::move(owned));
}

} // namespace

std::unique_ptr<VerifyStore> fileVerifyStore(Database& db, const std::string& table) {
    return madeStore(db, table, {});
}

std::unique_ptr<VerifyStore> fileVerifyStore(std::unique_ptr<Catalog> catalog) {
    Database& db = catalog->database();
    const std::string table = catalog->table();
    return madeStore(db, table, std::move(catalog));
}

} // namespace katalox::store
