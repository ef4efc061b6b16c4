// A disk update on a catalogue on the test server: the records it compares and the changes it
// applies, all of them or none.
#include "platform/Error.h"
#include "postgres/PostgresTest.h"
#include "store/postgres/PgDiskChanges.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgInsert.h"

#include <gtest/gtest.h>

namespace katalox::test {
namespace {

class ServerDiskUpdateTest : public PostgresCatalogueTest {
protected:
    void SetUp() override {
        PostgresCatalogueTest::SetUp();
        if (HasFatalFailure())
            return;
        store::PgConnection db(uri);
        store::PgInsert insert(db, "Files");
        for (const char* path : {"/A/KEEP", "/A/RESIZE", "/A/GONE", "/B/OTHER", "/A/ZIP.ZIP//IN"})
            insert.add(path, "D", 1);
        insert.add("/A/KEEP", "E", 1);
        insert.finish();
    }

    std::vector<std::string> records() {
        return column("SELECT \"Disk ID\" || ':' || \"File Name\" || ':' || \"File Path\" || ':' "
                      "|| \"File Size\" FROM \"Files\" ORDER BY \"Id\"");
    }
};

TEST_F(ServerDiskUpdateTest, ChangesApplyInOneTransactionAndAddedRecordsGetTheirIds) {
    store::PgConnection db(uri);
    const std::vector<store::StoredRecord> under =
        store::serverRecordsUnder(db, "Files", "D", {"/A/"});
    ASSERT_EQ(under.size(), 3u); // neither /B/ nor the archive's member
    EXPECT_EQ(under[1].path, "/A/RESIZE");

    const std::vector<store::FoundOnDisk> found = {
        {"/A/KEEP", 1}, {"/A/RESIZE", 7}, {"/A/NEW \"QUOTED\" \\ {1,2}", 3}, {"/A/NEW2", 4}};
    const store::DiskChanges changes = store::compareRecords(under, found);
    const std::vector<std::string> before = records();
    EXPECT_THROW(store::applyServerChanges(
                     db, "Files", "D", changes, {}, {},
                     [](const std::vector<std::int64_t>&) { throw EngineError("refused"); }),
                 EngineError);
    EXPECT_EQ(records(), before);

    std::vector<std::int64_t> added;
    store::applyServerChanges(db, "Files", "D", changes, {}, {},
                              [&](const std::vector<std::int64_t>& ids) { added = ids; });
    EXPECT_EQ(records(), (std::vector<std::string>{"D:KEEP:/A/KEEP:1", "D:RESIZE:/A/RESIZE:7",
                                                   "D:OTHER:/B/OTHER:1", "D:IN:/A/ZIP.ZIP//IN:1",
                                                   "E:KEEP:/A/KEEP:1",
                                                   "D:NEW \"QUOTED\" \\ {1,2}:/A/NEW \"QUOTED\" \\ "
                                                   "{1,2}:3",
                                                   "D:NEW2:/A/NEW2:4"}));
    ASSERT_EQ(added.size(), 2u);
    EXPECT_EQ(
        column("SELECT \"File Name\" FROM \"Files\" WHERE \"Id\" = $1", {std::to_string(added[1])}),
        std::vector<std::string>{"NEW2"});
}

} // namespace
} // namespace katalox::test
