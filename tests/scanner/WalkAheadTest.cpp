#include "scanner/WalkAhead.h"

#include "common/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace katalox;

namespace {

std::vector<std::string> walkedInPlace(const scanner::WalkRules& rules) {
    std::vector<std::string> paths;
    const bool stopped = false;
    scanner::walkMatchingFiles(
        rules, [&](const std::string& path, std::uint64_t, std::int64_t) { paths.push_back(path); },
        stopped);
    return paths;
}

} // namespace

// Many hand-overs' worth of files, so the walk runs ahead, waits, and is stopped while waiting.
TEST(WalkAhead, GivesTheWalksFilesInOrderAndStopsWhenLeft) {
    test::TempDir dir;
    for (int folder = 0; folder < 40; ++folder)
        for (int file = 0; file < 200; ++file)
            dir.write("f" + std::to_string(folder) + "/" + std::to_string(file) + ".txt",
                      std::string(static_cast<std::size_t>(file % 7), 'x'));
    const scanner::WalkRules rules{dir.path() + "/", "*", "*"};
    const std::vector<std::string> expected = walkedInPlace(rules);
    ASSERT_EQ(expected.size(), 8000u);

    std::vector<std::string> taken;
    {
        scanner::WalkAhead walk(rules);
        while (const scanner::WalkAhead::Listed* file = walk.next()) {
            taken.push_back(file->path);
            EXPECT_EQ(file->size, std::stoul(file->path.substr(file->path.rfind('/') + 1)) % 7);
        }
        EXPECT_EQ(walk.next(), nullptr);
    }
    EXPECT_EQ(taken, expected);

    {
        scanner::WalkAhead walk(rules);
        ASSERT_NE(walk.next(), nullptr);
    } // left after one file: the walk stops, and a new one may start
    scanner::WalkAhead again(rules);
    EXPECT_NE(again.next(), nullptr);
}

TEST(WalkAhead, EndsOnAFolderThatIsNotThere) {
    scanner::WalkAhead walk({"/no/such/folder/", "*", "*"});
    EXPECT_EQ(walk.next(), nullptr);
}
