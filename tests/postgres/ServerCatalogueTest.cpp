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

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace katalox::test {
namespace {

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};

class ServerCatalogueTest : public PostgresTest {
protected:
    void SetUp() override {
        PostgresTest::SetUp();
        if (HasFatalFailure())
            return;
        store::initialiseCatalogue(uri);
        store::createEmptyCatalog(catalogueFile);
    }

    // katalox-cli on `catalogue` (a file or a URI), its output kept byte for byte.
    CliRun cli(const std::string& catalogue, const std::vector<std::string>& words) const {
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
        int status = 0;
        ::waitpid(child, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, fileContent(out), fileContent(err)};
    }

    CliRun scan(const std::string& catalogue, const std::string& folder, const std::string& disk) {
        return cli(catalogue, {"scan", dir.file(folder), "--disk-id", disk, "--no-fingerprints",
                               "--no-archives"});
    }

    // A trigger that runs `action` for the record named POISON.
    void poison(const std::string& action) {
        column("CREATE FUNCTION poisoned() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF "
               "NEW.\"File Name\" = 'POISON' THEN " +
               action + "; END IF; RETURN NEW; END $$");
        column("CREATE TRIGGER poisoned BEFORE INSERT ON \"Files\" FOR EACH ROW EXECUTE "
               "FUNCTION poisoned()");
    }

    TempDir dir;
    const std::string catalogueFile = dir.file("Files.db");
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

    // The file's results show the real paths, the server's the paths as stored: upper-cased.
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
        EXPECT_EQ(onServer.out, platform::upperCase(inFile.out)) << words.back();
    }

    // A byte that is not UTF-8 and a real U+FFFD are told apart on the server, where the
    // catalogue file's Like reads a lone lead byte as U+FFFD and finds both for either.
    EXPECT_EQ(cli(uri, {"find", "--count", "\xE9"}).out, "2\n");
    EXPECT_EQ(cli(uri, {"find", "--count", "\xEF\xBF\xBD"}).out, "2\n");

    const std::string stored = platform::upperCase(dir.file("disk/Docs/caf"));
    EXPECT_EQ(cli(uri, {"find", "-0", "--disk", "D1", "caf\xE9"}).out,
              "D1:" + stored + "\xE9.TXT" + std::string(1, '\0'));
    const std::vector<std::string> record =
        column("SELECT \"Id\" FROM \"Files\" WHERE \"File Name\" LIKE 'CAF%' AND \"Disk ID\" = "
               "'D1'");
    ASSERT_EQ(record.size(), 1u);
    EXPECT_EQ(cli(uri, {"find", "--json", "--disk", "D1", "caf\xE9"}).out,
              "[\n{\"disk\":\"D1\",\"name\":\"CAF\\udce9.TXT\",\"path\":\"" + stored +
                  "\\udce9.TXT\",\"real_path\":null,\"live_path\":null,\"size\":4,"
                  "\"modified\":null,\"record\":" +
                  record[0] + "}\n]\n");

    // 11 files of 1 to 11 bytes, then the 7 under Docs, of 4 to 10 bytes.
    EXPECT_EQ(cli(uri, {"disks"}).out, "D1\t-\t-\t-\t11\t66\t-\t-\nD2\t-\t-\t-\t7\t49\t-\t-\n");
    const std::string json = cli(uri, {"disks", "--json"}).out;
    EXPECT_EQ(json.rfind("[\n{\"disk\":\"D1\",\"label\":\"\",\"uuid\":\"\",\"file_system\":\"\","
                         "\"files\":11,\"bytes\":66,",
                         0),
              0u)
        << json;
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

    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
             {"find", "--regex", "x"}, {"find", "--online", "x"}, {"update", "D"}}) {
        const CliRun refused = cli(uri, words);
        EXPECT_EQ(refused.code, 2) << words[1];
        EXPECT_NE(refused.err.find("only on a catalogue file"), std::string::npos) << refused.err;
    }
    column("DROP TABLE \"Files\"");
    column("DELETE FROM \"Katalox Schema\"");
    const CliRun none = cli(uri, {"find", "x"});
    EXPECT_EQ(none.code, 2);
    EXPECT_NE(none.err.find("There is no catalogue table \"Files\""), std::string::npos)
        << none.err;
}

} // namespace
} // namespace katalox::test
