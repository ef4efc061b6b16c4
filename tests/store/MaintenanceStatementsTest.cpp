// The maintenance statements run against a real catalogue, and the size arithmetic.
#include "store/catalog/MaintenanceStatements.h"
#include "store/CatalogFixture.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace katalox::test {
namespace {

using namespace store;

std::int64_t megabytesOf(std::initializer_list<std::pair<int, std::int64_t>> filesOfSize) {
    SizeTotal total;
    for (const auto& [count, bytes] : filesOfSize)
        for (int i = 0; i < count; ++i)
            total.add(bytes);
    return total.megabytes();
}

TEST(MaintenanceStatementsTest, SizesCountInWholeKilobytesAndTheSumInWholeMegabytes) {
    EXPECT_EQ(megabytesOf({}), 0);
    EXPECT_EQ(megabytesOf({{3, 1023}}), 0);
    EXPECT_EQ(megabytesOf({{1024, 1024}}), 1);
    EXPECT_EQ(megabytesOf({{1023, 1024}}), 0);
    // 2047 bytes is one whole kilobyte: the remainders never add up to another.
    EXPECT_EQ(megabytesOf({{2048, 2047}}), 2);
}

TEST(MaintenanceStatementsTest, LargeFilesAndTerabytesTotalExactly) {
    const std::int64_t gib = std::int64_t{1} << 30;
    EXPECT_EQ(megabytesOf({{1, 2 * gib}}), 2048);
    EXPECT_EQ(megabytesOf({{1, 5 * gib + 1023}}), 5120);
    // 3000 files of 4 GiB: about 12 TB, past every 32-bit count of bytes or kilobytes.
    EXPECT_EQ(megabytesOf({{3000, 4 * gib}}), 3000 * 4096);
}

// The statements as the engine runs them, over a catalogue of Disk IDs that a careless
// statement would confuse.
class MaintenanceStatementsEngineTest : public CatalogFixture {
protected:
    MaintenanceStatementsEngineTest() {
        std::vector<Record> records;
        for (const char* diskId : {R"(say "hi")", "say ", "50%_off", "505off", "plain", "Plain"})
            records.push_back({"A.TXT", "/A.TXT", diskId, 1});
        insertAll(records);
    }

    void exec(const std::vector<std::string>& lines) {
        query.setSql(lines);
        query.execSQL();
    }

    std::vector<std::string> diskIds() {
        runQuery({"select * from Files"});
        return column("Disk ID");
    }
};

TEST_F(MaintenanceStatementsEngineTest, DeleteTouchesOnlyTheExactDiskId) {
    exec(deleteDiskIdStatement(R"(say "hi")"));
    exec(deleteDiskIdStatement("50%_off"));
    exec(deleteDiskIdStatement("plain"));
    EXPECT_EQ(diskIds(), (std::vector<std::string>{"say ", "505off", "Plain"}));
}

TEST_F(MaintenanceStatementsEngineTest, RenameStoresTheNewNameAsTyped) {
    exec(renameDiskIdStatement(R"(say "hi")", R"( "quoted" 100% )"));
    exec(renameDiskIdStatement("50%_off", ""));
    EXPECT_EQ(diskIds(), (std::vector<std::string>{R"( "quoted" 100% )", "say ", "", "505off",
                                                   "plain", "Plain"}));
}

} // namespace
} // namespace katalox::test
