// The reads behind the copies of a catalogue file: prints packed in runs of consecutive records,
// their index by key and the groups of shared keys (PrintTables.h).
#include "store/archives/ArchiveListing.h"
#include "store/copies/CopySource.h"
#include "store/prints/ContentPrint.h"
#include "store/prints/PrintTables.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <cstring>

namespace katalox::store {

namespace {

std::string membersSql(const std::string& table) {
    return "SELECT p.\"Record\", f.\"Disk ID\", f.\"File Path\", f.\"File Size\", v.\"Hash\", " +
           runPrintSql("p.\"Record\"") + " FROM " + quoteIdentifier(kFilePrintsTable) + " p JOIN " +
           quoteIdentifier(table) + " f ON f.rowid = p.\"Record\" LEFT JOIN " +
           quoteIdentifier(kVerifiedTable) +
           " v ON v.\"Record\" = p.\"Record\" WHERE p.\"Print\" = ?1 ORDER BY f.\"Disk ID\", "
           "f.\"File Path\"";
}

std::uint64_t orderedKey(std::string_view key) {
    std::uint64_t bytes = 0;
    if (key.size() == 8)
        std::memcpy(&bytes, key.data(), 8);
    return __builtin_bswap64(bytes);
}

// The prints of records read run by run, in record order.
class RunCursor {
public:
    explicit RunCursor(Database& db)
        : select_(db.prepare("SELECT \"First Record\", \"Records\", \"Prints\" FROM " +
                             quoteIdentifier(kPrintRunsTable) +
                             " WHERE \"First Record\" = (SELECT max(\"First Record\") FROM " +
                             quoteIdentifier(kPrintRunsTable) + " WHERE \"First Record\" <= ?1)")) {
    }

    // Whether the record has a print, and its key.
    bool keyOf(std::int64_t record, std::uint64_t& key) {
        if (record < first_ || record >= first_ + count_) {
            select_.reset();
            select_.bindInteger(1, record);
            first_ = count_ = 0;
            prints_.clear();
            if (select_.step()) {
                first_ = select_.columnInteger(0);
                count_ = select_.columnInteger(1);
                prints_ = select_.columnValue(2).asString();
            }
            select_.reset();
        }
        const auto at = static_cast<std::size_t>(record - first_) * 16;
        if (record < first_ || record >= first_ + count_ || at + 16 > prints_.size())
            return false;
        const ContentPrint print = ContentPrint::fromBytes(std::string_view(prints_).substr(at));
        if (!print.known())
            return false;
        key = orderedKey(print.key());
        return true;
    }

private:
    Statement select_;
    std::int64_t first_ = 0;
    std::int64_t count_ = 0;
    std::string prints_;
};

// Copies of each print in the catalogue, asked for in the groups' own order: one look-up each
// for a few prints, one pass along the groups for many, where the pass costs less than the
// look-ups it replaces.
class GroupCopies {
public:
    GroupCopies(Database& db, std::size_t prints)
        : passing_(prints >= kPassFrom),
          select_(db.prepare(
              passing_ ? "SELECT \"Print\", \"Copies\" FROM " + quoteIdentifier(kCopyGroupsTable) +
                             " ORDER BY \"Print\""
                       : "SELECT \"Print\", \"Copies\" FROM " + quoteIdentifier(kCopyGroupsTable) +
                             " WHERE \"Print\" = ?1")) {}

    // `ordered`: the print's leading bytes read as a big-endian number; asked in rising order.
    std::int64_t of(std::uint64_t ordered) {
        if (!passing_) {
            const std::uint64_t bytes = __builtin_bswap64(ordered);
            select_.reset();
            select_.bindBlob(1, std::string_view(reinterpret_cast<const char*>(&bytes), 8));
            return select_.step() ? select_.columnInteger(1) : 0;
        }
        while (!ended_ && (!started_ || at_ < ordered)) {
            started_ = true;
            if (!select_.step()) {
                ended_ = true;
                break;
            }
            const Value print = select_.columnValue(0);
            const std::string* text = print.text();
            at_ = text ? orderedKey(*text) : 0;
            copies_ = select_.columnInteger(1);
        }
        return !ended_ && at_ == ordered ? copies_ : 0;
    }

private:
    static constexpr std::size_t kPassFrom = 100000;
    bool passing_;
    Statement select_;
    bool started_ = false;
    bool ended_ = false;
    std::uint64_t at_ = 0;
    std::int64_t copies_ = 0;
};

class FileGroups : public CopySource::Groups {
public:
    FileGroups(Database& db, std::int64_t minSize, std::int64_t minCopies)
        : select_(db.prepare(
              "SELECT \"Print\", \"Size\" FROM " + quoteIdentifier(kCopyGroupsTable) +
              " WHERE \"Size\" >= ?1 AND \"Copies\" >= ?2 ORDER BY (\"Size\" * (\"Copies\" - 1)) "
              "DESC")) {
        select_.bindInteger(1, minSize);
        select_.bindInteger(2, minCopies);
    }
    bool next(std::string& key, std::int64_t& size) override {
        if (!select_.step())
            return false;
        key = select_.columnValue(0).asString();
        size = select_.columnInteger(1);
        return true;
    }

private:
    Statement select_;
};

class FileCopySource : public CopySource {
public:
    FileCopySource(Database& db, std::string table) : db_(db), table_(std::move(table)) {}

    bool keepsPrints() override { return hasPrintTables(db_); }

    std::unique_ptr<Groups> groups(std::int64_t minSize, std::int64_t minCopies) override {
        // The index on the waste gives the groups in order without sorting them all.
        return std::make_unique<FileGroups>(db_, minSize, minCopies);
    }

    std::vector<PrintedRecord> recordsWithKey(const std::string& key) override {
        std::vector<PrintedRecord> members;
        Statement select = db_.prepare(membersSql(table_));
        select.bindBlob(1, key);
        while (select.step())
            members.push_back({{select.columnInteger(0), select.columnValue(1).asString(),
                                select.columnValue(2).asString(), select.columnInteger(3), false},
                               select.columnValue(4).asString(),
                               select.columnValue(5).asString()});
        return members;
    }

    std::optional<OwnPrint> printOf(std::int64_t record) override {
        Statement own = db_.prepare("SELECT " + runPrintSql("?1") + ", (SELECT \"Hash\" FROM " +
                                    quoteIdentifier(kVerifiedTable) + " WHERE \"Record\" = ?1), " +
                                    "(SELECT \"File Size\" FROM " + quoteIdentifier(table_) +
                                    " WHERE rowid = ?1)");
        own.bindInteger(1, record);
        if (!own.step() || own.columnValue(0).isNull())
            return std::nullopt;
        return OwnPrint{own.columnValue(0).asString(), own.columnValue(1).asString(),
                        own.columnInteger(2)};
    }

    std::vector<PrintedFile> filesOf(const std::string& diskId) override {
        std::vector<PrintedFile> files;
        const std::string name = quoteIdentifier(table_);
        // A disk inserted in one go holds a run of records: read as a stretch of the table,
        // its rows come page after page instead of each through the Disk ID index.
        Statement span = db_.prepare("SELECT min(rowid), max(rowid), count(*) FROM " + name +
                                     " WHERE \"Disk ID\" = ?1");
        span.bindText(1, diskId);
        span.step();
        const std::int64_t first = span.columnInteger(0);
        const std::int64_t last = span.columnInteger(1);
        const bool compact = last - first < 2 * span.columnInteger(2);
        const std::string members =
            " AND instr(\"File Path\", '" + std::string(kMemberSeparator) + "') = 0 ORDER BY rowid";
        Statement select =
            compact
                ? db_.prepare("SELECT rowid, \"File Path\", \"File Size\" FROM " + name +
                              " NOT INDEXED WHERE rowid BETWEEN ?2 AND ?3 AND \"Disk ID\" = ?1" +
                              members)
                : db_.prepare("SELECT rowid, \"File Path\", \"File Size\" FROM " + name +
                              " WHERE \"Disk ID\" = ?1" + members);
        select.bindText(1, diskId);
        if (compact) {
            select.bindInteger(2, first);
            select.bindInteger(3, last);
        }
        RunCursor runs(db_);
        while (select.step()) {
            PrintedFile file{select.columnInteger(0), select.columnValue(1).asString(),
                             select.columnInteger(2)};
            if (file.size > 0)
                file.printed = runs.keyOf(file.record, file.key);
            files.push_back(std::move(file));
        }
        return files;
    }

    std::vector<std::int64_t> copiesOf(const std::string&,
                                       const std::vector<std::uint64_t>& keys) override {
        GroupCopies groups(db_, keys.size());
        std::vector<std::int64_t> copies;
        copies.reserve(keys.size());
        for (const std::uint64_t key : keys)
            copies.push_back(groups.of(key));
        return copies;
    }

    void keepShare(const std::string& diskId, const KeptShare& share) override {
        db_.execute("INSERT INTO " + quoteIdentifier(kDiskChecksTable) +
                        " (\"Disk ID\", \"Protected Bytes\", \"Known Bytes\") VALUES (?1, ?2, ?3) "
                        "ON CONFLICT (\"Disk ID\") DO UPDATE SET \"Protected Bytes\" = "
                        "excluded.\"Protected Bytes\", \"Known Bytes\" = excluded.\"Known Bytes\"",
                    {Value(diskId), Value(share.protectedBytes), Value(share.knownBytes)});
    }

    std::optional<KeptShare> keptShare(const std::string& diskId) override {
        Statement select =
            db_.prepare("SELECT \"Protected Bytes\", \"Known Bytes\" FROM " +
                        quoteIdentifier(kDiskChecksTable) + " WHERE \"Disk ID\" = ?1");
        select.bindText(1, diskId);
        if (!select.step() || select.columnValue(1).isNull())
            return std::nullopt;
        return KeptShare{select.columnInteger(0), select.columnInteger(1)};
    }

private:
    Database& db_;
    std::string table_;
};

} // namespace

std::unique_ptr<CopySource> fileCopySource(Database& db, const std::string& table) {
    return std::make_unique<FileCopySource>(db, table);
}

} // namespace katalox::store
