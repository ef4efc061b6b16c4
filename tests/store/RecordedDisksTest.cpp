// The recorded scans beside the records: written, read back, and kept in step when a Disk ID
// is renamed or deleted and when the catalogue is emptied.
#include "CatalogFixture.h"

#include "store/catalog/RecordedDisks.h"
#include "store/sqlite/Database.h"

using namespace katalox::store;

namespace {

RecordedScan scanOf(const std::string& diskId, const std::string& folder) {
    RecordedScan scan;
    scan.diskId = diskId;
    scan.volume = {"1234-ABCD", "PHOTOS", "vfat", "/media/ann/PHOTOS", folder, 4000, 1000};
    scan.scannedFolder = "/media/ann/PHOTOS/" + folder + "/";
    scan.namePattern = "*";
    scan.extensionPattern = "jpg";
    scan.scannedAt = scanTimeNow();
    scan.recordCount = 3;
    scan.totalSize = 3 << 20;
    return scan;
}

class RecordedDisksTest : public katalox::test::CatalogFixture {
protected:
    std::shared_ptr<Database> db = Database::open(dir.file("Files.db"));

    std::vector<std::string> diskIds() {
        std::vector<std::string> ids;
        for (const RecordedScan& scan : allRecordedScans(*db))
            ids.push_back(scan.diskId);
        return ids;
    }
};

} // namespace

TEST_F(RecordedDisksTest, ACatalogueWithoutTheTableHasNoScansAndUpkeepIsHarmless) {
    EXPECT_TRUE(allRecordedScans(*db).empty());
    renameRecordedDisk(*db, "a", "b");
    forgetRecordedDisk(*db, "a");
    EXPECT_EQ(countOutside("SELECT count(*) FROM sqlite_master WHERE name = 'Disks'"), 0);
    EXPECT_FALSE(keepsRecordedScans("disks"));
    EXPECT_TRUE(keepsRecordedScans("Files"));
}

TEST_F(RecordedDisksTest, EachScanIsKeptWithAllItsFacts) {
    const RecordedScan first = scanOf("Photos", "2023");
    recordScan(*db, first);
    recordScan(*db, scanOf("Photos", "2024"));
    recordScan(*db, scanOf("Music", ""));
    const std::vector<RecordedScan> photos = recordedScans(*db, "Photos");
    ASSERT_EQ(photos.size(), 2u);
    const RecordedScan& read = photos[0];
    EXPECT_EQ(read.volume.uuid, "1234-ABCD");
    EXPECT_EQ(read.volume.label, "PHOTOS");
    EXPECT_EQ(read.volume.type, "vfat");
    EXPECT_EQ(read.volume.mountPoint, "/media/ann/PHOTOS");
    EXPECT_EQ(read.volume.folder, "2023");
    EXPECT_EQ(read.volume.capacity, 4000u);
    EXPECT_EQ(read.volume.freeSpace, 1000u);
    EXPECT_EQ(read.scannedFolder, first.scannedFolder);
    EXPECT_EQ(read.extensionPattern, "jpg");
    EXPECT_EQ(read.scannedAt, first.scannedAt);
    EXPECT_EQ(read.recordCount, 3);
    EXPECT_EQ(read.totalSize, 3 << 20);
    EXPECT_EQ(photos[1].volume.folder, "2024");

    RecordedScan updated = read;
    updated.recordCount = 7;
    rewriteRecordedScan(*db, updated);
    EXPECT_EQ(recordedScans(*db, "Photos")[0].recordCount, 7);
    EXPECT_EQ(recordedScans(*db, "Photos")[1].recordCount, 3);
}

TEST_F(RecordedDisksTest, RenameDeleteAndEmptyKeepTheScansInStep) {
    recordScan(*db, scanOf("Photos", "a"));
    recordScan(*db, scanOf("Music", "b"));
    recordScan(*db, scanOf(R"(say "hi")", "c"));
    renameRecordedDisk(*db, "Photos", "Pictures");
    forgetRecordedDisk(*db, R"(say "hi")");
    EXPECT_EQ(diskIds(), (std::vector<std::string>{"Pictures", "Music"}));

    table.setExclusive(true);
    table.emptyTable();
    EXPECT_TRUE(allRecordedScans(*db).empty());
}
