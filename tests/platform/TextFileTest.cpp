#include "platform/TextFile.h"
#include "common/TempDir.h"
#include "platform/Error.h"
#include "platform/ReadRightsDropped.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

using namespace katalox::platform;
using katalox::test::TempDir;
using Lines = std::vector<std::string>;

namespace {

std::string contentOf(const std::string& path) {
    std::ostringstream out;
    out << std::ifstream(path, std::ios::binary).rdbuf();
    return out.str();
}

template <typename Action> std::string errorOf(Action action) {
    try {
        action();
    } catch (const katalox::FileError& error) {
        return error.what();
    }
    return "(no error)";
}

} // namespace

TEST(ReadTextLines, SplitsAtEveryLineEndAndStopsAtNul) {
    TempDir dir;
    auto linesOf = [&](const std::string& content) {
        return readTextLines(dir.write("t", content));
    };
    EXPECT_EQ(linesOf("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(linesOf("a\r\n"), (Lines{"a"}));
    EXPECT_EQ(linesOf("a\n\nb\r\r"), (Lines{"a", "", "b", ""}));
    EXPECT_EQ(linesOf("a\n\r"), (Lines{"a", ""})); // LF CR is two line ends
    EXPECT_TRUE(linesOf("").empty());
    EXPECT_EQ(linesOf(std::string("a\nb\0c\nd", 7)), (Lines{"a", "b"}));
}

TEST(ReadTextLines, ErrorsNameTheFileAndTheReason) {
    TempDir dir;
    const std::string missing = dir.file("missing.ini");
    EXPECT_EQ(errorOf([&] { readTextLines(missing); }),
              "Cannot open file \"" + missing + "\". No such file or directory");
    EXPECT_EQ(errorOf([&] { readTextLines(dir.path()); }),
              "Cannot open file \"" + dir.path() + "\". Is a directory");
}

TEST(ReadTextLines, OnlyARegularFileOfSaneSizeIsRead) {
    TempDir dir;
    // A FIFO without a writer would block the read forever; a link to an endless device would
    // read until memory runs out.
    const std::string fifo = dir.file("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(errorOf([&] { readTextLines(fifo); }),
              "Cannot open file \"" + fifo + "\". Not a regular file");
    const std::string zero = dir.file("zero.ini");
    std::filesystem::create_symlink("/dev/zero", zero);
    EXPECT_EQ(errorOf([&] { readTextLines(zero); }),
              "Cannot open file \"" + zero + "\". Not a regular file");

    const std::string big = dir.write("big.ini");
    std::filesystem::resize_file(big, kMaxTextFileBytes + 1); // sparse: costs no disk
    EXPECT_EQ(errorOf([&] { readTextLines(big); }),
              "Cannot open file \"" + big + "\". File too large");
    const std::string edge = dir.write("edge.ini", "0123456789");
    EXPECT_EQ(readTextLines(edge, 10), Lines{"0123456789"});
    EXPECT_EQ(errorOf([&] { readTextLines(edge, 9); }),
              "Cannot open file \"" + edge + "\". File too large");
}

TEST(WriteTextLines, ReplacesWithCrLfLinesKeepingPermissions) {
    TempDir dir;
    const std::string path = dir.write("config.ini", "old\r\n");
    ::chmod(path.c_str(), 0640);
    const Lines lines = {"TB Name  #= Files.db", "", "DB PATH  #= /x/ä\xff/"};
    writeTextLines(path, lines);
    EXPECT_EQ(contentOf(path), "TB Name  #= Files.db\r\n\r\nDB PATH  #= /x/ä\xff/\r\n");
    EXPECT_EQ(readTextLines(path), lines);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    // Through a link, the file it points to is replaced and the link stays.
    const std::string link = dir.file("link.ini");
    std::filesystem::create_symlink(path, link);
    writeTextLines(link, {"via link"});
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(contentOf(path), "via link\r\n");
}

TEST(WriteTextLines, FailureReportsAndLeavesOldStateAlone) {
    TempDir dir;
    const std::string inMissingFolder = dir.file("nowhere/config.ini");
    EXPECT_EQ(errorOf([&] { writeTextLines(inMissingFolder, {"x"}); }),
              "Cannot create file \"" + inMissingFolder + "\". No such file or directory");
    // A folder in the file's place cannot be replaced: it stays, with its content.
    const std::string folder = dir.mkdir("config.ini");
    dir.write("config.ini/keep.txt", "kept");
    EXPECT_EQ(errorOf([&] { writeTextLines(folder, {"x"}); }),
              "Cannot create file \"" + folder + "\". Is a directory");
    EXPECT_EQ(contentOf(dir.file("config.ini/keep.txt")), "kept");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(WriteTextLines, FollowsTheFilesOwnPermissionsNotOnlyTheFolders) {
    TempDir dir;
    const std::string inLockedFolder = dir.write("locked/config.ini", "old\r\n");
    const std::string readOnly = dir.write("config.ini", "keep\r\n");
    ::chmod(dir.file("locked").c_str(), 0555);
    ::chmod(readOnly.c_str(), 0444);
    katalox::test::ReadRightsDropped asOrdinaryUser;
    if (!asOrdinaryUser.active())
        GTEST_SKIP() << "cannot drop the superuser's rights, so permissions cannot be tried";

    // The folder takes no new file but the file may be written: it is written in place.
    writeTextLines(inLockedFolder, {"new, and longer than before"});
    EXPECT_EQ(contentOf(inLockedFolder), "new, and longer than before\r\n");
    writeTextLines(inLockedFolder, {"short"});
    EXPECT_EQ(contentOf(inLockedFolder), "short\r\n");
    // A read-only file is refused although its folder would let it be replaced.
    EXPECT_EQ(errorOf([&] { writeTextLines(readOnly, {"x"}); }),
              "Cannot create file \"" + readOnly + "\". Permission denied");
    EXPECT_EQ(contentOf(readOnly), "keep\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}
