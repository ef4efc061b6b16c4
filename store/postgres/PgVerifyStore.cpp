#include "store/postgres/PgVerifyStore.h"

#include "store/archives/ArchiveListing.h"
#include "store/catalog/DiskPlace.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgFacts.h"
#include "store/postgres/PgListing.h"
#include "store/postgres/PgPrints.h"
#include "store/postgres/PgPrintsWriter.h"
#include "store/postgres/PgText.h"
#include "store/sqlite/SqlText.h"

#include <map>

namespace katalox::store {

namespace {

ContentPrint printAt(const PgResult& rows, int row, int column) {
    return rows.isNull(row, column) ? ContentPrint()
                                    : ContentPrint::fromBytes(bytesOfBytea(rows.text(row, column)));
}

// An array's text form, {a,b,...}, of elements already in that form.
class ArrayText {
public:
    void add(const std::string& element) {
        text_ += text_.empty() ? "{" : ",";
        text_ += element;
    }
    std::string text() const { return text_.empty() ? "{}" : text_ + "}"; }

private:
    std::string text_;
};

class ServerVerifyStore : public VerifyStore {
public:
    ServerVerifyStore(std::shared_ptr<PgConnection> db, std::string table)
        : db_(std::move(db)), table_(std::move(table)), name_(quoteIdentifier(table_)),
          t_(serverPrintTables(table_)), prints_(*db_, table_) {}

    std::optional<DiskCheck> lastCheck(const std::string& diskId) override {
        const PgResult rows =
            db_->execute("SELECT \"Started\", \"Finished\" FROM " + quoteIdentifier(t_.checks) +
                             " WHERE \"Disk ID\" = $1 AND \"Started\" IS NOT NULL",
                         {toServerText(diskId)});
        if (rows.rows() == 0)
            return std::nullopt;
        DiskCheck check;
        check.started = rows.integer(0, 0);
        if (!rows.isNull(0, 1))
            check.finished = rows.integer(0, 1);
        return check;
    }

    std::vector<FoundProblem> findings(const std::string& diskId) override {
        const PgResult rows = db_->execute(
            "SELECT f.\"Id\", f.\"File Path\", v.\"Finding\" FROM " + quoteIdentifier(t_.findings) +
                " v JOIN " + name_ +
                " f ON f.\"Id\" = v.\"Record\" WHERE f.\"Disk ID\" = $1 ORDER BY f.\"Id\"",
            {toServerText(diskId)});
        std::vector<FoundProblem> found;
        for (int row = 0; row < rows.rows(); ++row)
            found.push_back({rows.integer(row, 0), fromServerText(rows.text(row, 1)),
                             static_cast<VerifyFinding>(rows.integer(row, 2))});
        return found;
    }

    void begin(const std::string& diskId, std::int64_t run) override {
        const std::vector<PgParameter> disk{toServerText(diskId), std::to_string(run)};
        PgTransaction transaction(*db_);
        db_->execute("INSERT INTO " + quoteIdentifier(t_.checks) +
                         " (\"Disk ID\", \"Started\", \"Files\", \"Changed\", \"Gone\", "
                         "\"Unreadable\") VALUES ($1, $2, 0, 0, 0, 0) ON CONFLICT (\"Disk ID\") "
                         "DO UPDATE SET \"Started\" = $2, \"Finished\" = NULL, \"Files\" = 0, "
                         "\"Changed\" = 0, \"Gone\" = 0, \"Unreadable\" = 0",
                     disk);
        db_->execute("DELETE FROM " + quoteIdentifier(t_.findings) + " v USING " + name_ +
                         " f WHERE f.\"Id\" = v.\"Record\" AND f.\"Disk ID\" = $1",
                     {disk[0]});
        transaction.commit();
    }

    std::vector<VerifyEntry> files(const std::string& diskId, std::int64_t run) override {
        std::vector<VerifyEntry> entries;
        PgListing rows(*db_,
                       "SELECT f.\"Id\", coalesce(f.\"File Size\", 0), v.\"Checked\" IS NOT "
                       "DISTINCT FROM $2::bigint FROM " +
                           name_ + " f LEFT JOIN " + quoteIdentifier(t_.verified) +
                           " v ON v.\"Record\" = f.\"Id\" WHERE f.\"Disk ID\" = $1 AND "
                           "strpos(f.\"File Path\", $3) = 0 ORDER BY f.\"Id\"",
                       {toServerText(diskId), std::to_string(run), std::string(kMemberSeparator)});
        while (rows.next())
            entries.push_back({rows.integer(0), rows.integer(1), rows.text(2) == "t"});
        return entries;
    }

    std::vector<std::pair<VerifyFinding, std::int64_t>>
    findingCounts(const std::string& diskId) override {
        const PgResult rows = db_->execute(
            "SELECT v.\"Finding\", count(*) FROM " + quoteIdentifier(t_.findings) + " v JOIN " +
                name_ + " f ON f.\"Id\" = v.\"Record\" WHERE f.\"Disk ID\" = $1 GROUP BY 1",
            {toServerText(diskId)});
        std::vector<std::pair<VerifyFinding, std::int64_t>> counts;
        for (int row = 0; row < rows.rows(); ++row)
            counts.emplace_back(static_cast<VerifyFinding>(rows.integer(row, 0)),
                                rows.integer(row, 1));
        return counts;
    }

    std::vector<RecordedScan> scans(const std::string& diskId) override {
        std::vector<RecordedScan> ofDisk;
        for (RecordedScan& scan : serverScans(*db_, table_))
            if (scan.diskId == diskId)
                ofDisk.push_back(std::move(scan));
        return ofDisk;
    }

    std::vector<VerifyDetails> details(const std::vector<std::int64_t>& records) override {
        ArrayText ids;
        for (const std::int64_t record : records)
            ids.add(std::to_string(record));
        const PgResult rows = db_->execute(
            "SELECT f.\"Id\", f.\"File Name\", f.\"File Path\", coalesce(f.\"File Size\", 0), "
            "v.\"Hash\", p.\"Print\" FROM " +
                name_ + " f LEFT JOIN " + quoteIdentifier(t_.verified) +
                " v ON v.\"Record\" = f.\"Id\" LEFT JOIN " + quoteIdentifier(t_.prints) +
                " p ON p.\"Record\" = f.\"Id\" WHERE f.\"Id\" = ANY ($1::bigint[])",
            {ids.text()});
        std::map<std::int64_t, VerifyDetails> found;
        for (int row = 0; row < rows.rows(); ++row) {
            const std::int64_t record = rows.integer(row, 0);
            found[record] = {record,
                             fromServerText(rows.text(row, 1)),
                             fromServerText(rows.text(row, 2)),
                             rows.integer(row, 3),
                             printAt(rows, row, 4),
                             printAt(rows, row, 5)};
        }
        std::vector<VerifyDetails> inOrder;
        for (const std::int64_t record : records)
            if (const auto at = found.find(record); at != found.end())
                inOrder.push_back(std::move(at->second));
        return inOrder;
    }

    std::optional<RecordedPath> recordedPath(std::int64_t record,
                                             const std::string& upperName) override {
        if (!facts_)
            facts_ = std::make_unique<RecordedFactsReader>(
                std::make_unique<ServerFactsSource>(*db_, table_));
        return facts_->factsOf(record, upperName);
    }

    std::optional<std::string> livePath(const std::string& diskId,
                                        const std::string& storedPath) override {
        if (scansOf_ != diskId) {
            scans_ = scans(diskId);
            scansOf_ = diskId;
        }
        return livePathOf(scans_, storedPath);
    }

    PrintSink& prints() override { return prints_; }

    void write(const std::string& diskId, std::int64_t run,
               const std::vector<VerifyJudgement>& judged, const VerifyFigures& figures,
               std::optional<std::int64_t> finishedAt) override {
        ArrayText records, hashes, found, findings;
        for (const VerifyJudgement& judgement : judged) {
            records.add(std::to_string(judgement.record));
            // Inside an array's text the backslash of bytea's own form is escaped.
            hashes.add(judgement.whole.known() ? "\"\\" + byteaText(judgement.whole.all()) + "\""
                                               : "NULL");
            if (judgement.finding) {
                found.add(std::to_string(judgement.record));
                findings.add(std::to_string(static_cast<std::int64_t>(*judgement.finding)));
            }
        }
        const std::string runText = std::to_string(run);
        PgTransaction transaction(*db_);
        // A record deleted meanwhile keeps nothing.
        db_->execute("INSERT INTO " + quoteIdentifier(t_.verified) +
                         " AS v SELECT u.r, u.h, $3::bigint FROM unnest($1::bigint[], "
                         "$2::bytea[]) AS u(r, h) WHERE EXISTS (SELECT 1 FROM " +
                         name_ +
                         " WHERE \"Id\" = u.r) ON CONFLICT (\"Record\") DO UPDATE SET \"Hash\" = "
                         "coalesce(excluded.\"Hash\", v.\"Hash\"), \"Checked\" = "
                         "excluded.\"Checked\"",
                     {records.text(), hashes.text(), runText});
        db_->execute("INSERT INTO " + quoteIdentifier(t_.findings) +
                         " SELECT u.r, u.f, $3::bigint FROM unnest($1::bigint[], $2::integer[]) "
                         "AS u(r, f) WHERE EXISTS (SELECT 1 FROM " +
                         name_ +
                         " WHERE \"Id\" = u.r) ON CONFLICT (\"Record\") DO UPDATE SET "
                         "\"Finding\" = excluded.\"Finding\", \"Checked\" = excluded.\"Checked\"",
                     {found.text(), findings.text(), runText});
        prints_.flush();
        const auto number = [](std::int64_t value) { return std::to_string(value); };
        db_->execute("UPDATE " + quoteIdentifier(t_.checks) +
                         " SET \"Files\" = $2, \"Changed\" = $3, \"Gone\" = $4, \"Unreadable\" = "
                         "$5, \"Finished\" = $6 WHERE \"Disk ID\" = $1",
                     {toServerText(diskId), number(figures.filesChecked), number(figures.corrupted),
                      number(figures.gone), number(figures.unreadable),
                      finishedAt ? PgParameter(number(*finishedAt)) : std::nullopt});
        transaction.commit();
    }

private:
    std::shared_ptr<PgConnection> db_;
    std::string table_;
    std::unique_ptr<RecordedFactsReader> facts_;
    std::string name_;
    ServerPrintTables t_;
    PgPrintsWriter prints_;
    std::optional<std::string> scansOf_;
    std::vector<RecordedScan> scans_;
};

} // namespace

std::unique_ptr<VerifyStore> serverVerifyStore(std::shared_ptr<PgConnection> db,
                                               const std::string& table) {
    return std::make_unique<ServerVerifyStore>(std::move(db), table);
}

} // namespace katalox::store
