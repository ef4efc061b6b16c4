#include "CatalogFixture.h"

#include "platform/Error.h"
#include "store/sqlite/Database.h"

#include <filesystem>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

using katalox::EngineError;
using katalox::FileError;
using katalox::store::FieldKind;
using katalox::store::Table;
using katalox::test::CatalogFixture;
using katalox::test::OtherProgram;
using katalox::test::Record;
using katalox::test::TempDir;

namespace {

std::string messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EngineError& error) {
        return error.what();
    }
    return "(no error)";
}

} // namespace

TEST(CatalogFile, CreatesTheSchemaAndNeverOverwrites) {
    TempDir dir;
    const std::string path = dir.file("Files.db");
    katalox::store::createEmptyCatalog(path);
    Table table;
    table.setDatabaseName(dir.path());
    table.setTableName("Files.db");
    table.open();
    const std::vector<katalox::store::Field> expected = {{"Id", FieldKind::Integer},
                                                         {"File Name", FieldKind::Text},
                                                         {"File Path", FieldKind::Text},
                                                         {"Disk ID", FieldKind::Text},
                                                         {"File Size", FieldKind::Integer}};
    EXPECT_EQ(table.fields(), expected);
    EXPECT_EQ(table.recordCount(), 0);
    table.close();
    const auto size = std::filesystem::file_size(path);
    EXPECT_THROW(katalox::store::createEmptyCatalog(path), FileError);
    EXPECT_EQ(std::filesystem::file_size(path), size);
    EXPECT_THROW(katalox::store::createEmptyCatalog(dir.file("missing/Files.db")), FileError);
}

TEST(CatalogFile, TableIsNamedAfterTheFileStem) {
    TempDir dir;
    katalox::store::createEmptyCatalog(dir.file("Music.cat.db"));
    Table table;
    table.setDatabaseName(dir.path() + "/");
    table.setTableName("Music.cat.db");
    table.open();
    EXPECT_EQ(table.fields().size(), 5u);
}

TEST(CatalogFile, TableIsNamedAfterTheFileName) {
    using katalox::store::tableNameOf;
    EXPECT_EQ(tableNameOf("Files.db"), "Files");
    EXPECT_EQ(tableNameOf("/data/v1.2/Files"), "Files"); // a dot in a folder is no extension
    EXPECT_EQ(tableNameOf(".db"), ".db");
}

TEST_F(CatalogFixture, OpeningNeverCreatesAFile) {
    table.setTableName("Other.db");
    EXPECT_THROW(table.open(), EngineError);
    EXPECT_FALSE(std::filesystem::exists(dir.file("Other.db")));
    EXPECT_FALSE(table.active());

    table.setDatabaseName(dir.file("no such folder"));
    table.setTableName("Files.db");
    EXPECT_THROW(table.open(), EngineError);

    // A file without the table named after it.
    std::filesystem::copy_file(dir.file("Files.db"), dir.file("Disks.db"));
    table.setDatabaseName(dir.path());
    table.setTableName("Disks.db");
    EXPECT_EQ(messageOf([&] { table.open(); }), "no such table: Disks");

    dir.write("Text.db", "this is not a catalogue, just some text long enough to matter");
    table.setTableName("Text.db");
    EXPECT_THROW(table.open(), EngineError);

    table.setTableName("");
    EXPECT_THROW(table.open(), EngineError); // the folder itself
}

TEST_F(CatalogFixture, SettingsChangeOnlyWhileClosed) {
    int changes = 0;
    QObject::connect(&table, &katalox::store::DataSet::stateChanged, [&] { ++changes; });
    table.open();
    EXPECT_EQ(changes, 1);
    EXPECT_THROW(table.setDatabaseName("/tmp"), EngineError);
    EXPECT_THROW(table.setTableName("X.db"), EngineError);
    EXPECT_THROW(table.setExclusive(true), EngineError);
    EXPECT_EQ(table.tableName(), "Files.db");
    table.close();
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(table.fields().empty());
    EXPECT_THROW(table.recordCount(), EngineError);
    EXPECT_THROW(table.fieldByName("Id"), EngineError);
    table.setExclusive(true);
    EXPECT_TRUE(table.exclusive());
}

TEST_F(CatalogFixture, InsertedRecordsReadBackByNumber) {
    const std::int64_t big = 5'000'000'000; // past 32 bits: sizes are kept whole
    insertAll({{"A.TXT", "/D/A.TXT", "Disk 1", 10},
               {"B.TXT", "/D/B.TXT", "Disk 2", big},
               {"C.TXT", "/D/C.TXT", "disk 1", -1}});
    table.open();
    ASSERT_EQ(table.recordCount(), 3);
    EXPECT_EQ(table.recNo(), 1);
    table.setRecNo(2);
    EXPECT_EQ(table.fieldByName("Id").asInteger(), 2);
    EXPECT_EQ(table.fieldByName("file name").asString(), "B.TXT");
    EXPECT_EQ(table.fieldByName("File Size").asInteger(), big);
    EXPECT_EQ(table.valueAt(2, 3).asString(), "disk 1");
    EXPECT_EQ(table.valueAt(0, 4).asInteger(), 10);
    EXPECT_TRUE(table.valueAt(3, 0).isNull());
    EXPECT_EQ(messageOf([&] { table.fieldByName("Size"); }), "Field 'Size' not found");
    EXPECT_THROW(table.setRecNo(0), EngineError);
    EXPECT_THROW(table.setRecNo(4), EngineError);
    EXPECT_EQ(table.recNo(), 2);
}

TEST_F(CatalogFixture, SettingFieldsNeedsANewRecord) {
    table.open();
    EXPECT_THROW(table.setFieldText("File Name", "X"), EngineError);
    EXPECT_THROW(table.post(), EngineError);
    table.insert();
    EXPECT_EQ(messageOf([&] { table.setFieldText("Nope", "X"); }), "Field 'Nope' not found");
    table.setFieldText("Disk ID", "only this");
    table.post();
    EXPECT_EQ(table.recordCount(), 1);
    EXPECT_TRUE(table.valueAt(0, 1).isNull());
    EXPECT_EQ(table.valueAt(0, 0).asInteger(), 1);
}

TEST_F(CatalogFixture, StorageOrderWithGapsInTheIds) {
    std::vector<Record> records;
    for (int i = 0; i < 50; ++i)
        records.push_back(
            {"F" + std::to_string(i), "/F" + std::to_string(i) + ".X", i % 2 ? "Odd" : "Even", i});
    insertAll(records);
    query.setSql({"Delete From Files Where Files.\"Disk ID\" = \"Odd\""});
    query.execSQL();
    table.open();
    ASSERT_EQ(table.recordCount(), 25);
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(table.valueAt(i, 4).asInteger(), 2 * i);
    // A new record after the gaps comes last, with an Id never used before.
    post({"NEW", "/NEW.X", "Even", 99});
    EXPECT_EQ(table.recordCount(), 26);
    EXPECT_EQ(table.valueAt(25, 0).asInteger(), 51);
    EXPECT_EQ(table.recNo(), 26);
}

TEST_F(CatalogFixture, PostsAfterGapsBeforeAnyReadCountEachRecordOnce) {
    insertAll({{"A", "/A.X", "1", 1}, {"B", "/B.X", "2", 2}, {"C", "/C.X", "1", 3}});
    query.setSql({"Delete From Files Where Files.\"Id\" = 2"});
    query.execSQL();
    // No record is read between opening and posting: the ids behind the gap are not loaded yet.
    table.open();
    post({"D", "/D.X", "3", 4});
    post({"E", "/E.X", "3", 5});
    ASSERT_EQ(table.recordCount(), 4);
    EXPECT_EQ(table.recNo(), 4);
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(table.valueAt(row, 1).asString(), std::string(1, "ACDE"[row])) << row;
}

TEST_F(CatalogFixture, OpenTableNoticesChangesMadeThroughTheQuery) {
    insertAll({{"A", "/A.X", "1", 1}, {"B", "/B.X", "2", 2}, {"C", "/C.X", "1", 3}});
    table.open();
    ASSERT_EQ(table.valueAt(1, 1).asString(), "B");
    query.setSql({"Delete From Files Where Files.\"Id\" = 2"});
    query.execSQL();
    EXPECT_EQ(table.recordCount(), 2);
    EXPECT_EQ(table.valueAt(1, 1).asString(), "C");
}

TEST_F(CatalogFixture, PostedRecordsAreSeenByQueriesAndReachTheFile) {
    table.open();
    post({"A", "/A.X", "Disk", 1});
    post({"B", "/B.X", "Disk", 2});
    // The query shares the table's connection: it sees both before any commit is due.
    query.setSql({"select * from Files"});
    query.open();
    EXPECT_EQ(query.recordCount(), 2);
    query.close();
    post({"C", "/C.X", "Disk", 3});
    table.close();
    EXPECT_EQ(countOutside(), 3);
}

TEST_F(CatalogFixture, BatchesReachTheFileWhileInserting) {
    table.open();
    const auto batch = static_cast<int>(katalox::store::Database::batchSize);
    for (int i = 0; i < batch + 5; ++i)
        post({"N", "/N.X", "D", i});
    // Another program sees every full batch even before the insert ends.
    EXPECT_EQ(countOutside(), batch);
    table.flushPosted();
    EXPECT_EQ(countOutside(), batch + 5);
}

TEST_F(CatalogFixture, ABatchWaitsWhileAnotherProgramReads) {
    table.open();
    post({"A", "/A.X", "D", 1});
    OtherProgram other(dir.file("Files.db"));
    other.exec("BEGIN; SELECT count(*) FROM Files;");
    EXPECT_THROW(table.flushPosted(), EngineError);
    other.exec("COMMIT");
    post({"B", "/B.X", "D", 2});
    table.close();
    EXPECT_EQ(countOutside(), 2);
}

TEST_F(CatalogFixture, RecordsABusyFileRefusesOutliveTheTableAndAreWrittenLater) {
    using katalox::store::Database;
    table.open();
    for (const char* name : {"A", "B", "C"})
        post({name, "/X", "D", 1});
    OtherProgram other(dir.file("Files.db"));
    other.exec("BEGIN; SELECT count(*) FROM Files;");
    EXPECT_THROW(table.flushPosted(), katalox::EngineBusyError);
    EXPECT_EQ(table.unwrittenCount(), 3u);
    table.close();              // the program lets go of the table; the records must not go with it
    Database::retryUnwritten(); // still held: nothing written, nothing lost
    other.exec("COMMIT");
    Database::retryUnwritten();
    EXPECT_EQ(countOutside(), 3);
}

TEST_F(CatalogFixture, AKilledInsertLeavesTheCommittedBatches) {
    const auto batch = static_cast<int>(katalox::store::Database::batchSize);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        table.open();
        for (int i = 0; i < 2 * batch + 7; ++i)
            post({"N", "/N.X", "D", i});
        ::_exit(0); // like a kill: no destructor, no commit of the last batch
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(countOutside(), 2 * batch);
    EXPECT_EQ(countOutside("SELECT max(\"File Size\") FROM Files"), 2 * batch - 1);
    EXPECT_EQ(
        countOutside("SELECT count(*) FROM pragma_integrity_check WHERE integrity_check = 'ok'"),
        1);
    // The search index's triggers, left out of each batch, are back in every committed one.
    EXPECT_EQ(countOutside("SELECT count(*) FROM sqlite_master WHERE type = 'trigger'"), 5);
    table.open();
    EXPECT_EQ(table.recordCount(), 2 * batch);
}

TEST_F(CatalogFixture, AFullDiskKeepsEveryRecordPostedBeforeTheFailure) {
    table.open();
    // Limit the file to its current size plus a few pages: a disk that fills up.
    query.setSql({"PRAGMA max_page_count = 12"});
    query.execSQL();
    const std::string longPath(400, 'P');
    int posted = 0;
    std::string message;
    try {
        for (; posted < 10000; ++posted)
            post({"NAME", longPath + std::to_string(posted), "Disk", posted});
    } catch (const EngineError& error) {
        message = error.what();
    }
    EXPECT_NE(message, "");
    EXPECT_GT(posted, 0);
    EXPECT_LT(posted, 10000);
    table.close();
    EXPECT_EQ(countOutside(), posted);
    EXPECT_EQ(
        countOutside("SELECT count(*) FROM pragma_integrity_check WHERE integrity_check = 'ok'"),
        1);
    EXPECT_EQ(countOutside("SELECT max(\"File Size\") FROM Files"), posted - 1);
    // The search index keeps its triggers, or was given up to keep the records.
    EXPECT_EQ(countOutside("SELECT (SELECT count(*) FROM sqlite_master WHERE type = 'trigger') = 5 "
                           "OR NOT EXISTS (SELECT 1 FROM FilesSearchMark)"),
              1);
}

TEST_F(CatalogFixture, AReadOnlyCatalogueRefusesTheFirstRecord) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the superuser";
    insertAll({{"A", "/A.X", "D", 1}});
    std::filesystem::permissions(dir.file("Files.db"), std::filesystem::perms::owner_read);
    table.open();
    EXPECT_THROW(post({"B", "/B.X", "D", 2}), EngineError);
    EXPECT_EQ(table.recordCount(), 1);
}

TEST_F(CatalogFixture, EmptyingRemovesRecordsOnly) {
    insertAll({{"A", "/A.X", "1", 1}, {"B", "/B.X", "2", 2}});
    EXPECT_THROW(table.emptyTable(), EngineError); // not marked exclusive
    table.setExclusive(true);
    table.open();
    EXPECT_THROW(table.emptyTable(), EngineError); // open
    table.close();
    EXPECT_EQ(countOutside(), 2);
    const std::string schema =
        "SELECT count(*) FROM sqlite_master WHERE type IN ('index', 'trigger')";
    const std::int64_t indexes = countOutside(schema);
    table.emptyTable();
    EXPECT_FALSE(table.active());
    EXPECT_EQ(countOutside(), 0);
    EXPECT_EQ(countOutside(schema), indexes);
    // The table still takes records, and Ids are not handed out twice.
    table.setExclusive(false);
    insertAll({{"C", "/C.X", "3", 3}});
    table.open();
    EXPECT_EQ(table.valueAt(0, 0).asInteger(), 3);
}

TEST_F(CatalogFixture, EmptyingThatTheEngineAbortsReportsTheEnginesReason) {
    insertAll({{"A", "/A.X", "1", 1}});
    // A failure after which the engine has already undone the transaction itself, as it may
    // on a full disk or an I/O error.
    countOutside("CREATE TRIGGER Guard BEFORE DELETE ON Files BEGIN"
                 " SELECT RAISE(ROLLBACK, 'kept by the guard'); END");
    table.setExclusive(true);
    EXPECT_EQ(messageOf([&] { table.emptyTable(); }), "kept by the guard");
    EXPECT_EQ(countOutside(), 1);
}

TEST_F(CatalogFixture, EmptyingFailsAndChangesNothingWhileAnotherProgramReads) {
    insertAll({{"A", "/A.X", "1", 1}, {"B", "/B.X", "2", 2}});
    OtherProgram other(dir.file("Files.db"));
    other.exec("BEGIN; SELECT count(*) FROM Files;");
    table.setExclusive(true);
    const std::string message = messageOf([&] { table.emptyTable(); });
    EXPECT_NE(message.find("locked"), std::string::npos) << message;
    other.exec("COMMIT");
    EXPECT_EQ(countOutside(), 2);
    table.emptyTable(); // and works once the other program lets go
    EXPECT_EQ(countOutside(), 0);
}

TEST_F(CatalogFixture, EmptyingFailsWhileAnotherInstanceHasTheCatalogueOpen) {
    insertAll({{"A", "/A.X", "1", 1}, {"B", "/B.X", "2", 2}});
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A second instance of the program, showing the catalogue until told to end.
        ::close(ready[0]);
        ::close(release[1]);
        int status = 1;
        try {
            Table shown;
            shown.setDatabaseName(dir.path());
            shown.setTableName("Files.db");
            shown.open();
            status = ::write(ready[1], "x", 1) == 1 ? 0 : 1;
            char end;
            (void)!::read(release[0], &end, 1);
        } catch (...) {
        }
        ::_exit(status);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char started = 0;
    ASSERT_EQ(::read(ready[0], &started, 1), 1);

    table.setExclusive(true);
    EXPECT_EQ(messageOf([&] { table.emptyTable(); }),
              "Cannot empty the table \"" + dir.file("Files.db") + "\": database is locked");
    EXPECT_EQ(countOutside(), 2);

    ::close(release[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    table.emptyTable(); // the other instance has ended
    EXPECT_EQ(countOutside(), 0);
}
