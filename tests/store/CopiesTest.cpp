// Content prints taken at insert, and what they tell: the other copies of a file, the groups of
// copies across the catalogue and the coverage of a disk, on trees with known copies.
#include "CatalogFixture.h"

#include "common/OtherProgram.h"
#include "common/TempDir.h"
#include "store/catalog/Catalog.h"
#include "store/copies/CopyFolders.h"
#include "store/copies/CopyGroups.h"
#include "store/copies/DiskCoverage.h"
#include "store/copies/OtherCopies.h"
#include "store/prints/ContentPrint.h"
#include "store/settings/ScanSettings.h"
#include "store/sqlite/Database.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace katalox::test {
namespace {

namespace fs = std::filesystem;

std::string pattern(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(seed >> 16);
    }
    return bytes;
}

class CopiesTest : public ::testing::Test {
protected:
    CopiesTest() {
        store::createEmptyCatalog(file);
        catalog = std::make_unique<store::Catalog>(file);
        const std::string x = pattern(100000, 1);
        std::string middle = x;
        middle[30000] ^= 1; // between the first and the middle sample
        dir.write("a/photo.jpg", x);
        dir.write("a/sub/other name.bin", x);
        dir.write("a/same size.bin", pattern(100000, 2));
        dir.write("a/middle.bin", middle);
        dir.write("a/empty.txt", "");
        dir.write("a/small.txt", "small file, whole");
        fs::create_hard_link(dir.file("a/photo.jpg"), dir.file("a/link.jpg"));
        dir.write("a/sparse.bin");
        fs::resize_file(dir.file("a/sparse.bin"), 200000);
        dir.write("b/elsewhere/photo copy.jpg", x);
        dir.write("b/zeros.bin", std::string(200000, '\0'));
        dir.write("b/small copy.txt", "small file, whole");
        dir.write("b/unique.bin", pattern(5000, 3));
    }

    store::InsertFigures insert(const std::string& diskId, const std::string& folder,
                                bool fingerprints = true) {
        const scanner::WalkRules rules{dir.file(folder) + "/", "*", "*"};
        const std::vector<std::string> paths = listedFiles(rules);
        return catalog->insert({diskId, rules, fingerprints}, paths.size(),
                               [&](std::size_t i) { return std::string_view(paths[i]); });
    }

    std::int64_t recordOf(const std::string& storedPath) {
        return catalog->database().integerOf("SELECT Id FROM Files WHERE \"File Path\" LIKE ?1",
                                             {store::Value("%" + storedPath)});
    }

    std::set<std::string> copiesOf(const std::string& storedPath, bool onlySure = false) {
        std::set<std::string> found;
        for (const store::KnownCopy& copy :
             store::otherCopies(catalog->database(), "Files", recordOf(storedPath)))
            if (!onlySure || copy.sure)
                found.insert(copy.diskId + ":" + copy.path.substr(copy.path.rfind('/') + 1));
        return found;
    }

    // The groups as kept by the triggers equal the groups counted afresh.
    void expectGroupsInStep() {
        EXPECT_EQ(countOutside("SELECT count(*) FROM \"Copy Groups\""),
                  countOutside("SELECT count(*) FROM (SELECT 1 FROM \"File Prints\" GROUP BY "
                               "\"Print\" HAVING count(*) > 1)"));
        EXPECT_EQ(countOutside("SELECT coalesce(sum(\"Copies\"), 0) FROM \"Copy Groups\""),
                  countOutside("SELECT count(*) FROM \"File Prints\" WHERE \"Print\" IN (SELECT "
                               "\"Print\" FROM \"Copy Groups\")"));
    }

    std::int64_t countOutside(const std::string& sql) { return OtherProgram(file).number(sql); }

    TempDir dir;
    const std::string file = dir.file("Files.db");
    std::unique_ptr<store::Catalog> catalog;
};

TEST_F(CopiesTest, CopiesAreKnownByContentWhateverTheirNames) {
    insert("A", "a");
    insert("B", "b");
    EXPECT_EQ(copiesOf("/A/PHOTO.JPG"),
              (std::set<std::string>{"A:LINK.JPG", "A:MIDDLE.BIN", "A:OTHER NAME.BIN",
                                     "B:PHOTO COPY.JPG"}));
    EXPECT_EQ(copiesOf("/A/SMALL.TXT"), (std::set<std::string>{"B:SMALL COPY.TXT"}));
    EXPECT_EQ(copiesOf("/A/SPARSE.BIN"), (std::set<std::string>{"B:ZEROS.BIN"}));
    EXPECT_TRUE(copiesOf("/A/SAME SIZE.BIN").empty());
    EXPECT_TRUE(copiesOf("/A/EMPTY.TXT").empty());
    EXPECT_TRUE(copiesOf("/A/PHOTO.JPG", true).empty()); // none verified yet: all probable
    expectGroupsInStep();

    // Largest waste first: five 100 kB copies, then 200 kB twice, then the small text.
    store::CopyGroups groups(catalog->database(), "Files", {});
    const std::vector<store::CopyGroup> page = groups.next(10);
    ASSERT_EQ(page.size(), 3u);
    EXPECT_EQ(page[0].members.size(), 5u);
    EXPECT_EQ(page[0].waste(), 400000);
    EXPECT_EQ(page[1].waste(), 200000);
    EXPECT_TRUE(groups.atEnd());
    store::CopyGroups filtered(catalog->database(), "Files", {"B", 150000, "ZEROS", 2});
    EXPECT_EQ(filtered.next(10).size(), 1u);
}

TEST_F(CopiesTest, CoverageMatchesACountOverTheFiles) {
    insert("A", "a");
    insert("B", "b");
    // Brute force: a file of A is protected when a file of B holds the same bytes. Changed
    // beyond its samples, "middle.bin" passes for a copy until it is read whole.
    std::set<std::string> onB;
    for (const auto& entry : fs::recursive_directory_iterator(dir.file("b")))
        if (entry.is_regular_file())
            onB.insert(fileContent(entry.path().string()));
    store::FileCount copied, single;
    std::set<std::string> singles;
    for (const auto& entry : fs::recursive_directory_iterator(dir.file("a"))) {
        if (!entry.is_regular_file() || entry.file_size() == 0)
            continue;
        const auto size = static_cast<std::int64_t>(entry.file_size());
        if (onB.count(fileContent(entry.path().string())) ||
            entry.path().filename() == "middle.bin") {
            copied.add(size);
        } else {
            single.add(size);
            singles.insert(entry.path().filename().string());
        }
    }
    const store::DiskCoverage coverage = store::coverageOf(catalog->database(), "Files", "A");
    EXPECT_EQ(coverage.copied.files, copied.files);
    EXPECT_EQ(coverage.copied.bytes, copied.bytes);
    EXPECT_EQ(coverage.single.files, single.files);
    EXPECT_EQ(coverage.single.bytes, single.bytes);
    EXPECT_EQ(coverage.unknown.files, 0);
    std::set<std::string> singleNames;
    for (const std::string& path : coverage.singlePaths)
        singleNames.insert(path.substr(path.rfind('/') + 1));
    EXPECT_EQ(singleNames.size(), singles.size());
    const store::CoverageFolder& top = coverage.folders[0];
    EXPECT_EQ(top.single.bytes, single.bytes);
    // The folder with the most unprotected bytes comes first.
    const std::size_t first = top.children.front();
    EXPECT_GE(coverage.folders[first].single.bytes,
              coverage.folders[top.children.back()].single.bytes);

    store::keepProtectedShare(catalog->database(), "A", coverage);
    EXPECT_NEAR(*store::keptProtectedShare(catalog->database(), "A"), coverage.protectedShare(),
                1e-9);
}

TEST_F(CopiesTest, PrintsFollowDeletesRenamesChangesAndEmptying) {
    insert("A", "a");
    insert("B", "b");
    // Another program resizes one copy and deletes another: their prints go with them.
    OtherProgram other(file);
    other.exec("UPDATE Files SET \"File Size\" = 1 WHERE \"File Path\" LIKE '%/A/LINK.JPG'");
    other.exec("DELETE FROM Files WHERE \"File Path\" LIKE '%/A/SUB/OTHER NAME.BIN'");
    EXPECT_EQ(copiesOf("/A/PHOTO.JPG"),
              (std::set<std::string>{"A:MIDDLE.BIN", "B:PHOTO COPY.JPG"}));
    expectGroupsInStep();

    catalog->renameDisk("B", "C");
    EXPECT_EQ(copiesOf("/A/PHOTO.JPG"),
              (std::set<std::string>{"A:MIDDLE.BIN", "C:PHOTO COPY.JPG"}));
    catalog->deleteDisk("C");
    EXPECT_EQ(copiesOf("/A/PHOTO.JPG"), (std::set<std::string>{"A:MIDDLE.BIN"}));
    expectGroupsInStep();
    EXPECT_EQ(store::coverageOf(catalog->database(), "Files", "A").copied.files, 0);

    catalog->empty();
    EXPECT_EQ(countOutside("SELECT count(*) FROM \"File Prints\""), 0);
    EXPECT_EQ(countOutside("SELECT count(*) FROM \"Print Runs\""), 0);
    insert("A", "a"); // the triggers come back with the next insert
    other.exec("DELETE FROM Files WHERE \"File Path\" LIKE '%/A/PHOTO.JPG'");
    expectGroupsInStep();
}

TEST_F(CopiesTest, FilesWithoutPrintsStillListAndCount) {
    // Prints turned off, and a record another program wrote: neither has copies known.
    insert("A", "a", false);
    store::Table table;
    table.setDatabaseName(dir.path());
    table.setTableName("Files.db");
    table.open();
    postRecord(table, {"X.BIN", "/X/X.BIN", "A", 10});
    table.close();
    insert("B", "b");
    EXPECT_TRUE(copiesOf("/A/PHOTO.JPG").empty());
    const store::DiskCoverage coverage = store::coverageOf(catalog->database(), "Files", "A");
    EXPECT_EQ(coverage.copied.files + coverage.single.files, 0);
    EXPECT_EQ(coverage.unknown.files, 8); // every non-empty file of A and the foreign record
}

TEST_F(CopiesTest, UnreadableAndVanishedFilesAreCountedNotFatal) {
    ASSERT_EQ(::mkfifo(dir.file("a/fifo").c_str(), 0600), 0);
    // A link is listed with its own size: it is neither read through nor taken for changing.
    fs::create_symlink("photo.jpg", dir.file("a/shortcut.jpg"));
    const std::vector<std::string> paths{dir.file("a/fifo"), dir.file("a/gone.bin"),
                                         dir.file("a/photo.jpg"), dir.file("a/shortcut.jpg")};
    const scanner::WalkRules rules{dir.file("a") + "/", "*", "*"};
    const store::InsertFigures figures = catalog->insert(
        {"A", rules}, paths.size(), [&](std::size_t i) { return std::string_view(paths[i]); });
    EXPECT_EQ(figures.records, 3);
    EXPECT_EQ(figures.missing, 1);
    EXPECT_EQ(figures.unreadable, 1);
    EXPECT_EQ(figures.changing, 0);
    EXPECT_EQ(countOutside("SELECT count(*) FROM \"File Prints\""), 1);
}

TEST(ContentPrintTest, AFileGrowingWhileReadHasNoPrint) {
    TempDir dir;
    const std::string path = dir.write("growing.bin", pattern(3 << 20, 4));
    std::vector<char> buffer;
    const store::ReadPrint read = store::wholePrint(path, buffer, [&](std::uint64_t) {
        std::FILE* out = std::fopen(path.c_str(), "ab");
        std::fputs("more", out);
        std::fclose(out);
        return true;
    });
    EXPECT_EQ(read.outcome, store::ReadOutcome::Changed);
    EXPECT_FALSE(read.whole.known());
    // Read quietly, the whole read gives the same sampled print as sampling does.
    const store::ReadPrint whole = store::wholePrint(path, buffer);
    const store::ReadPrint sampled = store::samplePrint(path, buffer);
    ASSERT_EQ(whole.outcome, store::ReadOutcome::Read);
    EXPECT_EQ(whole.sampled, sampled.sampled);
    EXPECT_EQ(sampled.bytesRead, 3 * store::kSampleBytes);
}

TEST_F(CopiesTest, ADiskUpdatePrintsTheFilesItAddsAndResizes) {
    insert("A", "a");
    insert("B", "b");
    dir.write("a/new copy.bin", pattern(5000, 3));  // as b/unique.bin
    dir.write("a/small.txt", "small file, whole!"); // grown: no longer b's copy
    auto update = catalog->diskUpdate("A");
    const bool stopped = false;
    ASSERT_TRUE(update->compare(stopped));
    update->apply();
    EXPECT_EQ(copiesOf("/A/NEW COPY.BIN"), (std::set<std::string>{"B:UNIQUE.BIN"}));
    EXPECT_TRUE(copiesOf("/A/SMALL.TXT").empty());
    dir.write("a/small.txt", "small file, whole");
    update = catalog->diskUpdate("A");
    ASSERT_TRUE(update->compare(stopped));
    update->apply();
    EXPECT_EQ(copiesOf("/A/SMALL.TXT"), (std::set<std::string>{"B:SMALL COPY.TXT"}));
    expectGroupsInStep();
}

TEST_F(CopiesTest, FoldersHoldingTheSameFilesOrAllOfAnothersAreToldOncePerPair) {
    const std::string one = pattern(3000, 11), two = pattern(4000, 12), three = pattern(5000, 13);
    dir.write("c/full/1.bin", one);
    dir.write("c/full/2.bin", two);
    dir.write("c/full/3.bin", three);
    dir.write("c/again/uno.bin", one);
    dir.write("c/again/dos.bin", two);
    dir.write("c/again/tres.bin", three);
    dir.write("c/part/a.bin", one);
    dir.write("c/part/b.bin", two);
    dir.write("c/mixed/a.bin", one);
    dir.write("c/mixed/own.bin", pattern(6000, 14)); // one file of its own: no copy
    insert("C", "c");
    std::set<std::string> told;
    for (const store::CopiedFolder& folder : store::copiedFolders(catalog->database(), {}, 100)) {
        const auto last = [](const std::string& path) {
            return path.substr(path.rfind('/', path.size() - 2) + 1);
        };
        std::string a = last(folder.path), b = last(folder.otherPath);
        if (folder.same && b < a)
            std::swap(a, b); // a pair of equals is told once, either way round
        told.insert(a + (folder.same ? " = " : " in ") + b);
    }
    EXPECT_EQ(told, (std::set<std::string>{"again/ = full/", "part/ in again/", "part/ in full/"}));
    store::CopyFilter large;
    large.minSize = 10000;
    EXPECT_EQ(store::copiedFolders(catalog->database(), large, 100).size(), 1u);
}

TEST(ScanSettingsTest, TurnedOffAndKeptBesideUnknownSettings) {
    TempDir dir;
    EXPECT_TRUE(store::ScanSettings::readFrom(dir.path()).fingerprints);
    dir.write("scan-settings.ini", "future-setting=on\nfingerprints=on\n");
    store::ScanSettings settings;
    settings.fingerprints = false;
    settings.archiveFormats = {"zip", "tar.gz"};
    settings.decompressLimitMiB = 5;
    settings.writeTo(dir.path());
    const store::ScanSettings read = store::ScanSettings::readFrom(dir.path());
    EXPECT_FALSE(read.fingerprints);
    EXPECT_EQ(read.archiveLimits()->formats, settings.archiveFormats);
    EXPECT_EQ(read.archiveLimits()->decompressLimit, 5u << 20);
    EXPECT_EQ(fileContent(dir.file("scan-settings.ini")).substr(0, 41),
              "future-setting=on\r\nfingerprints=off\r\narch");
    // Archives turned off, and a limit that is not a number keeps its default.
    dir.write("scan-settings.ini", "archives=off\narchive-decompress-limit-mib=lots\n");
    EXPECT_FALSE(store::ScanSettings::readFrom(dir.path()).archiveLimits());
    EXPECT_EQ(store::ScanSettings::readFrom(dir.path()).decompressLimitMiB, 1024u);
}

} // namespace
} // namespace katalox::test
