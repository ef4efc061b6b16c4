#include "store/settings/UserFolder.h"
#include "common/ScopedEnvironment.h"
#include "common/TempDir.h"
#include "platform/Error.h"
#include "store/dataset/Table.h"
#include "store/settings/ConfigFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace katalox;
using store::ConfigFile;
using test::fileContent;
using test::TempDir;

namespace {

TEST(UserFolderTest, FollowsXdgDataHomeAndFallsBackToTheHomeFolder) {
    test::ScopedEnvironment environment;
    environment.set("HOME", "/home/someone");
    environment.set("XDG_DATA_HOME", "/data/someone/");
    EXPECT_EQ(store::userFolderPath(), "/data/someone/katalox");
    environment.set("XDG_DATA_HOME", "relative/data"); // not absolute: ignored
    EXPECT_EQ(store::userFolderPath(), "/home/someone/.local/share/katalox");
    environment.set("XDG_DATA_HOME", std::nullopt);
    EXPECT_EQ(store::userFolderPath(), "/home/someone/.local/share/katalox");
    environment.set("HOME", std::nullopt);
    EXPECT_THROW(store::userFolderPath(), Error);
}

TEST(UserFolderTest, FirstUsePreparesAnEmptyCatalogueThatTheConfigurationNames) {
    TempDir dir;
    const std::string folder = dir.file("share/katalox");
    store::prepareUserFolder(folder);

    const auto lines = ConfigFile::readLines(ConfigFile::path(folder));
    EXPECT_EQ(ConfigFile::value(lines, 0), "Files.db");
    EXPECT_EQ(ConfigFile::value(lines, 1), folder + "/DataBase/");
    store::Table table;
    table.setDatabaseName(ConfigFile::value(lines, 1));
    table.setTableName(ConfigFile::value(lines, 0));
    table.open();
    EXPECT_EQ(table.recordCount(), 0);
}

TEST(UserFolderTest, NeverReplacesAConfigurationOrACatalogue) {
    TempDir dir;
    // Prepared before and configured elsewhere since: nothing is touched, nothing is added.
    const std::string config =
        dir.write("used/config.ini", "TB Name  #= Other.db\r\nDB PATH  #= /x/\r\n");
    store::prepareUserFolder(dir.file("used"));
    EXPECT_EQ(fileContent(config), "TB Name  #= Other.db\r\nDB PATH  #= /x/\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("used/DataBase")));

    // A catalogue without a configuration (config.ini deleted) is kept and named.
    const std::string catalog = dir.write("kept/DataBase/Files.db", "someone's catalogue");
    store::prepareUserFolder(dir.file("kept"));
    EXPECT_EQ(fileContent(catalog), "someone's catalogue");
    EXPECT_TRUE(std::filesystem::exists(dir.file("kept/config.ini")));
}

TEST(UserFolderTest, AFolderThatCannotBeCreatedIsNamedInTheError) {
    TempDir dir;
    const std::string blocked = dir.write("file") + "/katalox"; // below a plain file
    try {
        store::prepareUserFolder(blocked);
        FAIL() << "prepared below a file";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("Cannot create folder \"" + blocked, 0), 0u)
            << error.what();
    }
    EXPECT_FALSE(std::filesystem::exists(blocked));
}

} // namespace
