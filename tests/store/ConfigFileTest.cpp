#include "store/ConfigFile.h"
#include "common/TempDir.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include <sys/resource.h>

using katalox::store::ConfigFile;
using katalox::test::TempDir;

namespace {

std::string fileContent(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const katalox::Error& error) {
        return error.what();
    }
    return "no error";
}

// The two values read back from a config.ini holding `content`.
std::pair<std::string, std::string> readBoth(const std::string& content) {
    TempDir dir;
    const auto lines = ConfigFile::readLines(dir.write("config.ini", content));
    return {ConfigFile::value(lines, 0), ConfigFile::value(lines, 1)};
}

} // namespace

TEST(ConfigFile, PathsJoinTheStartDirectoryAsItIs) {
    EXPECT_EQ(ConfigFile::path("/home/ann/katalox"), "/home/ann/katalox/config.ini");
    EXPECT_EQ(ConfigFile::defaultFolder("/home/ann/katalox"), "/home/ann/katalox/DataBase/");
    // At the root the start directory keeps its separator, so two follow one another.
    EXPECT_EQ(ConfigFile::path("/"), "//config.ini");
    EXPECT_EQ(ConfigFile::defaultFolder("/"), "//DataBase/");
}

TEST(ConfigFile, WritesExactlyTwoLinesEndedByCrLf) {
    TempDir dir;
    const std::string path = dir.file("config.ini");
    ConfigFile::write(path, "Files.db", "/data/cat/");
    EXPECT_EQ(fileContent(path), "TB Name  #= Files.db\r\nDB PATH  #= /data/cat/\r\n");

    // Writing again replaces the file, whatever it held.
    dir.write("config.ini", std::string(5000, 'x') + "\r\nline 2\r\nline 3\r\n");
    ConfigFile::write(path, "Table", "DB Path");
    EXPECT_EQ(fileContent(path), "TB Name  #= Table\r\nDB PATH  #= DB Path\r\n");
    EXPECT_EQ(readBoth(fileContent(path)),
              std::make_pair(std::string("Table"), std::string("DB Path")));
}

TEST(ConfigFile, PrefixesAreNeverComparedAndNothingIsTrimmed) {
    EXPECT_EQ(readBoth("TB Name  #= Files.db\r\nDB PATH  #= /data/\r\n"),
              std::make_pair(std::string("Files.db"), std::string("/data/")));
    EXPECT_EQ(readBoth("0123456789abFiles.db\r\n!#!#!#!#!#!#/x/\r\n"),
              std::make_pair(std::string("Files.db"), std::string("/x/")));
    // A space after the prefix and spaces at the end belong to the value.
    EXPECT_EQ(readBoth("TB Name  #=  Files.db  \r\nDB PATH  #= \t/data/ \r\n"),
              std::make_pair(std::string(" Files.db  "), std::string("\t/data/ ")));
    // Twelve characters or fewer give an empty value; the thirteenth is the first kept.
    EXPECT_EQ(readBoth("TB Name  #=\r\nshort\r\n"), std::make_pair(std::string(), std::string()));
    EXPECT_EQ(readBoth("TB Name  #= \r\nDB PATH  #= x\r\n"),
              std::make_pair(std::string(), std::string("x")));
}

TEST(ConfigFile, ValuesAreCutToTwoHundredCharactersOnReadingButWrittenWhole) {
    TempDir dir;
    const std::string path = dir.file("config.ini");
    const std::string longFolder = "/" + std::string(300, 'f') + "/";
    ConfigFile::write(path, "Files.db", longFolder);
    EXPECT_NE(fileContent(path).find(longFolder + "\r\n"), std::string::npos);
    const auto lines = ConfigFile::readLines(path);
    EXPECT_EQ(ConfigFile::value(lines, 1), longFolder.substr(0, 200));

    // Characters, not bytes: a twelve-letter prefix of two-byte letters is dropped whole, and
    // a value of two-byte letters keeps 200 letters (400 bytes).
    std::string umlauts;
    for (int i = 0; i < 12; ++i)
        umlauts += "\xC3\x84"; // Ä
    std::string accents;
    for (int i = 0; i < 250; ++i)
        accents += "\xC3\xA9"; // é
    const auto [table, folder] = readBoth(umlauts + "Files.db\r\nDB PATH  #= " + accents + "\r\n");
    EXPECT_EQ(table, "Files.db");
    EXPECT_EQ(folder, accents.substr(0, 400));
}

TEST(ConfigFile, AnyLineBreakSplitsAndLaterLinesAreIgnored) {
    const auto expected = std::make_pair(std::string("A.db"), std::string("/b/"));
    EXPECT_EQ(readBoth("TB Name  #= A.db\nDB PATH  #= /b/\n"), expected);
    EXPECT_EQ(readBoth("TB Name  #= A.db\rDB PATH  #= /b/\r"), expected);
    EXPECT_EQ(readBoth("TB Name  #= A.db\r\nDB PATH  #= /b/"), expected);
    EXPECT_EQ(readBoth("TB Name  #= A.db\r\nDB PATH  #= /b/\r\nthird\r\nfourth"), expected);
}

TEST(ConfigFile, ShortFilesAreListIndexErrors) {
    TempDir dir;
    const auto empty = ConfigFile::readLines(dir.write("empty.ini", ""));
    EXPECT_EQ(errorOf([&] { ConfigFile::value(empty, 0); }), "List index out of bounds (0)");

    const auto one = ConfigFile::readLines(dir.write("one.ini", "TB Name  #= Files.db\r\n"));
    EXPECT_EQ(ConfigFile::value(one, 0), "Files.db");
    EXPECT_EQ(errorOf([&] { ConfigFile::value(one, 1); }), "List index out of bounds (1)");

    // A NUL ends the text: what follows it is not read.
    const auto cut = ConfigFile::readLines(
        dir.write("nul.ini", std::string("TB Name  #= Fi\0les.db\r\nDB PATH  #= /d/\r\n", 39)));
    EXPECT_EQ(ConfigFile::value(cut, 0), "Fi");
    EXPECT_EQ(errorOf([&] { ConfigFile::value(cut, 1); }), "List index out of bounds (1)");
}

TEST(ConfigFile, FilesThatCannotBeReadOrWrittenGiveFileErrors) {
    TempDir dir;
    const std::string missing = dir.file("config.ini");
    const std::string openError = errorOf([&] { ConfigFile::readLines(missing); });
    EXPECT_EQ(openError.rfind("Cannot open file \"" + missing + "\". ", 0), 0u) << openError;

    const std::string folder = dir.mkdir("folder/config.ini");
    EXPECT_EQ(errorOf([&] { ConfigFile::readLines(folder); }).rfind("Cannot open file \"", 0), 0u);
    const std::string createError = errorOf([&] { ConfigFile::write(folder, "a", "b"); });
    EXPECT_EQ(createError.rfind("Cannot create file \"" + folder + "\". ", 0), 0u) << createError;

    const std::string nowhere = dir.file("no/such/folder/config.ini");
    EXPECT_EQ(errorOf([&] {
                  ConfigFile::write(nowhere, "a", "b");
              }).rfind("Cannot create file \"" + nowhere + "\". ", 0),
              0u);
}

TEST(ConfigFile, AFailedWriteLeavesTheOldFileAsItWas) {
    TempDir dir;
    const std::string old = "TB Name  #= Old.db\r\nDB PATH  #= /old/\r\n";
    const std::string path = dir.write("config.ini", old);
    // A full disk, simulated with a file size limit (which binds the superuser too): the new
    // content cannot be written whole.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string error =
        errorOf([&] { ConfigFile::write(path, "New.db", "/" + std::string(100'000, 'n') + "/"); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(error.rfind("Cannot create file \"" + path + "\". ", 0), 0u) << error;
    EXPECT_EQ(fileContent(path), old);
    // Nothing is left behind beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(ConfigFile, DamagedContentNeverCrashesTheReader) {
    std::mt19937 random(11);
    for (int round = 0; round < 50; ++round) {
        std::string garbage(1 + random() % 3000, '\0');
        for (char& byte : garbage)
            byte = static_cast<char>(random() % 256);
        TempDir dir;
        const auto lines = ConfigFile::readLines(dir.write("config.ini", garbage));
        for (std::size_t index = 0; index < lines.size() && index < 2; ++index)
            EXPECT_LE(ConfigFile::value(lines, index).size(), 4u * 200u);
    }
    // One line of 100 KB.
    const auto [table, folder] = readBoth("TB Name  #= " + std::string(100'000, 'z') + "\r\nx\r\n");
    EXPECT_EQ(table, std::string(200, 'z'));
    EXPECT_EQ(folder, "");
}
