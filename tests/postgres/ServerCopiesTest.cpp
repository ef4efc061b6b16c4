// Prints and copies on a catalogue on the test server, against the same scans into a catalogue
// file: the copy groups, other copies and coverage agree; what is kept follows the records and
// disks however they are changed; a verification on the server finds a changed file.
#include "common/FileBytes.h"
#include "common/TempDir.h"
#include "platform/Error.h"
#include "platform/Utf8.h"
#include "postgres/PostgresTest.h"
#include "store/CatalogFixture.h"
#include "store/catalog/Catalog.h"
#include "store/copies/CopyGroups.h"
#include "store/copies/CopySource.h"
#include "store/copies/DiskCoverage.h"
#include "store/copies/DiskVerification.h"
#include "store/copies/VerifyStore.h"
#include "store/postgres/PgCopiedFolders.h"
#include "store/postgres/PgCopySource.h"
#include "store/postgres/PgListInsert.h"
#include "store/postgres/PgText.h"
#include "store/postgres/PgVerifyStore.h"
#include "store/postgres/ServerCatalogue.h"
#include "store/sqlite/Database.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sys/stat.h>
#include <thread>

namespace katalox::test {
namespace {

// What the copies windows show of a catalogue, in a form two engines can be compared by.
struct CopiesSeen {
    std::multiset<std::string> groups; // size, sure, then each member
    std::map<std::string, std::set<std::string>> others;
    std::map<std::string, std::string> coverage; // per Disk ID
    bool operator==(const CopiesSeen&) const = default;
};

class ServerCopiesTest : public ServerAndFileTest {
protected:
    void SetUp() override {
        ServerAndFileTest::SetUp();
        if (HasFatalFailure())
            return;
        const std::string x = bytesOf(100000, 1);
        std::string nearly = x;
        nearly[30000] ^= 1; // between the samples: a probable copy
        std::string changed = bytesOf(60000, 4);
        dir.write("a/photo.jpg", x);
        dir.write("a/sub/other name.bin", x);
        dir.write("a/nearly.bin", nearly);
        dir.write("a/same size.bin", bytesOf(100000, 2));
        dir.write("a/kept.bin", changed);
        dir.write("a/small.txt", "small file, whole");
        dir.write("a/empty.txt");
        changed[10] ^= 1; // inside the first sample: no copy
        dir.write("b/elsewhere/photo copy.jpg", x);
        dir.write("b/kept changed.bin", changed);
        dir.write("b/small copy.txt", "small file, whole");
        dir.write("b/unique.bin", bytesOf(5000, 3));
    }

    // The scan window's insert on both catalogues.
    void insertFromList(const std::string& diskId, const std::string& folder) {
        const scanner::WalkRules rules{dir.file(folder) + "/", "*", "*"};
        const std::vector<std::string> paths = listedFiles(rules);
        const auto pathAt = [&](std::size_t i) { return std::string_view(paths[i]); };
        store::Catalog(catalogueFile).insert({diskId, rules, true}, paths.size(), pathAt);
        store::PgConnection db(uri);
        store::insertListOnServer(db, "Files", store::scanStarting(diskId, rules, paths.size()),
                                  paths.size(), pathAt, {}, true);
    }

    // katalox-cli scan on both catalogues.
    void scanWithCli(const std::string& diskId, const std::string& folder) {
        for (const std::string& catalogue : {catalogueFile, uri})
            ASSERT_EQ(std::system(("'" KATALOX_CLI "' --catalog '" + catalogue + "' scan '" +
                                   dir.file(folder) + "' --disk-id " + diskId +
                                   " --no-archives 2>/dev/null")
                                      .c_str()),
                      0);
    }

    static CopiesSeen seen(store::CopySource& source,
                           const std::map<std::int64_t, std::string>& records) {
        CopiesSeen found;
        store::CopyGroups groups(std::shared_ptr<store::CopySource>(&source, [](auto*) {}), {});
        for (const store::CopyGroup& group : groups.next(100)) {
            std::string line = std::to_string(group.size) + (group.members[0].sure ? " sure" : "");
            for (const store::KnownCopy& member : group.members)
                line += " " + member.diskId + ":" + member.path;
            found.groups.insert(line);
        }
        for (const auto& [record, name] : records)
            for (const store::KnownCopy& copy : store::otherCopies(source, record))
                found.others[name].insert(copy.diskId + ":" + copy.path);
        for (const char* disk : {"A", "B"}) {
            const store::DiskCoverage coverage = store::coverageOf(source, disk);
            std::string line;
            for (const store::FileCount* count :
                 {&coverage.copied, &coverage.single, &coverage.unknown})
                line += std::to_string(count->files) + "/" + std::to_string(count->bytes) + " ";
            line += std::to_string(coverage.folders.size());
            for (const std::string& path : coverage.singlePaths)
                line += " " + path;
            found.coverage[disk] = line;
        }
        return found;
    }

    CopiesSeen seenInFile() {
        store::Catalog catalog(catalogueFile);
        std::map<std::int64_t, std::string> records;
        store::Statement all = catalog.database().prepare(
            "SELECT rowid, \"Disk ID\" || ':' || \"File Path\" FROM Files");
        while (all.step())
            records[all.columnInteger(0)] = all.columnValue(1).asString();
        return seen(*store::fileCopySource(catalog.database(), "Files"), records);
    }

    CopiesSeen seenOnServer() {
        std::map<std::int64_t, std::string> records;
        auto db = std::make_shared<store::PgConnection>(uri);
        const store::PgResult all =
            db->execute("SELECT \"Id\", \"Disk ID\" || ':' || \"File Path\" FROM \"Files\"");
        for (int row = 0; row < all.rows(); ++row)
            records[all.integer(row, 0)] = store::fromServerText(all.text(row, 1));
        return seen(*store::serverCopySource(db, "Files"), records);
    }

    std::int64_t number(const std::string& sql) { return std::stoll(column(sql).at(0)); }
};

TEST_F(ServerCopiesTest, GroupsOtherCopiesAndCoverageAgreeWithACatalogueFile) {
    insertFromList("A", "a");
    scanWithCli("B", "b");
    const CopiesSeen inFile = seenInFile();
    const CopiesSeen onServer = seenOnServer();
    // The photo's four records (one a probable copy) and the small file's two; the changed
    // file is no copy of the one it was.
    EXPECT_EQ(inFile.groups.size(), 2u);
    ASSERT_EQ(inFile.others.count("A:" + platform::upperCase(dir.file("a/nearly.bin"))), 1u);
    EXPECT_EQ(inFile.others.count("A:" + platform::upperCase(dir.file("a/kept.bin"))), 0u);
    EXPECT_EQ(onServer.groups, inFile.groups);
    EXPECT_EQ(onServer.others, inFile.others);
    EXPECT_EQ(onServer.coverage, inFile.coverage);
    // --no-fingerprints leaves them out on the server as on a file.
    dir.write("c/lone.bin", bytesOf(3000, 9));
    ASSERT_EQ(std::system(("'" KATALOX_CLI "' --catalog '" + uri + "' scan '" + dir.file("c") +
                           "' --disk-id C --no-archives --no-fingerprints 2>/dev/null")
                              .c_str()),
              0);
    EXPECT_EQ(number("SELECT count(*) FROM \"Files Prints\" p JOIN \"Files\" f ON f.\"Id\" = "
                     "p.\"Record\" WHERE f.\"Disk ID\" = 'C'"),
              0);
}

// A folder whose files are all copies of another's, in real case, as on a file.
TEST_F(ServerCopiesTest, CopiedFoldersAgreeWithACatalogueFile) {
    for (const char* folder : {"f/Pair/", "g/Pair Copy/"})
        for (const unsigned seed : {11u, 12u})
            dir.write(std::string(folder) + "file" + std::to_string(seed) + ".bin",
                      bytesOf(20000, seed));
    dir.write("g/Pair Copy/extra.bin", bytesOf(7000, 13));
    insertFromList("F", "f");
    insertFromList("G", "g");
    const auto pairs = [](const std::vector<store::CopiedFolder>& folders) {
        std::vector<std::string> texts;
        for (const store::CopiedFolder& folder : folders)
            texts.push_back(folder.diskId + ":" + folder.path + " in " + folder.otherDiskId + ":" +
                            folder.otherPath + (folder.same ? " same" : ""));
        return texts;
    };
    store::CopyFilter filter;
    filter.minSize = 1;
    const std::vector<std::string> inFile =
        pairs(store::copiedFolders(store::Catalog(catalogueFile).database(), filter, 10));
    EXPECT_EQ(inFile, (std::vector<std::string>{"F:" + dir.file("f/Pair/") +
                                                " in G:" + dir.file("g/Pair Copy/")}));
    EXPECT_EQ(pairs(store::serverCopiedFolders(*store::serverConnection(uri), "Files", filter, 10)),
              inFile);
}

TEST_F(ServerCopiesTest, WhatIsKeptFollowsRecordsAndDisksHoweverTheyChange) {
    insertFromList("A", "a");
    insertFromList("B", "b");
    auto db = store::serverConnection(uri);
    const auto source = std::shared_ptr<store::CopySource>(store::serverCopySource(db, "Files"));
    store::keepProtectedShare(*source, "A", store::coverageOf(*source, "A"));
    const std::int64_t prints = number("SELECT count(*) FROM \"Files Prints\"");
    const auto groups = [&] {
        return column("SELECT \"Copies\" FROM \"Files Copy Groups\" ORDER BY 1");
    };
    EXPECT_EQ(groups(), (std::vector<std::string>{"2", "4"}));

    // Renamed, the disk keeps its prints and its kept share.
    store::renameServerDisk(uri, "Files", "A", "R",
                            "UPDATE \"Files\" SET \"Disk ID\" = 'R' WHERE \"Disk ID\" = 'A'");
    EXPECT_EQ(number("SELECT count(*) FROM \"Files Prints\""), prints);
    EXPECT_TRUE(store::keptProtectedShare(*source, "R"));
    EXPECT_FALSE(store::keptProtectedShare(*source, "A"));

    // Records deleted or changed by any statement lose their prints; groups are counted again.
    store::runServerChange(uri,
                           "DELETE FROM \"Files\" WHERE \"File Path\" LIKE '%/PHOTO COPY.JPG'");
    EXPECT_EQ(groups(), (std::vector<std::string>{"2", "3"}));
    store::runServerChange(
        uri, "UPDATE \"Files\" SET \"File Size\" = 1 WHERE \"File Path\" LIKE '%/SMALL COPY.TXT'");
    EXPECT_EQ(groups(), (std::vector<std::string>{"3"}));
    EXPECT_EQ(number("SELECT count(*) FROM \"Files Prints\""), prints - 2);

    // A disk deleted takes everything kept of it along, in the same transaction.
    store::deleteServerDisk(uri, "Files", "R", "DELETE FROM \"Files\" WHERE \"Disk ID\" = 'R'");
    EXPECT_EQ(groups(), std::vector<std::string>{});
    EXPECT_FALSE(store::keptProtectedShare(*source, "R"));
    EXPECT_EQ(number("SELECT count(*) FROM \"Files Prints\" p LEFT JOIN \"Files\" f ON f.\"Id\" "
                     "= p.\"Record\" WHERE f.\"Id\" IS NULL"),
              0);
    EXPECT_GT(number("SELECT count(*) FROM \"Files Prints\""), 0);

    // Emptied, the catalogue keeps no print. The test's own connections closed just before
    // may linger a moment on the server, which refuses to empty a catalogue in use.
    for (int attempt = 0;; ++attempt) {
        try {
            store::emptyServerTable(uri, "Files");
            break;
        } catch (const EngineError&) {
            ASSERT_LT(attempt, 50);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    EXPECT_EQ(number("SELECT count(*) FROM \"Files Prints\""), 0);
}

TEST_F(ServerCopiesTest, AVerificationOnTheServerFindsAChangedFile) {
    const std::string x = bytesOf(200000, 5);
    for (const char* name : {"same.bin", "silent.bin", "gone.bin"})
        dir.write(std::string("d/") + name, x + name);
    insertFromList("D", "d");
    const auto verify = [&] {
        return store::DiskVerification(
                   store::serverVerifyStore(std::make_shared<store::PgConnection>(uri), "Files"),
                   "D")
            .run({});
    };
    const store::VerifyFigures first = verify();
    EXPECT_TRUE(first.finished);
    EXPECT_EQ(first.filesChecked, 3);
    EXPECT_EQ(first.corrupted + first.gone + first.unreadable + first.modified, 0);
    EXPECT_EQ(number("SELECT count(*) FROM \"Files Verified Files\" WHERE \"Hash\" IS NOT NULL"),
              3);

    // A byte between the samples: only the whole hash tells. A file saved again since the scan
    // is told apart by the time the scan recorded.
    flipByteKeepingTime(dir.file("d/silent.bin"), 30000);
    std::filesystem::remove(dir.file("d/gone.bin"));
    std::filesystem::last_write_time(dir.file("d/same.bin"),
                                     std::filesystem::last_write_time(dir.file("d/same.bin")) +
                                         std::chrono::hours(1));
    const store::VerifyFigures second = verify();
    EXPECT_TRUE(second.finished);
    EXPECT_EQ(second.corrupted, 1);
    EXPECT_EQ(second.gone, 1);
    EXPECT_EQ(second.modified, 1);
    auto store = store::serverVerifyStore(std::make_shared<store::PgConnection>(uri), "Files");
    std::map<std::string, store::VerifyFinding> found;
    for (const store::FoundProblem& problem : store->findings("D"))
        found[problem.storedPath.substr(problem.storedPath.rfind('/') + 1)] = problem.finding;
    EXPECT_EQ(found, (std::map<std::string, store::VerifyFinding>{
                         {"SILENT.BIN", store::VerifyFinding::Corrupted},
                         {"SAME.BIN", store::VerifyFinding::Modified},
                         {"GONE.BIN", store::VerifyFinding::Gone}}));
    ASSERT_TRUE(store->lastCheck("D"));
    EXPECT_TRUE(store->lastCheck("D")->finished);
}

} // namespace
} // namespace katalox::test
