// The facts of a catalogue on a server: what a scan records beside its records reads back as
// the same scan's on a catalogue file, in the disk browser's contents and as real paths, and
// stays in step when any program deletes or changes records or a Disk ID is deleted.
#include "common/TempDir.h"
#include "postgres/PostgresTest.h"
#include "scanner/FileWalk.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/CatalogFile.h"
#include "store/catalog/DiskContents.h"
#include "store/facts/RecordedFacts.h"
#include "store/postgres/PgContents.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgFacts.h"
#include "store/postgres/PgInsert.h"
#include "store/postgres/PgListInsert.h"
#include "store/postgres/PgText.h"
#include "store/postgres/ServerCatalogue.h"
#include "store/sqlite/Database.h"

#include <filesystem>
#include <map>
#include <tuple>
#include <utime.h>

namespace katalox::test {
namespace {

class ServerFactsTest : public ServerAndFileTest {
protected:
    void SetUp() override {
        ServerAndFileTest::SetUp();
        if (HasFatalFailure())
            return;
        catalogue = std::make_unique<store::Catalog>(catalogueFile);
        // Names in mixed case, one not UTF-8, folders three deep and one holding only folders.
        const std::vector<std::string> names = {"Top.txt",
                                                "Photos/IMG_0001.JPG",
                                                "Photos/img_0002.jpg",
                                                "Photos/2019/Summer/Beach.jpeg",
                                                "Docs/caf\xE9.TXT",
                                                "Docs/ReadMe.md",
                                                "Empty/Only/deep.bin"};
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string path = dir.write("disk/" + names[i], std::string(i * 3 + 1, 'x'));
            const utimbuf times{0, static_cast<std::time_t>(1'000'000'000 + i * 86'400)};
            ::utime(path.c_str(), &times);
        }
        rules = {dir.file("disk/"), "*", "*"};
        const bool stopped = false;
        scanner::walkMatchingFiles(
            rules,
            [&](const std::string& path, std::uint64_t, std::int64_t) { paths.push_back(path); },
            stopped);
    }

    // The same scan of the tree into the file and onto the server.
    void insertBoth(const std::string& diskId) {
        catalogue->insert({diskId, rules}, paths.size(),
                          [&](std::size_t i) { return std::string_view(paths[i]); });
        store::PgConnection db(uri);
        store::insertListOnServer(db, "Files", store::scanStarting(diskId, rules, paths.size()),
                                  paths.size(),
                                  [&](std::size_t i) { return std::string_view(paths[i]); });
    }

    store::DiskContents onFile(const std::string& diskId) {
        return store::DiskContents(catalogue->database().shared_from_this(), catalogue->table(),
                                   diskId);
    }
    store::DiskContents onServer(const std::string& diskId) {
        return store::DiskContents(std::make_shared<store::ServerContentsRows>(
                                       std::make_shared<store::PgConnection>(uri), "Files"),
                                   diskId);
    }

    // Every folder as its path -> own and total files and bytes; every file as its path ->
    // size and time, as the disk browser shows them.
    using Folders =
        std::map<std::string, std::tuple<std::int64_t, std::int64_t, std::int64_t, std::int64_t>>;
    using Files = std::map<std::string, std::pair<std::int64_t, std::int64_t>>;
    static std::pair<Folders, Files> shown(const store::DiskContents& disk) {
        Folders folders;
        Files files;
        for (std::uint32_t i = 0; i < disk.folders().size(); ++i) {
            const store::ContentsFolder& folder = disk.folders()[i];
            if (folder.totalFiles == 0)
                continue;
            folders[disk.pathOf(i)] = {folder.ownFiles, folder.ownBytes, folder.totalFiles,
                                       folder.totalBytes};
            for (const store::ContentsFile& file : disk.filesIn(i))
                files[disk.pathOf(i) + file.name] = {file.size, file.modified.value_or(-1)};
        }
        return {folders, files};
    }

    // Both engines run `sql` (whose table is "Files") on their records.
    void changeBoth(const std::string& sql) {
        catalogue->database().execute(sql);
        store::runServerChange(uri, sql);
    }

    std::int64_t count(const std::string& table) {
        return std::stoll(column("SELECT count(*) FROM \"" + table + "\"").at(0));
    }

    std::unique_ptr<store::Catalog> catalogue;
    scanner::WalkRules rules;
    std::vector<std::string> paths;
};

TEST_F(ServerFactsTest, AScanReadsBackAsTheSameScanOfACatalogueFile) {
    insertBoth("D1");
    const auto [folders, files] = shown(onServer("D1"));
    EXPECT_EQ(folders, shown(onFile("D1")).first);
    EXPECT_EQ(files, shown(onFile("D1")).second);
    // Real names and times as scanned; totals of each folder with all below it.
    EXPECT_EQ(files.at(dir.file("disk/Photos/img_0002.jpg")), Files::mapped_type(7, 1'000'172'800));
    EXPECT_EQ(files.count(dir.file("disk/Docs/caf\xE9.TXT")), 1u);
    EXPECT_EQ(folders.at(dir.file("disk/Photos/")), Folders::mapped_type(2, 11, 3, 21));
    EXPECT_EQ(std::get<2>(folders.at(dir.file("disk/"))), 7);

    // Each record's real path and time, as the windows' file actions and find read them.
    store::PgConnection db(uri);
    const store::PgResult ids = db.execute("SELECT \"Id\", \"File Path\" FROM \"Files\"");
    ASSERT_EQ(ids.rows(), 7);
    for (int row = 0; row < ids.rows(); ++row) {
        const auto server = store::serverRecordedPath(db, "Files", ids.integer(row, 0));
        const std::int64_t record = catalogue->database().integerOf(
            "SELECT rowid FROM Files WHERE \"File Path\" = ?1",
            {store::Value(store::fromServerText(ids.text(row, 1)))});
        const auto file = store::recordedPathOf(catalogue->database(), "Files", record);
        ASSERT_TRUE(server && file);
        EXPECT_EQ(server->path, file->path);
        EXPECT_EQ(server->modified, file->modified);
    }
}

TEST_F(ServerFactsTest, TotalsFollowRecordsChangedByStatementAndDeletedDiskIds) {
    insertBoth("D1");
    insertBoth("D2");
    changeBoth("DELETE FROM \"Files\" WHERE \"File Name\" = 'BEACH.JPEG' AND \"Disk ID\" = 'D1'");
    changeBoth("UPDATE \"Files\" SET \"File Name\" = 'RENAMED' WHERE \"File Name\" = "
               "'IMG_0001.JPG' AND \"Disk ID\" = 'D1'");
    changeBoth("UPDATE \"Files\" SET \"File Size\" = 1000 WHERE \"File Name\" = 'README.MD'");
    changeBoth("UPDATE \"Files\" SET \"Disk ID\" = 'D1' WHERE \"Disk ID\" = 'D1'");
    const auto [folders, files] = shown(onServer("D1"));
    EXPECT_EQ(folders, shown(onFile("D1")).first);
    EXPECT_EQ(files, shown(onFile("D1")).second);
    // The renamed record is placed by its stored path, without its facts.
    EXPECT_EQ(files.at(dir.file("disk/Photos/IMG_0001.JPG")).second, -1);
    EXPECT_EQ(folders.count(dir.file("disk/Photos/2019/")), 0u);
    EXPECT_EQ(std::get<1>(folders.at(dir.file("disk/Docs/"))), 13 + 1000);

    // A Disk ID deleted takes its facts with it; the other's stay.
    const std::int64_t factsOfBoth = count("Files File Facts");
    store::deleteServerDisk(uri, "Files", "D2", "DELETE FROM \"Files\" WHERE \"Disk ID\" = 'D2'");
    EXPECT_LT(count("Files File Facts"), factsOfBoth);
    EXPECT_EQ(shown(onServer("D1")).first, folders);
    EXPECT_TRUE(shown(onServer("D2")).second.empty());
    EXPECT_EQ(std::stoll(column("SELECT count(*) FROM \"Files Disk Folders\" f JOIN \"Files "
                                "Disks\" d ON d.\"Id\" = f.\"Scan\" WHERE d.\"Disk ID\" = 'D2'")
                             .at(0)),
              0);
    store::deleteServerDisk(uri, "Files", "D1", "DELETE FROM \"Files\" WHERE \"Disk ID\" = 'D1'");
    for (const char* table : {"Files Disk Folders", "Files File Facts", "Files Dropped Facts"})
        EXPECT_EQ(count(table), 0) << table;
}

TEST_F(ServerFactsTest, FactsOfManyBatchesAddUpAndAnEmptiedTableKeepsNone) {
    // Batches of two records: folders made in one batch take files in the next.
    {
        store::PgConnection db(uri);
        store::RecordedScan scan = store::scanStarting("D1", rules, paths.size());
        scan.id = store::recordServerScan(db, "Files", scan);
        store::PgInsert insert(db, "Files", 2);
        store::ServerScanFacts facts(db, "Files", insert, scan.id, rules.startFolder);
        for (const std::string& path : paths) {
            const auto size = static_cast<std::int64_t>(std::filesystem::file_size(path));
            facts.add(path, insert.add(path, "D1", size), size, 7);
        }
        insert.finish();
    }
    catalogue->insert({"D1", rules}, paths.size(),
                      [&](std::size_t i) { return std::string_view(paths[i]); });
    const auto [folders, files] = shown(onServer("D1"));
    EXPECT_EQ(folders, shown(onFile("D1")).first);
    EXPECT_EQ(files.size(), 7u);
    EXPECT_EQ(files.at(dir.file("disk/Top.txt")).second, 7);
    store::emptyServerTable(uri, "Files");
    for (const char* table : {"Files Disk Folders", "Files File Facts", "Files Dropped Facts"})
        EXPECT_EQ(count(table), 0) << table;
}

} // namespace
} // namespace katalox::test
