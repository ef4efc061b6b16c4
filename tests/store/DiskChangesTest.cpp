// Comparing a Disk ID's records with the files found on its disk, and applying the changes in
// one transaction.
#include "CatalogFixture.h"

#include "store/catalog/DiskChanges.h"
#include "store/sqlite/Database.h"

#include <sys/wait.h>
#include <unistd.h>

using namespace katalox::store;
using katalox::test::Record;

namespace {

class DiskChangesTest : public katalox::test::CatalogFixture {
protected:
    DiskChangesTest() {
        insertAll({{"A", "/D/A", "disk", 1},
                   {"B", "/D/B", "disk", 2},
                   {"C", "/D/SUB/C", "disk", 3},
                   {"A", "/D/A", "disk", 1}, // the same file inserted twice
                   {"X", "/D/X", "other", 9},
                   {"E", "/ELSEWHERE/E", "disk", 5}});
    }
    std::vector<StoredRecord> records() {
        return recordsUnder(*Database::open(dir.file("Files.db")), "Files", "disk", {"/D/"});
    }
};

} // namespace

TEST_F(DiskChangesTest, TheComparisonIsExactByPathAndSize) {
    const std::vector<StoredRecord> stored = records();
    ASSERT_EQ(stored.size(), 4u); // not the other Disk ID's, nor those outside the folder
    const DiskChanges changes =
        compareRecords(stored, {{"/D/A", 1}, {"/D/SUB/C", 30}, {"/D/NEW", 0}, {"/D/A", 1}});
    ASSERT_EQ(changes.added.size(), 1u);
    EXPECT_EQ(changes.added[0].path, "/D/NEW");
    ASSERT_EQ(changes.removed.size(), 2u);
    EXPECT_EQ(changes.removed[0].path, "/D/B");
    EXPECT_EQ(changes.removed[1].id, 4); // the second record of /D/A
    ASSERT_EQ(changes.changed.size(), 1u);
    EXPECT_EQ(changes.changed[0].record.id, 3);
    EXPECT_EQ(changes.changed[0].newSize, 30);
    EXPECT_EQ(changes.unchanged, 1u);
    // Nothing changed but the duplicate, which goes.
    EXPECT_EQ(compareRecords(stored, {{"/D/A", 1}, {"/D/B", 2}, {"/D/SUB/C", 3}}).removed,
              (std::vector<StoredRecord>{stored[3]}));
}

TEST_F(DiskChangesTest, ApplyChangesOnlyWhatDiffersAndUnchangedRecordsKeepTheirIds) {
    const auto db = Database::open(dir.file("Files.db"));
    const DiskChanges changes =
        compareRecords(records(), {{"/D/A", 1}, {"/D/SUB/C", 30}, {"/D/NEW", 7}});
    applyChanges(*db, "Files", "disk", changes, {});
    katalox::test::OtherProgram other(dir.file("Files.db"));
    EXPECT_EQ(other.number("SELECT count(*) FROM Files"), 5);
    EXPECT_EQ(other.number("SELECT Id FROM Files WHERE \"File Path\" = '/D/A'"), 1);
    EXPECT_EQ(other.number("SELECT \"File Size\" FROM Files WHERE Id = 3"), 30);
    EXPECT_EQ(other.number("SELECT count(*) FROM Files WHERE \"File Path\" = '/D/NEW' AND "
                           "\"Disk ID\" = 'disk' AND \"File Name\" = 'NEW' AND \"File Size\" = 7"),
              1);
    EXPECT_EQ(other.number("SELECT count(*) FROM Files WHERE Id IN (5, 6)"), 2);
}

TEST_F(DiskChangesTest, AProcessKilledDuringApplyLeavesTheOldRecords) {
    const auto before = katalox::test::OtherProgram(dir.file("Files.db")).records();
    std::vector<FoundOnDisk> found;
    for (int i = 0; i < 5000; ++i)
        found.push_back({"/D/N" + std::to_string(i), i});
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child has its own connection; it dies half-way, as a killed program would.
        const auto db = Database::open(dir.file("Files.db"));
        applyChanges(*db, "Files", "disk", compareRecords(records(), found), {},
                     [](std::size_t done) {
                         if (done >= 2000)
                             ::_exit(0);
                     });
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(katalox::test::OtherProgram(dir.file("Files.db")).records(), before);
}
