// katalox-cli scan, find and disks on a catalogue on the test server, against the same
// commands on a catalogue file; batches that fail keep the ones written before them.
#include "common/TempDir.h"
#include "platform/Error.h"
#include "platform/Utf8.h"
#include "postgres/PostgresTest.h"
#include "store/catalog/CatalogFile.h"
#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgInsert.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include <fcntl.h>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

namespace katalox::test {
namespace {

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};

class ServerCatalogueTest : public ServerAndFileTest {
protected:
    // katalox-cli started on `catalogue` (a file or a URI), its output going to files.
    pid_t start(const std::string& catalogue, const std::vector<std::string>& words) const {
        std::vector<std::string> all{KATALOX_CLI, "--catalog", catalogue};
        all.insert(all.end(), words.begin(), words.end());
        const std::string out = dir.file("out"), err = dir.file("err");
        const pid_t child = ::fork();
        if (child == 0) {
            ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
            ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
            std::vector<char*> argv;
            for (const std::string& word : all)
                argv.push_back(const_cast<char*>(word.c_str()));
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        return child;
    }

    // Waits for a katalox-cli started; its exit code (-1 when killed) and output byte for byte.
    CliRun finish(pid_t child) const {
        int status = 0;
        ::waitpid(child, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, fileContent(dir.file("out")),
                fileContent(dir.file("err"))};
    }

    CliRun cli(const std::string& catalogue, const std::vector<std::string>& words) const {
        return finish(start(catalogue, words));
    }

    static std::vector<std::string> scanWords(const std::string& folder, const std::string& disk) {
        return {"scan", folder, "--disk-id", disk, "--no-fingerprints", "--no-archives"};
    }
    CliRun scan(const std::string& catalogue, const std::string& folder, const std::string& disk) {
        return cli(catalogue, scanWords(dir.file(folder), disk));
    }

    // The number one statement gives.
    std::int64_t count(const std::string& sql, const std::vector<PgParameter>& parameters = {}) {
        return std::stoll(column(sql, parameters).at(0));
    }

    // A trigger that runs `action` for the record named POISON.
    void poison(const std::string& action) {
        column("CREATE FUNCTION poisoned() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF "
               "NEW.\"File Name\" = 'POISON' THEN " +
               action + "; END IF; RETURN NEW; END $$");
        column("CREATE TRIGGER poisoned BEFORE INSERT ON \"Files\" FOR EACH ROW EXECUTE "
               "FUNCTION poisoned()");
    }
};

TEST_F(ServerCatalogueTest, ScanFindAndDisksAgreeWithTheCatalogueFile) {
    const std::vector<std::string> names = {
        "Photos/IMG_0001.JPG",
        "Photos/img_0002.jpg",
        "Photos/2019/Beach.jpeg",
        "Docs/caf\xE9.txt",                  // Latin-1, not UTF-8
        "Docs/\xEF\xBF\xBD replaced.txt",    // U+FFFD itself
        "Docs/\xF4\x8F\xB8\xA9 private.txt", // a character of the range the server form uses
        "Docs/\xC3\xA9\xA9 long.txt",        // a character with a continuation byte too many
        "Docs/100%_sure\\.txt",
        "Docs/tab\there.txt",
        "Docs/line\nbreak.txt",
        "\xC3\x84rger/\xC3\xA4rger.TXT"};
    for (std::size_t i = 0; i < names.size(); ++i)
        dir.write("disk/" + names[i], std::string(i + 1, 'x'));
    for (const std::string& catalogue : {catalogueFile, uri}) {
        ASSERT_EQ(scan(catalogue, "disk", "D1").code, 0) << catalogue;
        ASSERT_EQ(scan(catalogue, "disk/Docs", "D2").code, 0) << catalogue;
    }

    // Both show the real paths and times as scanned.
    for (const std::vector<std::string>& words :
         std::vector<std::vector<std::string>>{{"-0", "/"},
                                               {"-0", "img"},
                                               {"-0", "caf\xE9"},
                                               {"-0", "\xF4\x8F\xB8\xA9"},
                                               {"-0", "%_"},
                                               {"-0", "\\."},
                                               {"-0", "\t"},
                                               {"-0", "docs", ".TXT"},
                                               {"-0", "-i", "\xC3\xA4rger"},
                                               {"-0", "--disk", "D2", "txt"},
                                               {"-0", "--disk", "D*", "--ext", "jp*", "/"},
                                               {"-0", "--min-size", "3", "--max-size", "6", "/"},
                                               {"-0", "--glob", "*/PHOTOS/*"},
                                               {"--csv", "--newer", "2000-01-01", "docs"},
                                               {"--count", "--older", "2000-01-01", "/"},
                                               {"-0", "--regex", "IMG_000[12]\\.", "(?i)photos"},
                                               {"-0", "--regex", "-i", "^.*/beach"},
                                               {"--json", "--online", "docs"},
                                               {"--count", "/"},
                                               {"--count", "--disk", "D1", "docs"},
                                               {"--count", "--ext", "txt", "/"},
                                               {"--limit", "2", "/"},
                                               {"--limit", "1", "--ext", "txt", "/"},
                                               {"no such thing"}}) {
        std::vector<std::string> find{"find"};
        find.insert(find.end(), words.begin(), words.end());
        const CliRun inFile = cli(catalogueFile, find);
        const CliRun onServer = cli(uri, find);
        EXPECT_EQ(onServer.code, inFile.code) << words.back() << onServer.err;
        EXPECT_EQ(onServer.out, inFile.out) << words.back();
    }

    // A byte that is not UTF-8 and a real U+FFFD are told apart on the server, where the
    // catalogue file's Like reads a lone lead byte as U+FFFD and finds both for either.
    EXPECT_EQ(cli(uri, {"find", "--count", "\xE9"}).out, "2\n");
    EXPECT_EQ(cli(uri, {"find", "--count", "\xEF\xBF\xBD"}).out, "2\n");

    EXPECT_EQ(cli(uri, {"find", "-0", "--disk", "D1", "caf\xE9"}).out,
              "D1:" + dir.file("disk/Docs/caf\xE9.txt") + std::string(1, '\0'));
    const std::vector<std::string> json{"find", "--json", "--disk", "D1", "caf\xE9"};
    EXPECT_EQ(cli(uri, json).out, cli(catalogueFile, json).out);

    // 11 files of 1 to 11 bytes, then the 7 under Docs, of 4 to 10 bytes, with the volume and
    // the time of their scans, and where they are on this machine.
    const auto withoutTimes = [](const std::string& text) {
        return std::regex_replace(text, std::regex("[0-9-]{10}T[0-9:]{8}Z"), "T");
    };
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"disks"}, std::vector<std::string>{"disks", "--json"}})
        EXPECT_EQ(withoutTimes(cli(uri, words).out), withoutTimes(cli(catalogueFile, words).out));
    EXPECT_EQ(cli(uri, {"disks"}).out.substr(0, 3), "D1\t");

    // Export gives the records of find, in the order they were written.
    EXPECT_EQ(cli(uri, {"export", "--json", "--disk", "D1"}).out,
              cli(uri, {"find", "--json", "--disk", "D1", ""}).out);
    const CliRun csv = cli(uri, {"export", "--csv"});
    EXPECT_EQ(csv.code, 0);
    EXPECT_EQ(csv.out, cli(uri, {"find", "--csv", ""}).out);
    // The page lists the same folders, files and totals as the file's, which shows times; the
    // server orders names that are not UTF-8 by their server form.
    const auto pageOf = [&](const std::string& catalogue) {
        std::istringstream page(platform::upperCase(
            std::regex_replace(withoutTimes(cli(catalogue, {"export", "--html"}).out),
                               std::regex("<td class=\"modified\">[^<]*"), "")));
        std::pair<std::vector<std::string>, std::multiset<std::string>> headingsAndLines;
        for (std::string line; std::getline(page, line);) {
            if (line.rfind("<H", 0) == 0)
                headingsAndLines.first.push_back(line);
            headingsAndLines.second.insert(line);
        }
        return headingsAndLines;
    };
    EXPECT_EQ(pageOf(uri), pageOf(catalogueFile));
    // The server keeps its indexes itself.
    EXPECT_EQ(cli(uri, {"index"}).code, 0);
}

TEST_F(ServerCatalogueTest, ABatchThatFailsKeepsTheBatchesBefore) {
    const auto insertWithPoison = [&](const std::string& disk) {
        store::PgConnection db(uri);
        store::PgInsert insert(db, "Files", 10);
        try {
            for (int i = 0; i < 40; ++i)
                insert.add(i == 25 ? "/disk/poison" : "/disk/f" + std::to_string(i), disk, 1);
            insert.finish();
            ADD_FAILURE() << "the poisoned batch was written";
        } catch (const EngineError& error) {
            EXPECT_EQ(insert.written(), 20);
            EXPECT_EQ(insert.notWritten(), 10);
            EXPECT_EQ(column("SELECT count(*) FROM \"Files\" WHERE \"Disk ID\" = $1", {disk}),
                      std::vector<std::string>{"20"});
            return std::string(error.what());
        }
        return std::string();
    };
    poison("RAISE EXCEPTION 'no poison here'");
    EXPECT_EQ(insertWithPoison("refused"), "no poison here");
    // The connection lost in the middle of a batch.
    column("CREATE OR REPLACE FUNCTION poisoned() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
           "IF NEW.\"File Name\" = 'POISON' THEN PERFORM pg_terminate_backend(pg_backend_pid()); "
           "END IF; RETURN NEW; END $$");
    EXPECT_NE(insertWithPoison("lost").find("terminating connection"), std::string::npos);
}

// Two inserts at once each number their batches' records consecutively; what a batch writes
// beside its records is committed with them, or rolled back with them when it fails.
TEST_F(ServerCatalogueTest, EachBatchHasItsOwnIdsAndCommitsWhatIsWrittenBesideIt) {
    column("CREATE TABLE beside (first bigint, last bigint)");
    store::PgConnection db1(uri);
    store::PgConnection db2(uri);
    store::PgInsert one(db1, "Files", 10);
    store::PgInsert two(db2, "Files", 10);
    std::vector<std::int64_t> ids1;
    std::vector<std::int64_t> ids2;
    const auto besideEachBatch = [](store::PgInsert& insert, std::vector<std::int64_t>& ids,
                                    bool failSecond) {
        insert.addBatchClosing([&ids, failSecond, batches = 0](store::PgConnection& db) mutable {
            const std::size_t first = static_cast<std::size_t>(batches++) * 10;
            db.execute("INSERT INTO beside VALUES ($1, $2)",
                       {std::to_string(ids[first]), std::to_string(ids.back())});
            if (failSecond && batches == 2)
                throw EngineError("refused beside");
        });
    };
    besideEachBatch(one, ids1, false);
    besideEachBatch(two, ids2, true);
    for (int i = 0; i < 15; ++i) {
        ids1.push_back(one.add("/a/f" + std::to_string(i), "one", 1));
        ids2.push_back(two.add("/b/f" + std::to_string(i), "two", 1));
    }
    one.finish();
    EXPECT_THROW(two.finish(), EngineError);
    for (const auto* ids : {&ids1, &ids2})
        for (std::size_t i = 1; i < ids->size(); ++i) {
            if (i % 10 != 0) {
                EXPECT_EQ((*ids)[i], (*ids)[i - 1] + 1) << i;
            }
        }
    EXPECT_EQ(column("SELECT count(*) FROM \"Files\" f JOIN beside b ON f.\"Id\" BETWEEN b.first "
                     "AND b.last"),
              std::vector<std::string>{"25"});
    EXPECT_EQ(
        column("SELECT \"Disk ID\" || count(*) FROM \"Files\" GROUP BY \"Disk ID\" ORDER BY 1"),
        (std::vector<std::string>{"one15", "two10"}));
    // Alone again, the next record takes the Id after the last one used.
    store::PgInsert three(db1, "Files", 10);
    EXPECT_EQ(three.add("/c/f", "three", 1), std::max(ids1.back(), ids2.back()) + 1);
}

TEST_F(ServerCatalogueTest, AScanThatFailsSaysWhatIsMissingAndWhatTheServerCannotDoIsRefused) {
    dir.write("disk/a.txt", "1");
    dir.write("disk/poison", "2");
    dir.write("disk/z.txt", "3");
    poison("RAISE EXCEPTION 'no poison here'");
    // A password given in the URI is never shown.
    const std::string withPassword = uri + "&password=s3cret";
    const CliRun failed = scan(withPassword, "disk", "D");
    EXPECT_EQ(failed.code, 2);
    EXPECT_EQ(failed.err, "katalox-cli: " + store::uriForDisplay(uri) +
                              ": 3 records could not be written (0 were): no poison here\n");
    EXPECT_EQ(column("SELECT count(*) FROM \"Files\""), std::vector<std::string>{"0"});

    column("DROP TABLE \"Files\"");
    column("DELETE FROM \"Katalox Schema\"");
    const CliRun none = cli(uri, {"find", "x"});
    EXPECT_EQ(none.code, 2);
    EXPECT_NE(none.err.find("There is no catalogue table \"Files\""), std::string::npos)
        << none.err;
}

// update on a server prints and applies what it does on a file, with the facts and prints of
// the files it adds or finds changed.
TEST_F(ServerCatalogueTest, UpdateAgreesWithTheCatalogueFile) {
    for (const char* name : {"keep.txt", "grow.txt", "gone.txt", "Sub/deep.txt"})
        dir.write(std::string("disk/") + name, "1");
    for (const std::string& catalogue : {catalogueFile, uri})
        ASSERT_EQ(cli(catalogue, {"scan", dir.file("disk"), "--disk-id", "D"}).code, 0);
    dir.write("disk/grow.txt", "12345");
    dir.write("disk/New One.txt", "new");
    std::filesystem::remove(dir.file("disk/gone.txt"));
    const CliRun dryRun = cli(uri, {"update", "D", "--dry-run"});
    EXPECT_EQ(dryRun.code, 0) << dryRun.err;
    EXPECT_EQ(dryRun.out, cli(catalogueFile, {"update", "D", "--dry-run"}).out);
    EXPECT_EQ(count("SELECT count(*) FROM \"Files\""), 4);
    for (const std::string& catalogue : {catalogueFile, uri})
        EXPECT_EQ(cli(catalogue, {"update", "D"}).code, 0) << catalogue;
    EXPECT_EQ(cli(uri, {"find", "--json", "txt"}).out,
              cli(catalogueFile, {"find", "--json", "txt"}).out);
    EXPECT_EQ(cli(uri, {"update", "D", "--dry-run"}).out, "");
}

// A scan killed in the middle of a batch: the batches committed stay whole, the one it was
// sending never shows, and the catalogue goes on with the next scan. The server holds the scan
// at a row of its third batch for as long as the test holds a lock, so the kill always falls
// inside that batch, after two were committed.
TEST_F(ServerCatalogueTest, AScanKilledMidInsertLeavesWholeBatchesOnly) {
    constexpr int kFiles = 40000, kPerFolder = 1000;
    constexpr std::int64_t kBatch = store::PgInsert::kBatchRecords;
    // Links to seven files of 0 to 6 bytes, which are made much faster than files.
    for (int size = 0; size < 7; ++size)
        dir.write("sizes/" + std::to_string(size),
                  std::string(static_cast<std::size_t>(size), 'x'));
    std::map<std::string, std::int64_t> sizes; // the stored path of each file, and its size
    for (int i = 0; i < kFiles; ++i) {
        if (i % kPerFolder == 0)
            dir.mkdir("big/d" + std::to_string(i / kPerFolder));
        const std::string path =
            dir.file("big/d" + std::to_string(i / kPerFolder) + "/f" + std::to_string(i) + ".txt");
        std::filesystem::create_hard_link(dir.file("sizes/" + std::to_string(i % 7)), path);
        sizes[platform::upperCase(path)] = i % 7;
    }
    column("CREATE SEQUENCE rows_seen");
    column("CREATE FUNCTION held() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF "
           "nextval('rows_seen') = " +
           std::to_string(2 * kBatch + kBatch / 2) +
           " THEN PERFORM pg_advisory_lock(1); END IF; RETURN NEW; END $$");
    column("CREATE TRIGGER held BEFORE INSERT ON \"Files\" FOR EACH ROW EXECUTE FUNCTION held()");
    store::PgConnection gate(uri);
    gate.execute("SELECT pg_advisory_lock(1)");

    const pid_t scanning = start(uri, scanWords(dir.file("big"), "D1"));
    store::PgConnection watch(uri);
    const auto committed = [&] {
        return watch.execute("SELECT count(*) FROM \"Files\"").integer(0, 0);
    };
    const auto waitingAtTheGate = [&] {
        return watch
                   .execute("SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' AND NOT "
                            "granted AND database = (SELECT oid FROM pg_database WHERE datname "
                            "= current_database())")
                   .integer(0, 0) > 0;
    };
    // Polled until the scan waits in its third batch; a scan that ended on its own fails.
    while (!waitingAtTheGate() && ::waitpid(scanning, nullptr, WNOHANG) == 0)
        ::usleep(20'000);
    EXPECT_EQ(committed(), 2 * kBatch);
    ASSERT_EQ(::kill(scanning, SIGKILL), 0) << "the scan ended before it was killed";
    EXPECT_EQ(finish(scanning).code, -1);
    // The server goes on with the rows it had until it finds the client gone, then undoes them.
    gate.execute("SELECT pg_advisory_unlock(1)");
    while (count("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() AND "
                 "query LIKE 'COPY%'") > 0)
        ::usleep(20'000);
    EXPECT_EQ(committed(), 2 * kBatch);
    const store::PgResult rows = watch.execute(
        "SELECT \"File Name\", \"File Path\", \"Disk ID\", \"File Size\" FROM \"Files\"");
    std::set<std::string> seen;
    for (int row = 0; row < rows.rows(); ++row) {
        const std::string path = rows.text(row, 1);
        const auto expected = sizes.find(path);
        ASSERT_NE(expected, sizes.end()) << path;
        EXPECT_EQ(rows.text(row, 0), path.substr(path.rfind('/') + 1));
        EXPECT_EQ(rows.text(row, 2), "D1");
        EXPECT_EQ(rows.integer(row, 3), expected->second) << path;
        EXPECT_TRUE(seen.insert(path).second) << "twice: " << path;
    }
    EXPECT_NO_THROW(store::checkCatalogue(watch, uri));

    column("DROP TRIGGER held ON \"Files\"");
    for (int i = 0; i < 25; ++i)
        dir.write("next/f" + std::to_string(i), "x");
    const CliRun next = scan(uri, "next", "D2");
    EXPECT_EQ(next.code, 0) << next.err;
    EXPECT_EQ(count("SELECT count(*) FROM \"Files\" WHERE \"Disk ID\" = 'D2' AND \"File Path\" "
                    "LIKE $1",
                    {platform::upperCase(dir.file("next/")) + "F%"}),
              25);
    EXPECT_EQ(committed(), 2 * kBatch + 25);
    // check tells the scan cut short from the whole one.
    const CliRun checked = cli(uri, {"check"});
    EXPECT_EQ(checked.code, 1);
    EXPECT_NE(checked.out.find("ok: 2 recorded scans of 2 Disk IDs\n"), std::string::npos)
        << checked.out;
    EXPECT_NE(checked.out.find("problem: the scan of \"D1\" of "), std::string::npos);
    EXPECT_EQ(checked.out.find("problem: the scan of \"D2\""), std::string::npos);
}

} // namespace
} // namespace katalox::test
