#include "platform/Text.h"
#include "common/TempDir.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

using namespace katalox::platform;
using katalox::FileError;
using katalox::test::TempDir;

namespace {

std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

template <typename Action> std::string errorOf(Action action) {
    try {
        action();
    } catch (const FileError& error) {
        return error.what();
    }
    return "(no error)";
}

std::vector<std::string> linesOf(const std::string& content) {
    TempDir dir;
    return readTextLines(dir.write("t.txt", content));
}

} // namespace

TEST(UpperCase, MapsLettersOfValidUtf8) {
    EXPECT_EQ(upperCase("report_2024.doc"), "REPORT_2024.DOC");
    EXPECT_EQ(upperCase("äöü éñ"), "ÄÖÜ ÉÑ");
    EXPECT_EQ(upperCase("αβγ жёлтый"), "ΑΒΓ ЖЁЛТЫЙ");
    EXPECT_EQ(upperCase("ı"), "I"); // the result may be shorter in bytes
    EXPECT_EQ(upperCase("x😀y"), "X😀Y");
    EXPECT_EQ(upperCase(""), "");
}

TEST(UpperCase, KeepsBytesThatAreNotValidUtf8) {
    EXPECT_EQ(upperCase("a\xff"
                        "b"),
              "A\xff"
              "B");
    EXPECT_EQ(upperCase("\xc0\xaf"
                        "a"),
              "\xc0\xaf"
              "A"); // overlong form
    EXPECT_EQ(upperCase("\xed\xa0\x80"
                        "a"),
              "\xed\xa0\x80"
              "A");                         // surrogate
    EXPECT_EQ(upperCase("a\xc3"), "A\xc3"); // cut short at the end
    EXPECT_EQ(upperCase("\xc3"
                        "a"),
              "\xc3"
              "A");                       // lead byte without continuation
    EXPECT_EQ(upperCase("\xe4"), "\xe4"); // Latin-1 "ä" stays a byte
}

TEST(Characters, CountAndSliceByUtf8Characters) {
    EXPECT_EQ(characterCount("aé€😀"), 4u);
    EXPECT_EQ(characterCount("a\xff\xfe"), 3u);
    EXPECT_EQ(characterCount(""), 0u);
    EXPECT_EQ(characterSlice("aé€😀", 1, 2), "é€");
    EXPECT_EQ(characterSlice("aé€😀", 3, 10), "😀");
    EXPECT_EQ(characterSlice("aé€😀", 9, 1), "");
    EXPECT_EQ(characterSlice("\xff"
                             "é",
                             0, 1),
              "\xff");
}

TEST(CurrentDirectory, IsAbsoluteWithoutFinalSeparator) {
    TempDir dir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const std::string inside = currentDirectory();
    std::filesystem::current_path("/");
    const std::string root = currentDirectory();
    std::filesystem::current_path(previous);
    EXPECT_EQ(inside, std::filesystem::canonical(dir.path()).string());
    EXPECT_EQ(root, "/");
}

TEST(ReadTextLines, SplitsAtEveryKindOfLineEnd) {
    EXPECT_EQ(linesOf("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(linesOf("a\r\n"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(linesOf("a\n\nb\r\r"), (std::vector<std::string>{"a", "", "b", ""}));
    EXPECT_EQ(linesOf("a\n\r"), (std::vector<std::string>{"a", ""})); // LF CR is two ends
    EXPECT_EQ(linesOf("\r\n"), (std::vector<std::string>{""}));
    EXPECT_TRUE(linesOf("").empty());
}

TEST(ReadTextLines, NulEndsTheText) {
    EXPECT_EQ(linesOf(std::string("a\nb\0c\nd", 7)), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(linesOf(std::string("\0abc", 4)).empty());
}

TEST(ReadTextLines, ErrorsNameTheFileAndTheReason) {
    TempDir dir;
    const std::string missing = dir.file("missing.ini");
    EXPECT_EQ(errorOf([&] { readTextLines(missing); }),
              "Cannot open file \"" + missing + "\". No such file or directory");
    EXPECT_EQ(errorOf([&] { readTextLines(dir.path()); }),
              "Cannot open file \"" + dir.path() + "\". Is a directory");
}

TEST(WriteTextLines, WritesCrLfAfterEveryLineAndReadsBack) {
    TempDir dir;
    const std::string path = dir.file("config.ini");
    const std::vector<std::string> lines = {"TB Name  #= Files.db", "", "DB PATH  #= /x/ä\xff/"};
    writeTextLines(path, lines);
    EXPECT_EQ(contentOf(path), "TB Name  #= Files.db\r\n\r\nDB PATH  #= /x/ä\xff/\r\n");
    EXPECT_EQ(readTextLines(path), lines);
    writeTextLines(path, {});
    EXPECT_EQ(contentOf(path), "");
}

TEST(WriteTextLines, ReplacingKeepsPermissionsAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string path = dir.write("config.ini", "old\r\n");
    ::chmod(path.c_str(), 0640);
    writeTextLines(path, {"new"});
    EXPECT_EQ(contentOf(path), "new\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(WriteTextLines, FailureReportsAndLeavesOldStateAlone) {
    TempDir dir;
    const std::string inMissingFolder = dir.file("nowhere/config.ini");
    EXPECT_EQ(errorOf([&] { writeTextLines(inMissingFolder, {"x"}); }),
              "Cannot create file \"" + inMissingFolder + "\". No such file or directory");

    // A folder in the file's place cannot be replaced: it stays as it was, with its content.
    const std::string folder = dir.mkdir("config.ini");
    dir.write("config.ini/keep.txt", "kept");
    EXPECT_EQ(errorOf([&] { writeTextLines(folder, {"x"}); }),
              "Cannot create file \"" + folder + "\". Is a directory");
    EXPECT_EQ(contentOf(dir.file("config.ini/keep.txt")), "kept");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}
