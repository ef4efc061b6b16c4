// What the catalogue knows of each file beyond its record: the folder tree with real names,
// real-case names, times and totals, kept in step by the program and by other programs.
#include "CatalogFixture.h"

#include "common/OtherProgram.h"
#include "common/TempDir.h"
#include "platform/Utf8.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/DiskContents.h"
#include "store/facts/RealName.h"
#include "store/facts/RecordedFacts.h"
#include "store/sqlite/Database.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>
#include <utime.h>

namespace katalox::test {
namespace {

namespace fs = std::filesystem;

class FileFactsTest : public ::testing::Test {
protected:
    FileFactsTest() {
        store::createEmptyCatalog(file);
        catalog = std::make_unique<store::Catalog>(file);
    }

    void insert(const std::string& diskId, const std::string& folder) {
        const scanner::WalkRules rules{dir.file(folder) + "/", "*", "*"};
        const std::vector<std::string> paths = listedFiles(rules);
        catalog->insert({diskId, rules}, paths.size(),
                        [&](std::size_t i) { return std::string_view(paths[i]); });
    }

    store::DiskContents contents(const std::string& diskId) {
        return store::DiskContents(catalog->database().shared_from_this(), catalog->table(),
                                   diskId);
    }

    // Every folder as path -> (files below, bytes below), and every file as path -> size,
    // as the browser gives them.
    struct Seen {
        std::map<std::string, std::pair<std::int64_t, std::int64_t>> folders;
        std::map<std::string, std::int64_t> files;
    };
    static Seen seen(const store::DiskContents& disk) {
        Seen result;
        for (std::uint32_t i = 0; i < disk.folders().size(); ++i) {
            const std::string path = disk.pathOf(i);
            result.folders[path] = {disk.folders()[i].totalFiles, disk.folders()[i].totalBytes};
            for (const store::ContentsFile& f : disk.filesIn(i))
                result.files[path + f.name] = f.size;
        }
        return result;
    }

    // The same, brute force from the file system (hidden folders are not walked).
    static Seen walked(const std::string& root) {
        Seen result;
        for (auto it = fs::recursive_directory_iterator(root); it != fs::end(it); ++it) {
            if (it->path().filename().string()[0] == '.') {
                it.disable_recursion_pending();
                continue;
            }
            if (!it->is_regular_file())
                continue;
            const auto size = static_cast<std::int64_t>(it->file_size());
            result.files[it->path().string()] = size;
            for (fs::path up = it->path().parent_path();; up = up.parent_path()) {
                auto& [files, bytes] = result.folders[up.string() + "/"];
                ++files;
                bytes += size;
                if (up.string() + "/" == root)
                    break;
            }
        }
        return result;
    }

    TempDir dir;
    const std::string file = dir.file("Files.db");
    std::unique_ptr<store::Catalog> catalog;
};

TEST_F(FileFactsTest, TheFolderTreeNamesAndTotalsAreTheDisksOwn) {
    dir.write("disk/Photos/2019/Holidays/IMG_0042.jpg", "12345");
    dir.write("disk/Photos/2019/Holidays/img_0042.JPG", "1");
    dir.write("disk/Photos/caf\xE9/R\xE9sum\xE9.txt", "abc");
    dir.write("disk/Photos/\xC3\xBC"
              "ber/Stra\xC3\x9F"
              "e.TXT",
              "abcd");
    dir.write("disk/.hidden/secret.txt", "x");
    dir.mkdir("disk/Empty/Inside");
    std::string deep = "disk";
    for (int level = 0; level < 40; ++level)
        deep += "/Level" + std::to_string(level);
    dir.write(deep + "/Bottom.bin", std::string(100, 'z'));
    dir.write("disk/Top.dat", std::string(7, 'y'));
    ::utime(dir.file("disk/Top.dat").c_str(), nullptr);
    insert("Photos", "disk");

    const store::DiskContents disk = contents("Photos");
    ASSERT_EQ(disk.roots().size(), 1u);
    EXPECT_EQ(disk.pathOf(disk.roots()[0]), dir.file("disk/"));
    const Seen ours = seen(disk);
    const Seen truth = walked(dir.file("disk/"));
    EXPECT_EQ(ours.files, truth.files);
    // Folders without a file listed (the empty ones) have nothing to show.
    EXPECT_EQ(ours.folders, truth.folders);
    EXPECT_EQ(disk.totalFiles(), 6);

    struct stat info {};
    ASSERT_EQ(::stat(dir.file("disk/Top.dat").c_str(), &info), 0);
    for (const store::ContentsFile& f : disk.filesIn(disk.roots()[0])) {
        EXPECT_EQ(f.name, "Top.dat");
        EXPECT_EQ(f.modified, info.st_mtim.tv_sec);
        // Copy Path and the file actions reach it by its real path.
        EXPECT_EQ(catalog->recordedRealPath(f.record), dir.file("disk/Top.dat"));
        EXPECT_EQ(catalog->livePathOfRecord(f.record, "Photos", "ignored"),
                  dir.file("disk/Top.dat"));
        EXPECT_EQ(disk.folderOfRecord(f.record), disk.roots()[0]);
    }
}

TEST_F(FileFactsTest, RealNamesSurviveWhateverTheirBytes) {
    for (const std::string& name : std::vector<std::string>{
             "IMG_0042.jpg", "readme", "ALLUPPER.TXT", "1234", "", "caf\xE9.txt",
             "\xC3\xBC"
             "ber.txt",
             std::string(70, 'a') + ".txt", "mIxEd.Ca.Se"}) {
        const std::string upper = platform::upperCase(name);
        EXPECT_EQ(store::realNameOf(store::keptName(name, upper), upper), name);
    }
    // An ASCII name is kept in a few bytes, not as its text.
    EXPECT_TRUE(store::keptName("IMG_0042.jpg", "IMG_0042.JPG").isInteger());
}

TEST_F(FileFactsTest, FactsFollowDeleteRenameEmptyAndOtherPrograms) {
    dir.write("a/One/x.txt", "12");
    dir.write("a/One/y.txt", "1234");
    dir.write("a/Two/z.txt", "123456");
    dir.write("b/w.txt", "1");
    insert("A", "a");
    insert("B", "b");
    OtherProgram other(file);
    // The records whose facts still apply.
    const auto factRows = [&] {
        store::RecordedFactsReader reader(catalog->database());
        store::Statement rows = catalog->database().prepare("SELECT Id, \"File Name\" FROM Files");
        int withFacts = 0;
        while (rows.step())
            withFacts +=
                reader.factsOf(rows.columnInteger(0), rows.columnValue(1).asString()) ? 1 : 0;
        return withFacts;
    };
    EXPECT_EQ(factRows(), 4);

    catalog->renameDisk("A", "Renamed");
    EXPECT_EQ(seen(contents("Renamed")).files, walked(dir.file("a/")).files);

    // Another program deletes one record and moves another: totals follow, and the moved
    // record shows where its stored path puts it, named as stored.
    other.exec("DELETE FROM Files WHERE \"File Name\" = 'Y.TXT'");
    other.exec("UPDATE Files SET \"File Path\" = '" + platform::upperCase(dir.file("a/Two/")) +
               "MOVED.TXT', \"File Name\" = 'MOVED.TXT' WHERE \"File Name\" = 'X.TXT'");
    const store::DiskContents after = contents("Renamed");
    const Seen shown = seen(after);
    EXPECT_EQ(shown.files, (std::map<std::string, std::int64_t>{{dir.file("a/Two/z.txt"), 6},
                                                                {dir.file("a/Two/MOVED.TXT"), 2}}));
    EXPECT_EQ(shown.folders.at(dir.file("a/")), std::make_pair(std::int64_t{2}, std::int64_t{8}));
    EXPECT_EQ(factRows(), 2);

    // Given another Disk ID by another program, a record shows under its new disk.
    other.exec("UPDATE Files SET \"Disk ID\" = 'B' WHERE \"File Name\" = 'Z.TXT'");
    EXPECT_EQ(seen(contents("B")).files.count(platform::upperCase(dir.file("a/Two/z.txt"))), 1u);
    EXPECT_EQ(seen(contents("Renamed")).files.count(dir.file("a/Two/z.txt")), 0u);

    catalog->deleteDisk("Renamed");
    EXPECT_EQ(factRows(), 1);
    EXPECT_EQ(other.number("SELECT count(*) FROM \"Disk Folders\""), 1);
    catalog->empty();
    EXPECT_EQ(factRows(), 0);
    // Emptied, the catalogue takes facts again.
    insert("B", "b");
    EXPECT_EQ(factRows(), 1);
    other.exec("DELETE FROM Files");
    EXPECT_EQ(other.number("SELECT sum(\"Files\") + sum(\"Bytes\") FROM \"Disk Folders\""), 0);
}

TEST_F(FileFactsTest, RecordsWithoutFactsShowByTheirStoredPaths) {
    // Records of another program: no scan, no facts.
    store::Table table;
    table.setDatabaseName(dir.path());
    table.setTableName("Files.db");
    table.open();
    postRecord(table, {"A.TXT", "/MEDIA/DISK/DOCS/A.TXT", "Old", 10});
    postRecord(table, {"B.TXT", "/MEDIA/DISK/B.TXT", "Old", 5});
    table.close();
    const store::DiskContents disk = contents("Old");
    EXPECT_EQ(seen(disk).files, (std::map<std::string, std::int64_t>{{"/MEDIA/DISK/DOCS/A.TXT", 10},
                                                                     {"/MEDIA/DISK/B.TXT", 5}}));
    EXPECT_EQ(disk.totalBytes(), 15);
    for (std::uint32_t i = 0; i < disk.folders().size(); ++i)
        for (const store::ContentsFile& f : disk.filesIn(i))
            EXPECT_FALSE(f.modified);
}

TEST_F(FileFactsTest, ADiskUpdateGivesEveryFileItsFactsAnew) {
    dir.write("disk/Keep.txt", "1");
    dir.write("disk/Sub/Grow.txt", "1");
    dir.write("disk/Sub/Gone.txt", "1");
    insert("D", "disk");
    // A catalogue of before: the facts of these records are lost.
    OtherProgram(file).exec("DELETE FROM \"File Facts\"");
    dir.write("disk/Sub/Grow.txt", "12345");
    fs::remove(dir.file("disk/Sub/Gone.txt"));
    dir.write("disk/New Folder/Added.TXT", "123");
    const auto update = catalog->diskUpdate("D");
    const bool stopped = false;
    ASSERT_TRUE(update->compare(stopped));
    update->apply();
    const store::DiskContents disk = contents("D");
    EXPECT_EQ(seen(disk).files, walked(dir.file("disk/")).files);
    EXPECT_EQ(seen(disk).folders, walked(dir.file("disk/")).folders);
    for (std::uint32_t i = 0; i < disk.folders().size(); ++i) {
        EXPECT_TRUE(disk.folders()[i].loose.empty());
        for (const store::ContentsFile& f : disk.filesIn(i))
            EXPECT_TRUE(f.modified);
    }
}

} // namespace
} // namespace katalox::test
