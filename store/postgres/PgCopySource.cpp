#include "store/postgres/PgCopySource.h"

#include "store/archives/ArchiveListing.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgListing.h"
#include "store/postgres/PgPrints.h"
#include "store/postgres/PgText.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace katalox::store {

namespace {

std::uint64_t orderedKey(std::string_view key) {
    std::uint64_t bytes = 0;
    if (key.size() == 8)
        std::memcpy(&bytes, key.data(), 8);
    return __builtin_bswap64(bytes);
}

std::int64_t integerOrZero(const PgResult& rows, int row, int column) {
    return rows.isNull(row, column) ? 0 : rows.integer(row, column);
}

// The groups read a page at a time after the last one read, rather than through a cursor: a
// cursor would hold a transaction open on the connection the windows share.
class ServerGroups : public CopySource::Groups {
public:
    ServerGroups(std::shared_ptr<PgConnection> db, const std::string& groups, std::int64_t minSize,
                 std::int64_t minCopies)
        : db_(std::move(db)),
          select_("SELECT \"Key\", \"Size\", \"Size\" * (\"Copies\" - 1) FROM " +
                  quoteIdentifier(groups) +
                  " WHERE \"Size\" >= $1 AND \"Copies\" >= $2 AND ($3::boolean OR (\"Size\" * "
                  "(\"Copies\" - 1), \"Key\") < ($4::bigint, $5::bytea)) ORDER BY \"Size\" * "
                  "(\"Copies\" - 1) DESC, \"Key\" DESC LIMIT 200"),
          minSize_(std::to_string(minSize)), minCopies_(std::to_string(minCopies)) {}

    bool next(std::string& key, std::int64_t& size) override {
        if (!page_ || row_ >= page_->rows()) {
            if (page_ && page_->rows() < 200)
                return false;
            page_ = db_->execute(
                select_, {minSize_, minCopies_, page_ ? "false" : "true", lastWaste_, lastKey_});
            row_ = 0;
            if (page_->rows() == 0)
                return false;
        }
        key = bytesOfBytea(page_->text(row_, 0));
        size = integerOrZero(*page_, row_, 1);
        lastKey_ = page_->text(row_, 0);
        lastWaste_ = page_->text(row_, 2);
        ++row_;
        return true;
    }

private:
    std::shared_ptr<PgConnection> db_;
    std::string select_;
    std::string minSize_, minCopies_;
    std::optional<PgResult> page_;
    int row_ = 0;
    std::string lastWaste_ = "0", lastKey_ = "\\x";
};

class ServerCopySource : public CopySource {
public:
    ServerCopySource(std::shared_ptr<PgConnection> db, std::string table)
        : db_(std::move(db)), table_(std::move(table)), t_(serverPrintTables(table_)) {}

    bool keepsPrints() override { return true; }

    std::unique_ptr<Groups> groups(std::int64_t minSize, std::int64_t minCopies) override {
        return std::make_unique<ServerGroups>(db_, t_.groups, minSize, minCopies);
    }

    std::vector<PrintedRecord> recordsWithKey(const std::string& key) override {
        const PgResult rows = db_->execute(
            "SELECT p.\"Record\", f.\"Disk ID\", f.\"File Path\", f.\"File Size\", v.\"Hash\", "
            "p.\"Print\" FROM " +
                quoteIdentifier(t_.prints) + " p JOIN " + quoteIdentifier(table_) +
                " f ON f.\"Id\" = p.\"Record\" LEFT JOIN " + quoteIdentifier(t_.verified) +
                " v ON v.\"Record\" = p.\"Record\" WHERE p.\"Key\" = $1",
            {byteaText(key)});
        std::vector<PrintedRecord> members;
        for (int row = 0; row < rows.rows(); ++row)
            members.push_back(
                {{rows.integer(row, 0), fromServerText(rows.text(row, 1)),
                  fromServerText(rows.text(row, 2)), integerOrZero(rows, row, 3), false},
                 rows.isNull(row, 4) ? std::string() : bytesOfBytea(rows.text(row, 4)),
                 bytesOfBytea(rows.text(row, 5))});
        // In byte order, as a catalogue file sorts them, whatever the server's collation.
        std::sort(members.begin(), members.end(),
                  [](const PrintedRecord& a, const PrintedRecord& b) {
                      return a.copy.diskId != b.copy.diskId ? a.copy.diskId < b.copy.diskId
                                                            : a.copy.path < b.copy.path;
                  });
        return members;
    }

    std::optional<OwnPrint> printOf(std::int64_t record) override {
        const PgResult rows = db_->execute(
            "SELECT p.\"Print\", v.\"Hash\", f.\"File Size\" FROM " + quoteIdentifier(t_.prints) +
                " p JOIN " + quoteIdentifier(table_) + " f ON f.\"Id\" = p.\"Record\" LEFT JOIN " +
                quoteIdentifier(t_.verified) +
                " v ON v.\"Record\" = p.\"Record\" WHERE p.\"Record\" = $1",
            {std::to_string(record)});
        if (rows.rows() == 0)
            return std::nullopt;
        return OwnPrint{bytesOfBytea(rows.text(0, 0)),
                        rows.isNull(0, 1) ? std::string() : bytesOfBytea(rows.text(0, 1)),
                        integerOrZero(rows, 0, 2)};
    }

    std::vector<PrintedFile> filesOf(const std::string& diskId) override {
        std::vector<PrintedFile> files;
        PgListing rows(*db_,
                       "SELECT f.\"Id\", f.\"File Path\", coalesce(f.\"File Size\", 0), p.\"Key\" "
                       "FROM " +
                           quoteIdentifier(table_) + " f LEFT JOIN " + quoteIdentifier(t_.prints) +
                           " p ON p.\"Record\" = f.\"Id\" WHERE f.\"Disk ID\" = $1 AND "
                           "strpos(f.\"File Path\", $2) = 0 ORDER BY f.\"Id\"",
                       {toServerText(diskId), std::string(kMemberSeparator)});
        while (rows.next()) {
            PrintedFile file{rows.integer(0), fromServerText(rows.text(1)), rows.integer(2)};
            if (const std::string key = rows.text(3); file.size > 0 && !key.empty()) {
                file.printed = true;
                file.key = orderedKey(bytesOfBytea(key));
            }
            files.push_back(std::move(file));
        }
        return files;
    }

    std::vector<std::int64_t> copiesOf(const std::string& diskId,
                                       const std::vector<std::uint64_t>& keys) override {
        // The groups of the disk's prints, found on the server in one go.
        std::unordered_map<std::uint64_t, std::int64_t> groups;
        PgListing rows(*db_,
                       "SELECT DISTINCT g.\"Key\", g.\"Copies\" FROM " + quoteIdentifier(table_) +
                           " f JOIN " + quoteIdentifier(t_.prints) +
                           " p ON p.\"Record\" = f.\"Id\" JOIN " + quoteIdentifier(t_.groups) +
                           " g ON g.\"Key\" = p.\"Key\" WHERE f.\"Disk ID\" = $1",
                       {toServerText(diskId)});
        while (rows.next())
            groups.emplace(orderedKey(bytesOfBytea(rows.text(0))), rows.integer(1));
        std::vector<std::int64_t> copies;
        copies.reserve(keys.size());
        for (const std::uint64_t key : keys) {
            const auto found = groups.find(key);
            copies.push_back(found == groups.end() ? 0 : found->second);
        }
        return copies;
    }

    void keepShare(const std::string& diskId, const KeptShare& share) override {
        db_->execute("INSERT INTO " + quoteIdentifier(t_.checks) +
                         " (\"Disk ID\", \"Protected Bytes\", \"Known Bytes\") VALUES ($1, $2, "
                         "$3) ON CONFLICT (\"Disk ID\") DO UPDATE SET \"Protected Bytes\" = "
                         "excluded.\"Protected Bytes\", \"Known Bytes\" = excluded.\"Known Bytes\"",
                     {toServerText(diskId), std::to_string(share.protectedBytes),
                      std::to_string(share.knownBytes)});
    }

    std::optional<KeptShare> keptShare(const std::string& diskId) override {
        const PgResult rows =
            db_->execute("SELECT \"Protected Bytes\", \"Known Bytes\" FROM " +
                             quoteIdentifier(t_.checks) + " WHERE \"Disk ID\" = $1",
                         {toServerText(diskId)});
        if (rows.rows() == 0 || rows.isNull(0, 1))
            return std::nullopt;
        return KeptShare{integerOrZero(rows, 0, 0), rows.integer(0, 1)};
    }

private:
    std::shared_ptr<PgConnection> db_;
    std::string table_;
    ServerPrintTables t_;
};

} // namespace

std::unique_ptr<CopySource> serverCopySource(std::shared_ptr<PgConnection> db,
                                             const std::string& table) {
    return std::make_unique<ServerCopySource>(std::move(db), table);
}

} // namespace katalox::store
