#include "store/postgres/PgCopiedFolders.h"

#include "store/facts/RecordedFacts.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgFactTables.h"
#include "store/postgres/PgFacts.h"
#include "store/postgres/PgListing.h"
#include "store/postgres/PgPrints.h"
#include "store/sqlite/SqlText.h"

namespace katalox::store {

namespace {

class ServerFolderCopyRows : public FolderCopyRows {
public:
    ServerFolderCopyRows(PgConnection& db, const std::string& table)
        : db_(db), table_(table), prints_(serverPrintTables(table)),
          names_(std::make_unique<ServerFactsSource>(db, table)) {}

    // The layout holds both.
    bool keepsPrintsAndFacts() override { return true; }
    std::vector<Run> runs() override {
        std::vector<Run> runs;
        PgListing rows(db_, "SELECT \"First Record\", \"Records\", \"Folder\" FROM " +
                                quoteIdentifier(serverFactsTable(table_)) + " ORDER BY 1");
        while (rows.next())
            runs.push_back({rows.integer(0), rows.integer(1), rows.integer(2)});
        return runs;
    }
    void sharedRecords(const Shared& shared) override {
        PgListing rows(db_, "SELECT p.\"Key\", p.\"Record\" FROM " +
                                quoteIdentifier(prints_.prints) + " p JOIN " +
                                quoteIdentifier(prints_.groups) +
                                " g ON g.\"Key\" = p.\"Key\" ORDER BY p.\"Key\"");
        while (rows.next())
            shared(rows.text(0), rows.integer(1));
    }
    std::map<std::int64_t, std::pair<std::int64_t, std::int64_t>>
    folderSizes(const std::vector<std::int64_t>& folders) override {
        std::string ids = "{";
        for (const std::int64_t folder : folders)
            ids += (ids.size() > 1 ? "," : "") + std::to_string(folder);
        const PgResult rows = db_.execute("SELECT \"Id\", \"Files\", \"Bytes\" FROM " +
                                              quoteIdentifier(serverFoldersTable(table_)) +
                                              " WHERE \"Id\" = ANY ($1::bigint[])",
                                          {ids + "}"});
        std::map<std::int64_t, std::pair<std::int64_t, std::int64_t>> sizes;
        for (int row = 0; row < rows.rows(); ++row)
            sizes[rows.integer(row, 0)] = {rows.integer(row, 1), rows.integer(row, 2)};
        return sizes;
    }
    std::vector<RecordedScan> scans() override { return serverScans(db_, table_); }
    RecordedFactsReader& names() override { return names_; }

private:
    PgConnection& db_;
    std::string table_;
    ServerPrintTables prints_;
    RecordedFactsReader names_;
};

} // namespace

std::vector<CopiedFolder> serverCopiedFolders(PgConnection& db, const std::string& table,
                                              const CopyFilter& filter, std::size_t limit) {
    ServerFolderCopyRows rows(db, table);
    return copiedFolders(rows, filter, limit);
}

} // namespace katalox::store
