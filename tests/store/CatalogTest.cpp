// The catalogue service without any window: inserting a scan, updating a disk from its
// recorded folders, and keeping the recorded scans in step with the records.
#include "store/catalog/Catalog.h"
#include "CatalogFixture.h"
#include "common/OtherProgram.h"
#include "common/TempDir.h"
#include "platform/Error.h"
#include "platform/Utf8.h"
#include "scanner/FileWalk.h"
#include "store/catalog/CatalogFile.h"
#include "store/search/BackgroundProblems.h"
#include "store/settings/ConfigFile.h"
#include "store/sqlite/Database.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace katalox::test {
namespace {

using Row = OtherProgram::Record;

class CatalogTest : public ::testing::Test {
protected:
    static std::string created(const std::string& path) {
        store::createEmptyCatalog(path);
        return path;
    }

    store::InsertFigures insert(const std::string& diskId, const scanner::WalkRules& rules,
                                const store::Catalog::InsertProgress& progress = {}) {
        const std::vector<std::string> paths = listedFiles(rules);
        return catalog.insert(
            {diskId, rules}, paths.size(),
            [&](std::size_t i) { return std::string_view(paths[i]); }, progress);
    }

    std::vector<Row> rows() { return OtherProgram(file).records(); }

    TempDir dir;
    const std::string file = created(dir.file("Files.db"));
    store::Catalog catalog{file};
};

TEST_F(CatalogTest, InsertWritesOneRecordPerFileAndRecordsTheScan) {
    dir.write("disk/Report.doc", "12345");
    dir.write("disk/caf\xe9 line\nbreak*?.txt", "z"); // not UTF-8, and odd characters
    const std::string huge = dir.write("disk/sub/huge.iso");
    ASSERT_EQ(::truncate(huge.c_str(), (std::int64_t{5} << 30) + 7), 0); // sparse
    const scanner::WalkRules rules{dir.file("disk/"), "*", "*"};

    std::vector<std::size_t> told;
    const store::InsertFigures figures = insert("Backup disk", rules, [&](std::size_t i) {
        told.push_back(i);
        return true;
    });
    EXPECT_EQ(figures.records, 3);
    EXPECT_EQ(figures.totalSize, 5 + 1 + (std::int64_t{5} << 30) + 7);
    EXPECT_EQ(told, (std::vector<std::size_t>{0, 1, 2}));
    std::vector<Row> stored = rows();
    std::sort(stored.begin(), stored.end());
    const std::string upper = platform::upperCase(dir.path());
    EXPECT_EQ(stored,
              (std::vector<Row>{{"CAF\xe9 LINE\nBREAK*?.TXT",
                                 upper + "/DISK/CAF\xe9 LINE\nBREAK*?.TXT", "Backup disk", 1},
                                {"HUGE.ISO", upper + "/DISK/SUB/HUGE.ISO", "Backup disk",
                                 (std::int64_t{5} << 30) + 7},
                                {"REPORT.DOC", upper + "/DISK/REPORT.DOC", "Backup disk", 5}}));

    const std::vector<store::DiskPresence> disks = catalog.disks();
    ASSERT_EQ(disks.size(), 1u);
    ASSERT_EQ(disks[0].scans.size(), 1u);
    const store::RecordedScan& scan = disks[0].scans[0];
    EXPECT_EQ(scan.scannedFolder, rules.startFolder);
    EXPECT_EQ(scan.recordCount, 3);
    EXPECT_FALSE(scan.volume.type.empty());
    EXPECT_TRUE(disks[0].mountedAt); // the folder's volume is mounted now
}

TEST_F(CatalogTest, LinksAreSizedAsThemselvesAndNothingButAFileIsOpened) {
    dir.write("disk/target.txt", std::string(1264, 'p'));
    std::filesystem::create_symlink(dir.file("disk/target.txt"), dir.file("disk/link"));
    std::filesystem::create_symlink("/dev/zero", dir.file("disk/zero"));
    ASSERT_EQ(::mkfifo(dir.file("disk/fifo").c_str(), 0600), 0); // opening it would hang
    insert("Links", {dir.file("disk/"), "*", "*"});
    std::map<std::string, std::int64_t> sizes;
    for (const Row& row : rows())
        sizes[std::get<0>(row)] = std::get<3>(row);
    EXPECT_EQ(sizes["TARGET.TXT"], 1264);
    EXPECT_EQ(sizes["LINK"], static_cast<std::int64_t>(dir.file("disk/target.txt").size()));
    EXPECT_EQ(sizes["ZERO"], 9);
    EXPECT_EQ(sizes["FIFO"], 0);
    std::unique_ptr<store::DiskUpdate> update = catalog.diskUpdate("Links");
    ASSERT_TRUE(update->compare(false));
    EXPECT_TRUE(update->changes().none()); // the update sizes them the same way
}

TEST_F(CatalogTest, InsertSkipsVanishedFilesAndStopsWhenAsked) {
    const std::vector<std::string> paths{dir.write("a"), dir.file("gone"), dir.write("b"),
                                         dir.write("c")};
    const auto pathAt = [&](std::size_t i) { return std::string_view(paths[i]); };
    const store::InsertFigures figures =
        catalog.insert({"d", {dir.path() + "/", "*", "*"}}, paths.size(), pathAt,
                       [](std::size_t i) { return i < 2; });
    EXPECT_EQ(figures.missing, 1);
    EXPECT_TRUE(figures.stopped);
    EXPECT_EQ(figures.records, 2); // a and b: the stop comes after the record it is told of
    EXPECT_EQ(rows().size(), 2u);
}

TEST_F(CatalogTest, AFailureKeepsTheRecordsBeforeItAndABusyFileKeepsThemForLater) {
    for (int i = 0; i < 30; ++i)
        dir.write("many/f" + std::to_string(100 + i));
    OtherProgram(file).exec(
        "CREATE TRIGGER refuse BEFORE INSERT ON Files WHEN "
        "NEW.\"File Name\" = 'F120' BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    const scanner::WalkRules rules{dir.file("many/"), "*", "*"};
    const std::vector<std::string> paths = listedFiles(rules);
    const auto failing = std::find(paths.begin(), paths.end(), dir.file("many/f120"));
    try {
        insert("partial", rules);
        FAIL() << "the insert went through";
    } catch (const EngineError& error) {
        EXPECT_NE(std::string(error.what()).find("disk full"), std::string::npos);
    }
    EXPECT_EQ(rows().size(), static_cast<std::size_t>(failing - paths.begin()));
    // The scan is recorded as far as it got, marked incomplete.
    const store::RecordedScan partial = catalog.disks().at(0).scans.at(0);
    EXPECT_FALSE(partial.complete);
    EXPECT_EQ(partial.recordCount, failing - paths.begin());
    EXPECT_EQ(partial.listedFiles, 30);

    OtherProgram(file).exec("DROP TRIGGER refuse; DELETE FROM Files");
    OtherProgram reader(file);
    reader.exec("BEGIN; SELECT count(*) FROM Files;"); // another program reads and keeps at it
    try {
        insert("busy", rules);
        FAIL() << "the insert went through";
    } catch (const EngineError& error) {
        EXPECT_NE(std::string(error.what()).find("30 records not written yet"), std::string::npos);
    }
    reader.exec("COMMIT");
    store::Database::retryUnwritten();
    EXPECT_EQ(rows().size(), 30u);
}

TEST_F(CatalogTest, AKilledInsertLeavesAnIncompleteScanThatAnUpdateCompletes) {
    // More files than one batch: hard links to one file, made quickly.
    const std::string first = dir.write("many/f0", "x");
    const auto count = static_cast<int>(store::Database::batchSize) + 10;
    for (int i = 1; i < count; ++i)
        std::filesystem::create_hard_link(first, dir.file("many/f" + std::to_string(i)));
    const scanner::WalkRules rules{dir.file("many/"), "*", "*"};
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        store::Catalog own(file); // the child's own connection
        const std::vector<std::string> paths = listedFiles(rules);
        own.insert(
            {"Killed", rules}, paths.size(),
            [&](std::size_t i) { return std::string_view(paths[i]); },
            [&](std::size_t i) {
                if (i == store::Database::batchSize + 5)
                    ::_exit(0); // like a kill: no destructor, no commit
                return true;
            });
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(rows().size(), store::Database::batchSize);
    const store::RecordedScan killed = catalog.disks().at(0).scans.at(0);
    EXPECT_FALSE(killed.complete);
    EXPECT_EQ(killed.recordCount, static_cast<std::int64_t>(store::Database::batchSize));
    EXPECT_EQ(killed.listedFiles, count);

    std::unique_ptr<store::DiskUpdate> update = catalog.diskUpdate("Killed");
    ASSERT_TRUE(update->compare(false));
    EXPECT_EQ(update->changes().added.size(), 10u);
    EXPECT_TRUE(update->completesScans());
    update->apply();
    EXPECT_EQ(rows().size(), static_cast<std::size_t>(count));
    EXPECT_TRUE(catalog.disks().at(0).scans.at(0).complete);
}

TEST_F(CatalogTest, AnUpdateFindsAndAppliesExactlyWhatChanged) {
    dir.write("disk/keep.jpg", "1");
    dir.write("disk/grow.jpg", "12");
    dir.write("disk/gone.jpg", "123");
    dir.write("disk/notes.txt", "not matched");
    insert("Photos", {dir.file("disk/"), "*", "jpg"});
    dir.write("disk/grow.jpg", "12345");
    std::filesystem::remove(dir.file("disk/gone.jpg"));
    dir.write("disk/sub/new.jpg", "1234");

    std::unique_ptr<store::DiskUpdate> update = catalog.diskUpdate("Photos");
    ASSERT_TRUE(update->anyConnected());
    ASSERT_TRUE(update->compare(false));
    const store::DiskChanges& changes = update->changes();
    const std::string upper = platform::upperCase(dir.path());
    ASSERT_EQ(changes.added.size(), 1u);
    EXPECT_EQ(changes.added[0].path, upper + "/DISK/SUB/NEW.JPG");
    ASSERT_EQ(changes.removed.size(), 1u);
    EXPECT_EQ(changes.removed[0].path, upper + "/DISK/GONE.JPG");
    ASSERT_EQ(changes.changed.size(), 1u);
    EXPECT_EQ(changes.changed[0].newSize, 5);
    EXPECT_EQ(changes.unchanged, 1u);
    update->apply();

    std::vector<Row> stored = rows();
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(stored, (std::vector<Row>{{"GROW.JPG", upper + "/DISK/GROW.JPG", "Photos", 5},
                                        {"KEEP.JPG", upper + "/DISK/KEEP.JPG", "Photos", 1},
                                        {"NEW.JPG", upper + "/DISK/SUB/NEW.JPG", "Photos", 4}}));
    EXPECT_EQ(catalog.disks().at(0).scans.at(0).recordCount, 3);
    std::unique_ptr<store::DiskUpdate> again = catalog.diskUpdate("Photos");
    ASSERT_TRUE(again->compare(false));
    EXPECT_TRUE(again->changes().none());
}

TEST_F(CatalogTest, FilesWhoseNamesDifferOnlyInLetterCaseKeepARecordEach) {
    dir.write("disk/dir/a.txt", "12345");
    dir.write("disk/dir/A.TXT", "1234567");
    dir.write("disk/dir/b.txt", "1");
    insert("Case", {dir.file("disk/"), "*", "*"});
    ASSERT_EQ(rows().size(), 3u);

    std::unique_ptr<store::DiskUpdate> update = catalog.diskUpdate("Case");
    ASSERT_TRUE(update->compare(false));
    EXPECT_TRUE(update->changes().none());
    EXPECT_EQ(update->changes().unchanged, 3u);

    // One of the two changes: exactly that one is changed, whichever order they are found in.
    dir.write("disk/dir/A.TXT", "123456789");
    update = catalog.diskUpdate("Case");
    ASSERT_TRUE(update->compare(false));
    ASSERT_EQ(update->changes().changed.size(), 1u);
    EXPECT_EQ(update->changes().changed[0].record.size, 7);
    EXPECT_TRUE(update->changes().added.empty() && update->changes().removed.empty());
    update->apply();
    EXPECT_EQ(rows().size(), 3u);
}

TEST_F(CatalogTest, DeleteRenameAndEmptyKeepTheRecordedScansInStep) {
    dir.write("a/x");
    dir.write("b/y");
    insert("A", {dir.file("a/"), "*", "*"});
    insert("B", {dir.file("b/"), "*", "*"});
    catalog.renameDisk("A", "A's \"new\" name");
    catalog.deleteDisk("B");
    std::vector<Row> stored = rows();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(std::get<2>(stored[0]), "A's \"new\" name");
    const std::vector<store::DiskPresence> disks = catalog.disks();
    ASSERT_EQ(disks.size(), 1u);
    EXPECT_EQ(disks[0].diskId, "A's \"new\" name");

    catalog.empty();
    EXPECT_TRUE(rows().empty());
    EXPECT_TRUE(catalog.disks().empty());
}

TEST_F(CatalogTest, AReadOnlyCatalogueIsNamedWhenAnUpdateCannotBeApplied) {
    dir.write("disk/a.txt", "1");
    insert("Disk", {dir.file("disk/"), "*", "*"});
    dir.write("disk/b.txt", "2");
    std::unique_ptr<store::DiskUpdate> update = catalog.diskUpdate("Disk");
    ASSERT_TRUE(update->compare(false));
    catalog.database().execute("PRAGMA query_only = ON"); // writes fail as on a read-only file
    try {
        update->apply();
        FAIL() << "the update was applied";
    } catch (const Error& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find(file), std::string::npos) << message;
        EXPECT_NE(message.find("choose another catalogue"), std::string::npos) << message;
    }
    catalog.database().execute("PRAGMA query_only = OFF");
    EXPECT_EQ(rows().size(), 1u);
}

TEST(BackgroundProblems, EachIsToldOnce) {
    store::noteBackgroundProblem("full");
    store::noteBackgroundProblem("full");
    store::noteBackgroundProblem("other");
    EXPECT_EQ(store::takeBackgroundProblems(), (std::vector<std::string>{"full", "other"}));
    store::noteBackgroundProblem("full");
    EXPECT_TRUE(store::takeBackgroundProblems().empty());
}

TEST_F(CatalogTest, OpensTheCatalogueConfigIniNames) {
    store::ConfigFile::write(store::ConfigFile::path(dir.path()), "Files.db", dir.path() + "/");
    EXPECT_EQ(store::Catalog::configuredIn(dir.path()).path(), file);
    EXPECT_THROW(store::Catalog::configuredIn(dir.file("nowhere")), FileError);
    store::ConfigFile::write(store::ConfigFile::path(dir.path()), "Missing.db", dir.path());
    EXPECT_THROW(store::Catalog::configuredIn(dir.path()), EngineError);
}

} // namespace
} // namespace katalox::test
