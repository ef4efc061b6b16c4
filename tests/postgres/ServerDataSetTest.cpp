// The windows' table cursor and statement object on a catalogue on the test server: listings
// read a page at a time in any order, the maintenance statements, emptying while others are
// connected, a connection lost under an open listing, and two programs changing one Disk ID.
#include "platform/Error.h"
#include "postgres/PostgresTest.h"
#include "store/catalog/ListingStatements.h"
#include "store/catalog/MaintenanceStatements.h"
#include "store/dataset/Query.h"
#include "store/dataset/Table.h"
#include "store/dialect/StatementSyntax.h"
#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgInsert.h"
#include "store/postgres/PgListInsert.h"
#include "store/postgres/ServerCatalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

namespace katalox::test {
namespace {

class ServerDataSetTest : public PostgresCatalogueTest {
protected:
    void SetUp() override {
        PostgresCatalogueTest::SetUp();
        if (HasFatalFailure())
            return;
        query.setDatabaseName(uri);
        table.setDatabaseName(uri);
        table.setTableName("Files.db");
    }

    // `files` records under `diskId`, named F<n>.TXT or F<n>.JPG.
    void insertRecords(const std::string& diskId, int files, int from = 0) {
        store::PgConnection db(uri);
        store::PgInsert insert(db, "Files", 700);
        for (int i = from; i < from + files; ++i)
            insert.add("/disk/" + std::to_string(i % 7) + "/f" + std::to_string(i) +
                           (i % 3 == 0 ? ".jpg" : ".txt"),
                       diskId, i);
        insert.finish();
    }

    std::vector<std::int64_t> idsOf(const store::DataSet& set,
                                    const std::vector<std::int64_t>& rows) {
        std::vector<std::int64_t> ids;
        for (const std::int64_t row : rows)
            ids.push_back(set.valueAt(row, 0).asInteger());
        return ids;
    }

    std::vector<std::int64_t> serverIds(const std::string& where) {
        std::vector<std::int64_t> ids;
        for (const std::string& id :
             column("SELECT \"Id\" FROM \"Files\" " + where + " ORDER BY \"Id\""))
            ids.push_back(std::stoll(id));
        return ids;
    }

    // A connection closed leaves the server's list of sessions a moment later. Asked on the
    // program's own connection, which does not count itself.
    void waitUntilAlone() {
        store::PgConnection& db = *store::serverConnection(uri);
        for (int tries = 0; tries < 200; ++tries) {
            if (db.execute("SELECT count(*) FROM pg_stat_activity WHERE datname = "
                           "current_database() AND pid <> pg_backend_pid()")
                    .integer(0, 0) == 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    void openListing(const store::ListingFilters& filters) {
        query.setSql(store::listingStatement(filters));
        query.open();
    }

    store::Query query;
    store::Table table;
};

TEST_F(ServerDataSetTest, AListingReadInAnyOrderGivesEveryRowInItsPlace) {
    insertRecords("A", 3000);
    insertRecords("B", 1200, 3000);
    // Gaps in the Ids, as deletions leave them.
    column("DELETE FROM \"Files\" WHERE \"Id\" % 11 = 0 OR \"Id\" BETWEEN 1500 AND 1800");
    for (const auto& [filters, where] : std::vector<std::pair<store::ListingFilters, std::string>>{
             {{"", "", "", std::nullopt}, ""},
             {{"1", "jpg", "", std::nullopt},
              "WHERE \"File Name\" LIKE '%1%' AND \"File Name\" LIKE '%.JPG'"},
             {{"", "", "/3/", std::string("B")},
              "WHERE \"File Path\" LIKE '%/3/%' AND \"Disk ID\" = 'B'"},
             {{"NO SUCH", "", "", std::nullopt}, "WHERE false"}}) {
        openListing(filters);
        const std::vector<std::int64_t> expected = serverIds(where);
        ASSERT_EQ(query.recordCount(), static_cast<std::int64_t>(expected.size())) << where;
        // The last rows first, then jumps both ways, then every row from the start.
        std::vector<std::int64_t> rows(expected.size());
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = static_cast<std::int64_t>(i);
        std::vector<std::int64_t> jumps(rows.rbegin(), rows.rend());
        std::shuffle(jumps.begin(), jumps.end(), std::mt19937(7));
        jumps.resize(std::min<std::size_t>(jumps.size(), 60));
        if (!rows.empty())
            jumps.insert(jumps.begin(), rows.back());
        for (const std::int64_t row : jumps)
            EXPECT_EQ(query.valueAt(row, 0).asInteger(), expected[static_cast<std::size_t>(row)]);
        EXPECT_EQ(idsOf(query, rows), expected) << where;
        EXPECT_TRUE(query.valueAt(static_cast<std::int64_t>(rows.size()), 0).isNull());
        query.close();
    }
}

TEST_F(ServerDataSetTest, LongListingsWalkTheRecordsFromTheirFirst) {
    // Listings of more than 100,000 records are read in Id order; a Disk ID's from its first.
    column("INSERT INTO \"Files\" (\"File Name\", \"File Path\", \"Disk ID\", \"File Size\") "
           "SELECT 'F' || i, '/F' || i, CASE WHEN i <= 120000 THEN 'A' ELSE 'B' END, i FROM "
           "generate_series(1, 270000) AS i");
    column("DELETE FROM \"Files\" WHERE \"Id\" IN (5, 200000)");
    openListing({"", "", "", std::string("B")});
    ASSERT_EQ(query.recordCount(), 149999);
    EXPECT_EQ(query.valueAt(0, 0).asInteger(), 120001);
    EXPECT_EQ(query.valueAt(149998, 0).asInteger(), 270000);
    EXPECT_EQ(query.valueAt(90000, 0).asInteger(), 210002);
    EXPECT_EQ(query.valueAt(1, 0).asInteger(), 120002);
    query.close();
    openListing({"", "", "", std::nullopt});
    ASSERT_EQ(query.recordCount(), 269998);
    EXPECT_EQ(query.valueAt(4, 0).asInteger(), 6);
    EXPECT_EQ(query.valueAt(269997, 0).asInteger(), 270000);
    EXPECT_EQ(query.valueAt(150000, 0).asInteger(), 150002);
}

TEST_F(ServerDataSetTest, TheServerAddsUpTheSizesAsTheRecordsWould) {
    column("INSERT INTO \"Files\" (\"File Name\", \"File Path\", \"Disk ID\", \"File Size\") "
           "SELECT 'F', '/F', CASE WHEN i % 2 = 0 THEN 'A' ELSE 'B' END, i * 1000003::bigint FROM "
           "generate_series(1, 3000) AS i");
    openListing({"", "", "", std::string("A")});
    // Each record's size rounded down to kilobytes, then added.
    std::int64_t kilobytes = 0;
    for (std::int64_t row = 0; row < query.recordCount(); ++row)
        kilobytes += query.valueAt(row, 4).asInteger() / 1024;
    EXPECT_EQ(query.summedKilobytes("file size"), kilobytes);
    EXPECT_EQ(query.summedKilobytes("Disk ID"), std::nullopt);
    // A record without a size is left to the caller, who meets it.
    column("UPDATE \"Files\" SET \"File Size\" = NULL WHERE \"Id\" = 2");
    query.close();
    openListing({"", "", "", std::string("A")});
    EXPECT_EQ(query.summedKilobytes("File Size"), std::nullopt);
}

TEST_F(ServerDataSetTest, ACatalogueOfAnOlderLayoutIsToldToBeBroughtUpToDate) {
    column("UPDATE \"Katalox Schema\" SET \"Version\" = 1");
    try {
        table.open();
        FAIL() << "an older layout was opened";
    } catch (const EngineError& error) {
        EXPECT_NE(std::string(error.what()).find("katalox-cli init"), std::string::npos)
            << error.what();
    }
}

TEST_F(ServerDataSetTest, AListingHoldsTheRecordsOfItsOpening) {
    insertRecords("A", 600);
    table.open();
    ASSERT_EQ(table.recordCount(), 600);
    EXPECT_EQ(table.fields().size(), 5u);
    EXPECT_EQ(table.fieldByName("File Name").asString(), "F0.JPG");
    insertRecords("B", 10, 600);
    EXPECT_EQ(table.recordCount(), 600);
    EXPECT_EQ(table.valueAt(599, 0).asInteger(), 600);
    EXPECT_TRUE(table.valueAt(600, 0).isNull());
    EXPECT_THROW(table.insert(), EngineError);
    table.close();
    table.open();
    EXPECT_EQ(table.recordCount(), 610);
}

TEST_F(ServerDataSetTest, MaintenanceStatementsChangeExactlyTheirDiskId) {
    const std::string odd = "it's \"odd\" \xFF\xFE";
    insertRecords(odd, 5);
    insertRecords("keep", 3, 5);
    insertRecords("also%", 2, 8);
    column("INSERT INTO \"Files\" (\"File Name\") VALUES ('NO DISK')");
    query.setSql(store::diskIdTreeStatement());
    query.open();
    std::vector<store::Value> tree;
    for (std::int64_t row = 0; row < query.recordCount(); ++row)
        tree.push_back(query.valueAt(row, 0));
    // In byte order, after the record without one, as the catalogue file gives them.
    EXPECT_EQ(tree,
              (std::vector<store::Value>{store::Value(), store::Value(std::string("also%")),
                                         store::Value(odd), store::Value(std::string("keep"))}));
    query.setSql(store::renameDiskIdStatement(odd, "renamed"));
    query.execSQL();
    EXPECT_EQ(column("SELECT count(*) FROM \"Files\" WHERE \"Disk ID\" = 'renamed'"),
              std::vector<std::string>{"5"});
    query.setSql(store::deleteDiskIdStatement("also%"));
    query.execSQL();
    query.setSql(store::deleteEntryStatement(6));
    query.execSQL();
    EXPECT_EQ(column("SELECT \"Disk ID\" || count(*) FROM \"Files\" WHERE \"Disk ID\" IS NOT NULL "
                     "GROUP BY \"Disk ID\" ORDER BY 1"),
              (std::vector<std::string>{"keep2", "renamed5"}));
    // A select that would change records does not run.
    query.setSql({"delete from Files"});
    EXPECT_THROW(query.open(), EngineError);
    EXPECT_EQ(column("SELECT count(*) FROM \"Files\""), std::vector<std::string>{"8"});
}

TEST_F(ServerDataSetTest, EmptyingWaitsForTheCatalogueToBeAlone) {
    insertRecords("A", 50);
    table.setExclusive(true);
    {
        store::PgConnection other(uri);
        EXPECT_THROW(table.emptyTable(), EngineError);
        EXPECT_EQ(column("SELECT count(*) FROM \"Files\""), std::vector<std::string>{"50"});
    }
    waitUntilAlone();
    table.emptyTable();
    EXPECT_EQ(column("SELECT count(*) FROM \"Files\""), std::vector<std::string>{"0"});
    // The Ids go on from where they were.
    insertRecords("B", 1);
    EXPECT_EQ(column("SELECT \"Id\" FROM \"Files\""), std::vector<std::string>{"51"});
}

TEST_F(ServerDataSetTest, ALostConnectionFailsTheListingAndTheNextOneReconnects) {
    insertRecords("A", 2000);
    openListing({"", "", "", std::nullopt});
    EXPECT_EQ(query.valueAt(0, 0).asInteger(), 1);
    // What a server restart does to the connections it had.
    column("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = "
           "current_database() AND pid <> pg_backend_pid()");
    EXPECT_THROW(store::serverConnection(uri)->execute("SELECT 1"), EngineError);
    EXPECT_THROW(query.valueAt(1500, 0), EngineError);
    query.close();
    openListing({"", "", "", std::nullopt});
    EXPECT_EQ(query.recordCount(), 2000);
    EXPECT_EQ(query.valueAt(1500, 0).asInteger(), 1501);
}

TEST_F(ServerDataSetTest, ARenameAndADeleteOfOneDiskIdNeverMeetHalfway) {
    // Two programs: two connections, as the URIs differ.
    const std::string renaming = uri + "&application_name=renaming";
    const std::string deleting = uri + "&application_name=deleting";
    for (int round = 0; round < 4; ++round) {
        insertRecords("X", 4000, round * 4000);
        store::PgConnection db(uri);
        store::recordServerScan(db, "Files", store::scanStarting("X", {"/disk/", "*", "*"}, 4000));
        const std::string renamed = "Y" + std::to_string(round);
        std::thread rename([&] {
            store::renameServerDisk(
                renaming, "Files", "X", renamed,
                store::parseStatement(store::renameDiskIdStatement("X", renamed)).server);
        });
        std::thread remove([&] {
            store::deleteServerDisk(
                deleting, "Files", "X",
                store::parseStatement(store::deleteDiskIdStatement("X")).server);
        });
        rename.join();
        remove.join();
        // Renamed whole, scan included, or deleted whole.
        const auto left = [&](const std::string& kept) {
            return column("SELECT count(*) FROM \"" + kept + "\" WHERE \"Disk ID\" = '" + renamed +
                          "'")
                .front();
        };
        EXPECT_TRUE((left("Files") == "0" && left("Files Disks") == "0") ||
                    (left("Files") == "4000" && left("Files Disks") == "1"))
            << left("Files") << " " << left("Files Disks");
        EXPECT_EQ(column("SELECT count(*) FROM \"Files\" WHERE \"Disk ID\" = 'X' UNION ALL "
                         "SELECT count(*) FROM \"Files Disks\" WHERE \"Disk ID\" = 'X'"),
                  (std::vector<std::string>{"0", "0"}));
    }
}

TEST_F(ServerDataSetTest, TheScanListGoesInWithItsScanAndAFailedBatchSaysWhatIsMissing) {
    const std::vector<std::string> paths = {"/proc/self/status", "/no/such/file", "/proc/version"};
    const auto pathAt = [&](std::size_t i) { return std::string_view(paths[i]); };
    const store::RecordedScan scan = store::scanStarting("LIST", {"/proc/", "*", "*"}, 3);
    store::PgConnection db(uri);
    const auto figures = store::insertListOnServer(db, "Files", scan, paths.size(), pathAt);
    EXPECT_EQ(figures.records, 2);
    EXPECT_EQ(figures.missing, 1);
    EXPECT_EQ(column("SELECT \"File Path\" FROM \"Files\" ORDER BY \"Id\""),
              (std::vector<std::string>{"/PROC/SELF/STATUS", "/PROC/VERSION"}));
    column("ALTER TABLE \"Files\" ADD CHECK (\"File Path\" <> '/PROC/VERSION') NOT VALID");
    try {
        store::insertListOnServer(db, "Files", scan, paths.size(), pathAt);
        FAIL() << "the refused batch went unreported";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()).rfind("2 records could not be written (0 were): ", 0),
                  0u)
            << error.what();
    }
    // Both scans are recorded, the failed one as incomplete, and the disk is where this
    // machine has it.
    const auto disks = store::serverDiskPresence(uri, "Files");
    ASSERT_EQ(disks.size(), 1u);
    ASSERT_EQ(disks[0].scans.size(), 2u);
    EXPECT_EQ(disks[0].scans[0].recordCount, 2);
    EXPECT_EQ(disks[0].scans[0].listedFiles, 3);
    EXPECT_TRUE(disks[0].scans[0].complete);
    EXPECT_FALSE(disks[0].scans[1].complete);
    EXPECT_EQ(disks[0].scans[0].scannedFolder, "/proc/");
    EXPECT_EQ(disks[0].mountedAt, std::optional<std::string>("/proc"));
}

} // namespace
} // namespace katalox::test
