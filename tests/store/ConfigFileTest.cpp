#include "store/settings/ConfigFile.h"
#include "common/TempDir.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/resource.h>

using katalox::store::ConfigFile;
using katalox::test::fileContent;
using katalox::test::TempDir;
using Values = std::pair<std::string, std::string>;

namespace {

// The two values read back from a config.ini holding `content`.
Values readBoth(const std::string& content) {
    TempDir dir;
    const auto lines = ConfigFile::readLines(dir.write("config.ini", content));
    return {ConfigFile::value(lines, 0), ConfigFile::value(lines, 1)};
}

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const katalox::Error& error) {
        return error.what();
    }
    return "no error";
}

} // namespace

TEST(ConfigFile, ReadingKeepsCharacters13To212OfTheFirstTwoLines) {
    EXPECT_EQ(readBoth("TB Name  #= Files.db\r\nDB PATH  #= /data/\r\n"),
              Values("Files.db", "/data/"));
    // Prefixes are never compared; nothing is trimmed; later lines count for nothing; twelve
    // characters or fewer give an empty value.
    EXPECT_EQ(readBoth("0123456789abFiles.db\n!#!#!#!#!#!#/x/\nthird"), Values("Files.db", "/x/"));
    EXPECT_EQ(readBoth("TB Name  #=  A.db \rDB PATH  #= \t/b/ \r"), Values(" A.db ", "\t/b/ "));
    EXPECT_EQ(readBoth("TB Name  #=\r\nDB PATH  #= x"), Values("", "x"));
    // Characters, not bytes: a prefix of twelve two-byte letters goes whole, 200 letters stay.
    std::string umlauts, accents;
    for (int i = 0; i < 12; ++i)
        umlauts += "\xC3\x84";
    for (int i = 0; i < 250; ++i)
        accents += "\xC3\xA9";
    EXPECT_EQ(readBoth(umlauts + "F.db\r\n123456789012" + accents),
              Values("F.db", accents.substr(0, 400)));
    EXPECT_EQ(readBoth("TB Name  #= " + std::string(100'000, 'z') + "\r\nx").first,
              std::string(200, 'z'));
}

TEST(ConfigFile, ShortFilesAreListIndexErrors) {
    TempDir dir;
    const auto empty = ConfigFile::readLines(dir.write("empty.ini", ""));
    EXPECT_EQ(errorOf([&] { ConfigFile::value(empty, 0); }), "List index out of bounds (0)");
    // A NUL ends the text, so this file has one line.
    const auto one = ConfigFile::readLines(
        dir.write("one.ini", std::string("TB Name  #= Fi\0les.db\r\nDB PATH  #= /d/\r\n", 39)));
    EXPECT_EQ(ConfigFile::value(one, 0), "Fi");
    EXPECT_EQ(errorOf([&] { ConfigFile::value(one, 1); }), "List index out of bounds (1)");
}

TEST(ConfigFile, WritesTwoLinesWithTheValuesWholeAndReplacesTheFile) {
    TempDir dir;
    EXPECT_EQ(ConfigFile::path("/"), "//config.ini"); // the root keeps its separator
    const std::string path = ConfigFile::path(dir.path());
    dir.write("config.ini", std::string(5000, 'x') + "\r\nold\r\nthird\r\n");
    const std::string longFolder = "/" + std::string(300, 'f') + "/";
    ConfigFile::write(path, "Files.db", longFolder);
    EXPECT_EQ(fileContent(path), "TB Name  #= Files.db\r\nDB PATH  #= " + longFolder + "\r\n");
    EXPECT_EQ(readBoth(fileContent(path)).second, longFolder.substr(0, 200));
}

TEST(ConfigFile, AWriteThatFailsHalfWayKeepsTheOldFile) {
    // A full disk, simulated by a file size limit (which binds the superuser too).
    TempDir dir;
    const std::string old = "TB Name  #= Old.db\r\nDB PATH  #= /old/\r\n";
    const std::string path = dir.write("config.ini", old);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const std::string error =
        errorOf([&] { ConfigFile::write(path, "New.db", std::string(100'000, 'n')); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(error.rfind("Cannot create file \"" + path + "\". ", 0), 0u) << error;
    EXPECT_EQ(fileContent(path), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}
