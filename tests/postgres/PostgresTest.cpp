// The shared catalogue on the throwaway server that ctest starts (tests/postgres/test-server.sh):
// its layout, its indexes, names of any bytes, Like as the SQLite engine answers it, and
// katalox-cli init.
#include "postgres/PostgresTest.h"
#include "common/TempDir.h"
#include "platform/Error.h"
#include "store/catalog/CatalogFile.h"
#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgText.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/Transaction.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <utility>

#include <sys/wait.h>

namespace katalox::test {
namespace {

using store::PgConnection;

TEST_F(PostgresTest, InitMakesTheLayoutOnceAndKeepsItsRecords) {
    const store::PgInitialisation first = store::initialiseCatalogue(uri);
    EXPECT_EQ(first.fromVersion, 0);
    EXPECT_EQ(first.toVersion, store::kPgSchemaVersion);
    EXPECT_EQ(column("SELECT column_name || ' ' || data_type || ' ' || is_identity FROM "
                     "information_schema.columns WHERE table_name = 'Files' ORDER BY "
                     "ordinal_position"),
              (std::vector<std::string>{"Id bigint YES", "File Name text NO", "File Path text NO",
                                        "Disk ID text NO", "File Size bigint NO"}));
    EXPECT_EQ(column("SELECT \"Version\" FROM \"Katalox Schema\" WHERE \"Table\" = 'Files'"),
              std::vector<std::string>{"1"});

    column("INSERT INTO \"Files\" (\"File Name\", \"Disk ID\") VALUES ('A.TXT', 'D1') "
           "RETURNING \"Id\"");
    const store::PgInitialisation second = store::initialiseCatalogue(uri);
    EXPECT_EQ(second.fromVersion, store::kPgSchemaVersion);
    EXPECT_EQ(column("SELECT \"File Name\" FROM \"Files\""), std::vector<std::string>{"A.TXT"});
    EXPECT_EQ(column("SELECT count(*) FROM \"Katalox Schema\""), std::vector<std::string>{"1"});
}

TEST_F(PostgresTest, ItsIndexesServeLikeAndTheDiskId) {
    store::initialiseCatalogue(uri);
    PgConnection db(uri);
    db.execute("SET enable_seqscan = off");
    for (const auto& [where, index] : std::vector<std::pair<std::string, std::string>>{
             {"\"File Name\" LIKE '%IMG%'", "Files File Name trigrams"},
             {"\"File Path\" LIKE '%HOLIDAY%'", "Files File Path trigrams"},
             {"\"Disk ID\" = 'DVD 1'", "Files Disk ID"}}) {
        const store::PgResult plan =
            db.execute("EXPLAIN SELECT \"Id\" FROM \"Files\" WHERE " + where);
        std::string lines;
        for (int row = 0; row < plan.rows(); ++row)
            lines += plan.text(row, 0) + "\n";
        EXPECT_NE(lines.find("on \"" + index + "\""), std::string::npos) << lines;
    }
}

TEST_F(PostgresTest, InitLeavesAloneWhatItDidNotMakeOrCannotRead) {
    column("CREATE TABLE \"Files\" (x int) ");
    try {
        store::initialiseCatalogue(uri);
        FAIL() << "a foreign table was taken";
    } catch (const EngineError& error) {
        EXPECT_NE(std::string(error.what()).find("exists already"), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(column("SELECT count(*) FROM information_schema.columns WHERE table_name = "
                     "'Files'"),
              std::vector<std::string>{"1"});
    // A layout newer than this program's is not touched either.
    store::initialiseCatalogue(uri, "Other");
    column("UPDATE \"Katalox Schema\" SET \"Version\" = 99 RETURNING 1");
    EXPECT_THROW(store::initialiseCatalogue(uri, "Other"), EngineError);
}

TEST_F(PostgresTest, ErrorsCarryTheServersMessage) {
    PgConnection db(uri);
    try {
        db.execute("SELECT \"No Such Field\" FROM pg_class");
        FAIL() << "the statement ran";
    } catch (const EngineError& error) {
        EXPECT_STREQ(error.what(), "column \"No Such Field\" does not exist");
    }
    // The connection goes on after a failed statement, and a transaction left is undone.
    {
        store::PgTransaction transaction(db);
        db.execute("CREATE TABLE \"Undone\" (x int)");
    }
    EXPECT_TRUE(db.execute("SELECT to_regclass('\"Undone\"')").isNull(0, 0));
    EXPECT_THROW(PgConnection("postgresql:///postgres?host=/nonexistent&user=katalox"),
                 EngineError);
    // A lock held by another session, and a session that may only read, are told apart.
    db.execute("CREATE TABLE \"Held\" (x int)");
    PgConnection other(uri);
    store::PgTransaction holding(other);
    other.execute("LOCK TABLE \"Held\"");
    db.execute("SET lock_timeout = '50ms'");
    EXPECT_THROW(db.execute("SELECT * FROM \"Held\""), EngineBusyError);
    db.execute("SET default_transaction_read_only = on");
    EXPECT_THROW(db.execute("CREATE TABLE \"Refused\" (x int)"), EngineReadOnlyError);
}

TEST_F(PostgresTest, NamesOfAnyBytesComeBackAsTheyWent) {
    store::initialiseCatalogue(uri);
    const std::vector<std::string> names = {std::string("caf\xE9\0tail\xFF", 10),
                                            "\xF4\x8F\xB8\x80 private", "\xC3\xA9\xA9\xC0\xAF",
                                            "plain \xE2\x82\xAC"};
    PgConnection db(uri);
    for (const std::string& name : names)
        db.execute("INSERT INTO \"Files\" (\"File Name\", \"File Path\") VALUES ($1, $1)",
                   {store::toServerText(name)});
    const store::PgResult read =
        db.execute("SELECT \"File Name\", \"File Path\" FROM \"Files\" ORDER BY \"Id\"");
    ASSERT_EQ(read.rows(), static_cast<int>(names.size()));
    for (int row = 0; row < read.rows(); ++row) {
        EXPECT_EQ(store::fromServerText(read.text(row, 0)), names[static_cast<std::size_t>(row)]);
        EXPECT_EQ(store::fromServerText(read.text(row, 1)), names[static_cast<std::size_t>(row)]);
    }
}

// Names of pieces that the SQLite engine reads as one character each, told apart: plain and
// multibyte characters, a Latin-1 byte, a character of the private range, a lead byte with one
// continuation byte too many, and Like's own characters.
TEST_F(PostgresTest, LikeFindsWhatTheSqliteEngineFinds) {
    const std::vector<std::string> pieces = {"a",
                                             "B",
                                             "\xC3\xA9",
                                             "\xE2\x82\xAC",
                                             "\xF0\x9F\x98\x80",
                                             "\xE9",
                                             "\xF4\x8F\xB8\x80",
                                             "\xC3\xA9\xA9",
                                             "\\",
                                             "%",
                                             " "};
    std::mt19937 random(11);
    const auto generated = [&](int fewest, int most) {
        std::string text;
        for (int count = std::uniform_int_distribution(fewest, most)(random); count > 0; --count)
            text +=
                pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(random)];
        return text;
    };
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i)
        names.push_back(generated(0, 7));

    TempDir dir;
    store::createEmptyCatalog(dir.file("Files.db"));
    const std::shared_ptr<store::Database> sqlite = store::Database::open(dir.file("Files.db"));
    store::initialiseCatalogue(uri);
    PgConnection pg(uri);
    {
        store::Transaction transaction(*sqlite);
        store::PgTransaction pgTransaction(pg);
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string id = std::to_string(i + 1);
            sqlite->execute(
                "INSERT INTO Files (Id, \"File Name\") VALUES (?1, ?2)",
                {store::Value(static_cast<std::int64_t>(i + 1)), store::Value(names[i])});
            pg.execute("INSERT INTO \"Files\" (\"Id\", \"File Name\") VALUES ($1, $2)",
                       {id, store::toServerText(names[i])});
        }
        transaction.commit();
        pgTransaction.commit();
    }

    using Found = std::vector<std::pair<std::int64_t, std::string>>;
    std::size_t matched = 0;
    for (int round = 0; round < 60; ++round) {
        const std::string pattern = "%" + generated(1, 3) + "%";
        Found inSqlite;
        store::Statement select =
            sqlite->prepare("SELECT Id, \"File Name\" FROM Files WHERE \"File Name\" LIKE ?1 "
                            "ORDER BY Id");
        select.bindText(1, pattern);
        while (select.step())
            inSqlite.emplace_back(select.columnInteger(0), select.columnValue(1).asString());
        Found inPostgres;
        const store::PgResult rows =
            pg.execute("SELECT \"Id\", \"File Name\" FROM \"Files\" WHERE \"File Name\" LIKE $1 "
                       "ESCAPE '' ORDER BY \"Id\"",
                       {store::toServerText(pattern)});
        for (int row = 0; row < rows.rows(); ++row)
            inPostgres.emplace_back(rows.integer(row, 0), store::fromServerText(rows.text(row, 1)));
        EXPECT_EQ(inPostgres, inSqlite) << pattern;
        matched += inSqlite.size();
    }
    EXPECT_GT(matched, 100u); // the patterns found something, and not everything
    EXPECT_LT(matched, 60 * names.size() / 2);
}

struct CliRun {
    int code;
    std::string out;
};

CliRun cli(const std::string& arguments) {
    std::FILE* pipe = ::popen((std::string(KATALOX_CLI) + " " + arguments + " 2>&1").c_str(), "r");
    std::string out;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, got);
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST_F(PostgresTest, CommandLineInitSaysWhatItDid) {
    const CliRun first = cli("init '" + uri + "'");
    EXPECT_EQ(first.code, 0) << first.out;
    EXPECT_EQ(first.out.rfind("Created the catalogue table \"Files\"", 0), 0u) << first.out;
    const CliRun second = cli("init '" + uri + "'");
    EXPECT_EQ(second.code, 0) << second.out;
    EXPECT_NE(second.out.find("is up to date"), std::string::npos) << second.out;
    EXPECT_EQ(column("SELECT count(*) FROM \"Files\""), std::vector<std::string>{"0"});
}

} // namespace
} // namespace katalox::test
