// Listings answered from the substring index give the same rows in the same order as the
// statement run as written, over generated records and statements, through the program's own
// changes and those of another program, and while an older catalogue is being indexed.
#include "CatalogFixture.h"
#include "common/RandomPieces.h"

#include "platform/Error.h"
#include "store/catalog/ListingStatements.h"
#include "store/catalog/MaintenanceStatements.h"
#include "store/dialect/StatementSyntax.h"
#include "store/search/DotGramListing.h"
#include "store/search/DotGrams.h"
#include "store/search/EveryRecord.h"
#include "store/search/ListingPlanner.h"
#include "store/search/SearchIndex.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <chrono>
#include <optional>
#include <random>
#include <thread>

namespace katalox::test {
namespace {

// Pieces that records and filters are made of: wildcards and quotes of both dialects, glob
// characters, letter case, valid and broken UTF-8.
const std::vector<std::string> kPieces = {
    "A",   "B",        "C",    "AB",   "ABC",  "BCA", "CAB", ".",     "MP3", ".MP3",
    "%",   "_",        "\"",   "'",    "*",    "?",   "[",   "]",     "a",   "b",
    "abc", "\xC3\x84", "\xC3", "\x80", "\xFF", " ",   "/",   "ABCABC"};
const std::vector<std::string> kDiskIds = {"D1", "D2", "d1", "D%1", "D_2", "All Disks", "XYZ"};

class Generator : public RandomPieces {
public:
    Generator() : RandomPieces(kPieces, 20261208) {}

    Record record() {
        Record r;
        r.name = pieces(5);
        r.path = "/" + pieces(3) + "/" + pieces(2) + "/" + r.name;
        r.diskId = kDiskIds[below(kDiskIds.size())];
        r.size = static_cast<std::int64_t>(below(100000));
        return r;
    }
    // Mostly a piece of a stored value (so that statements find something), else made up.
    std::string filter(const std::vector<Record>& seen) {
        if (seen.empty() || chance(30))
            return chance(20) ? std::string() : pieces(3);
        const Record& r = seen[below(seen.size())];
        const std::string& from = chance(50) ? r.name : r.path;
        const std::size_t start = below(from.size() + 1);
        return from.substr(start, below(9));
    }
    // The statement the main window builds, or one with Like patterns in any letter case.
    std::vector<std::string> statement(const std::vector<Record>& seen) {
        store::ListingFilters filters{filter(seen), chance(50) ? "MP3" : filter(seen), filter(seen),
                                      std::nullopt};
        if (chance(40))
            filters.diskId = kDiskIds[below(kDiskIds.size())];
        if (chance(75))
            return store::listingStatement(filters);
        if (chance(10)) // every record with text, as a listing without any filter gives it
            return {"select * from Files", "where Files.\"File Name\" Like \"%%\"",
                    "and Files.\"File Path\" Like \"%\""};
        const auto like = [&](const char* field) {
            return std::string("Files.\"") + field + "\" Like " +
                   store::quoted((chance(50) ? "%" : "") + filter(seen) + (chance(50) ? "%" : "_"),
                                 '"');
        };
        return {"select * from Files", "where " + like("File Path"), "and " + like("File Name")};
    }
};

class SearchIndexTest : public CatalogFixture {
protected:
    SearchIndexTest()
        : db(store::openCatalogFile(dir.file("Files.db"))), other(dir.file("Files.db")) {
        other.exec("PRAGMA case_sensitive_like = ON");
        sqlite3_busy_timeout(other.handle(), 10000); // the builder writes meanwhile
    }

    // The row ids of the statement run as written; empty when the engine refuses it.
    std::optional<std::vector<std::int64_t>> asWritten(const std::vector<std::string>& lines) {
        std::string text;
        for (const auto& line : lines)
            text += line + "\n";
        try {
            const auto whole = store::parseStatement(text).wholeRows;
            if (!whole)
                return std::nullopt;
            const store::ListingPlan plan = store::planListing(*db, *whole);
            served += plan.indexUsed ? 1 : 0;
            counted += plan.blocks ? 1 : 0;
            const store::SqliteStatement statement = store::prepareSqlite(
                other.handle(), "SELECT rowid, \"File Size\" FROM " + whole->table + whole->rest);
            std::vector<std::int64_t> ids;
            int step = SQLITE_ROW;
            while ((step = sqlite3_step(statement.get())) == SQLITE_ROW)
                ids.push_back(sqlite3_column_int64(statement.get(), 0));
            EXPECT_EQ(step, SQLITE_DONE) << sqlite3_errmsg(other.handle());
            return ids;
        } catch (const Error&) {
            return std::nullopt;
        }
    }

    std::optional<std::vector<std::int64_t>> throughEngine(const std::vector<std::string>& lines) {
        query.setSql(lines);
        try {
            query.open();
        } catch (const EngineError&) {
            return std::nullopt;
        }
        std::vector<std::int64_t> ids;
        for (std::int64_t row = 0; row < query.recordCount(); ++row)
            ids.push_back(query.valueAt(row, 0).asInteger());
        query.close();
        return ids;
    }

    void compareListings(int statements) {
        for (int i = 0; i < statements; ++i) {
            const auto lines = generate.statement(records);
            const auto expected = asWritten(lines);
            if (!expected)
                continue;
            ++compared;
            const auto actual = throughEngine(lines);
            ASSERT_TRUE(actual.has_value()) << lines[1];
            ASSERT_EQ(*actual, *expected) << lines[1] << "\n" << lines[2] << "\n" << lines.back();
        }
    }

    // Records added and deleted reach the index in the background.
    void waitForTheBuilder() {
        for (int waited = 0; store::searchIndexNeedsWork(*db, "Files"); ++waited) {
            ASSERT_LT(waited, 600) << "the index never caught up";
            db->tidy();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    // The index, and the listing of every record with text worked out from the row ids alone.
    void expectIndexIntact() {
        waitForTheBuilder();
        other.exec("INSERT INTO FilesSearch(FilesSearch, rank) VALUES ('integrity-check', 1)");
        const std::string everything = "\"File Name\" Like '%' and \"File Path\" Like '%%'";
        const auto listed = asWritten({"select * from Files where Files.\"File Name\" Like \"%\" "
                                       "and Files.\"File Path\" Like \"%%\""});
        const auto blocks = store::everyRecordBlocks(*db, "Files", everything, 7);
        ASSERT_TRUE(listed && blocks);
        ASSERT_EQ(blocks->count, static_cast<std::int64_t>(listed->size()));
        for (std::size_t row = 0; row < listed->size(); row += 7)
            ASSERT_EQ(blocks->starts[row / 7], (*listed)[row]) << row;
        expectMaskCountsRight();
    }

    // File Mask listings counted from the tokens after dots, block starts included, whether
    // or not the builder has caught up with the latest changes.
    void expectMaskCountsRight() {
        const store::IndexMark mark = store::searchIndexMark(*db, "Files");
        ASSERT_TRUE(mark.present);
        for (const std::string mask : {"MP3", "M", "A", "3"}) {
            const std::string pattern = "%." + mask + "%";
            const auto listed =
                asWritten({"select * from Files where Files.\"File Name\" Like \"%%\" "
                           "and Files.\"File Path\" Like \"" +
                           pattern + "\""});
            const auto blocks = store::dotGramBlocks(
                *db, "Files", "\"File Name\" Like '%%' and \"File Path\" Like '" + pattern + "'",
                *store::dotGramOfPattern(pattern), mark.upTo, 7);
            ASSERT_TRUE(listed.has_value());
            if (!blocks)
                continue; // too few for the span of row ids to count this way
            ++maskCounted;
            ASSERT_EQ(blocks->count, static_cast<std::int64_t>(listed->size())) << mask;
            for (std::size_t row = 0; row < listed->size(); row += 7)
                ASSERT_EQ(blocks->starts[row / 7], (*listed)[row]) << mask << " " << row;
        }
    }

    void expectReindexedWhenOpened(const std::string& makeOld);

    void addRecords(int count) {
        std::vector<Record> added;
        for (int i = 0; i < count; ++i)
            added.push_back(generate.record());
        insertAll(added);
        records.insert(records.end(), added.begin(), added.end());
    }

    void execute(const std::vector<std::string>& lines) {
        query.setSql(lines);
        query.execSQL();
    }

    std::shared_ptr<store::Database> db;
    OtherProgram other;
    Generator generate;
    std::vector<Record> records;
    int served = 0;
    int counted = 0;
    int maskCounted = 0;
    int compared = 0;
};

TEST_F(SearchIndexTest, IndexedListingsMatchTheStatementAsWrittenThroughEveryChange) {
    addRecords(800);
    waitForTheBuilder();
    compareListings(600);
    addRecords(60); // searched without the index until the builder reaches them
    compareListings(200);

    // The program's own changes: more records, single deletes, a Disk ID deleted and renamed.
    addRecords(140);
    for (int id = 3; id < 900; id += 45)
        execute(store::deleteEntryStatement(id));
    execute(store::deleteDiskIdStatement("D2"));
    execute(store::renameDiskIdStatement("D1", "D_1 renamed"));
    compareListings(700);
    expectIndexIntact();

    // Another program writes the table with plain SQL: odd values, new names, a moved Id.
    db->pauseUpkeep(); // the changes stay unindexed until the next listing
    other.exec("INSERT INTO Files (\"File Name\", \"File Path\", \"Disk ID\") VALUES "
               "('abcABC.mp3', '/x/abcABC.mp3', 'D1'), (12345, '/n/12345.MP3', 'D1')");
    other.exec("INSERT INTO Files (Id, \"File Name\", \"File Path\", \"Disk ID\") VALUES "
               "(3, NULL, '/null/ABC.MP3', 'D1'), (48, 'ABCNOPATH', NULL, 'D1')"); // freed Ids
    other.exec("UPDATE Files SET \"File Name\" = 'CABBA.MP3', \"File Path\" = '/CAB/CABBA.MP3' "
               "WHERE Id % 7 = 0");
    other.exec("DELETE FROM Files WHERE Id % 11 = 0");
    records.push_back({"CABBA.MP3", "/CAB/CABBA.MP3", "D1", 0});
    // Every write the engine allows: an UPSERT, REPLACE over a record and of a new Id,
    // an insert that is ignored, an Id moved onto another's, one record changed twice.
    other.exec("INSERT INTO Files (Id, \"File Name\", \"File Path\", \"Disk ID\") VALUES "
               "(101, 'UPSERT.AVI', '/U/UPSERT.AVI', 'D1') ON CONFLICT(Id) DO UPDATE SET "
               "\"File Name\" = excluded.\"File Name\", \"File Path\" = excluded.\"File Path\"");
    other.exec("INSERT OR REPLACE INTO Files (Id, \"File Name\", \"File Path\", \"Disk ID\") "
               "VALUES (102, 'REPLACED.MP3', '/R/REPLACED.MP3', 'D2'), (1201, 'FAR.MP3', "
               "'/R/FAR.MP3', 'D2')");
    other.exec("REPLACE INTO Files (Id, \"File Name\", \"File Path\", \"Disk ID\") VALUES "
               "(103, 'ABC.DOC', '/R/ABC.DOC', 'D1')");
    other.exec("INSERT OR IGNORE INTO Files (Id, \"File Name\", \"File Path\", \"Disk ID\") "
               "VALUES (104, 'IGNORED.MP3', '/I/IGNORED.MP3', 'D1')");
    other.exec("UPDATE OR REPLACE Files SET Id = 105 WHERE Id = 106");
    other.exec("BEGIN; UPDATE Files SET \"File Path\" = '/T/ONCE.MP3' WHERE Id = 107; "
               "UPDATE Files SET \"File Path\" = '/T/TWICE.AVI', \"File Name\" = 'TWICE.AVI' "
               "WHERE Id = 107; COMMIT");
    records.push_back({"UPSERT.AVI", "/U/UPSERT.AVI", "D1", 0});
    records.push_back({"TWICE.AVI", "/T/TWICE.AVI", "D1", 0});
    expectMaskCountsRight();
    expectIndexIntact(); // and once the builder has brought the noted records up to date
    other.exec("UPDATE Files SET Id = 100000 WHERE Id = 12"); // far beyond the others
    compareListings(700);
    expectIndexIntact();

    // Emptied and filled again.
    table.setExclusive(true);
    table.emptyTable();
    table.setExclusive(false);
    records.clear();
    addRecords(300);
    compareListings(700);
    expectIndexIntact();

    // The comparison is only worth something when every kind of statement was seen.
    EXPECT_GT(served, compared / 5);
    EXPECT_LT(served, compared);
    EXPECT_GT(counted, 10);
    EXPECT_GT(maskCounted, 4);
}

// A catalogue whose index `makeOld` took away is indexed again in the background when opened,
// listing right meanwhile, records written meanwhile included.
void SearchIndexTest::expectReindexedWhenOpened(const std::string& makeOld) {
    query.close();
    db.reset();
    other.exec(makeOld);
    other.exec("BEGIN");
    const store::SqliteStatement insert = store::prepareSqlite(
        other.handle(), "INSERT INTO Files (\"File Name\", \"File Path\") VALUES (?, ?)");
    for (int i = 0; i < 15000; ++i) {
        records.push_back(generate.record());
        sqlite3_bind_text(insert.get(), 1, records.back().name.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(insert.get(), 2, records.back().path.c_str(), -1, SQLITE_STATIC);
        ASSERT_EQ(sqlite3_step(insert.get()), SQLITE_DONE);
        sqlite3_reset(insert.get());
    }
    other.exec("COMMIT");

    db = store::openCatalogFile(dir.file("Files.db")); // starts the index in the background
    compareListings(60);
    addRecords(50); // written while the builder runs
    waitForTheBuilder();
    served = 0;
    compareListings(100);
    EXPECT_GT(served, 0);
    expectIndexIntact();
}

TEST_F(SearchIndexTest, CatalogueMadeBeforeTheIndexIsIndexedWhenOpened) {
    expectReindexedWhenOpened(store::dropSearchIndexSql("Files") + "DROP INDEX FilesUnlisted;");
}

TEST_F(SearchIndexTest, IndexWithoutTheTokensAfterDotsIsMadeAgainWhenOpened) {
    addRecords(100);
    expectReindexedWhenOpened(store::dropTriggersSql("Files") +
                              "DROP TABLE FilesSearchDots; DROP TABLE FilesSearchDotsStale;");
}

// An index of the layout before replaced records were kept: its triggers, which refused an
// UPSERT, are made anew when the catalogue is opened, and the index it holds stays.
TEST_F(SearchIndexTest, TriggersOfTheEarlierLayoutAreMadeAnewWhenOpened) {
    addRecords(100);
    waitForTheBuilder();
    query.close();
    db.reset();
    other.exec("DROP TRIGGER FilesSearchBeforeInsert; DROP TRIGGER FilesSearchBeforeUpdate; "
               "DROP TABLE FilesSearchReplaced");
    db = store::openCatalogFile(dir.file("Files.db"));
    EXPECT_EQ(other.number("SELECT count(*) FROM sqlite_master WHERE type = 'trigger'"), 5);
    other.exec("INSERT INTO Files (Id, \"File Name\", \"File Path\") VALUES (5, 'U.MP3', "
               "'/U.MP3') ON CONFLICT(Id) DO UPDATE SET \"File Path\" = excluded.\"File Path\"");
    compareListings(100);
    expectIndexIntact();
}

} // namespace
} // namespace katalox::test
