// A large listing kept as every so many row ids reads the same rows, in any order of access,
// as the listing kept whole.
#include "CatalogFixture.h"

#include "store/dataset/KeyedResult.h"
#include "store/sqlite/Database.h"

#include <random>

namespace katalox::test {
namespace {

TEST_F(CatalogFixture, LargeResultReadBackByBlocksMatchesTheWholeResult) {
    std::vector<Record> records;
    for (int i = 0; i < 3 * store::KeyedResult::blockRows + 100; ++i)
        records.push_back({"N" + std::to_string(i) + (i % 3 ? ".A" : "B"),
                           "/P/" + std::to_string(i), "D", i % 5 ? i : -i});
    insertAll(records);
    OtherProgram(dir.file("Files.db")).exec("UPDATE Files SET \"File Size\" = 'x' WHERE Id = 7");
    const auto db = store::Database::open(dir.file("Files.db"));
    const std::string conditions = "\"File Name\" Like '%.%'";
    store::KeyedResult whole(db, "Files", " WHERE " + conditions);
    store::KeyedResult blocks(db, "Files", " WHERE " + conditions, {}, conditions, 10);
    ASSERT_EQ(blocks.count(), whole.count());
    ASSERT_GT(whole.count(), 2 * store::KeyedResult::blockRows);

    std::vector<std::int64_t> rows;
    for (std::int64_t row = 0; row < whole.count(); ++row)
        rows.push_back(row);
    std::shuffle(rows.begin() + whole.count() / 2, rows.end(), std::mt19937(7));
    for (const std::int64_t row : rows) {
        for (const int column : {0, 1, 4})
            ASSERT_EQ(blocks.value(row, column), whole.value(row, column)) << row;
    }
}

} // namespace
} // namespace katalox::test
