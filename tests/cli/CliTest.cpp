// katalox-cli run as a user runs it: its output, exit codes and messages against catalogues of
// generated files, checked with plain SQL.
#include "common/OtherProgram.h"
#include "common/TempDir.h"
#include "platform/Utf8.h"
#include "store/catalog/CatalogFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include <fcntl.h>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

namespace katalox::test {
namespace {

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
protected:
    CliTest() { store::createEmptyCatalog(catalogue); }

    // Runs katalox-cli on the test's catalogue with `words`, its output kept byte for byte.
    CliRun cli(const std::vector<std::string>& words, bool onCatalogue = true) const {
        std::vector<std::string> all{KATALOX_CLI};
        if (onCatalogue)
            all.insert(all.end(), {"--catalog", catalogue});
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

    static std::set<std::string> lines(const std::string& text, char end = '\n') {
        std::set<std::string> found;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line, end);)
            found.insert(line);
        return found;
    }

    std::int64_t sql(const std::string& query) { return OtherProgram(catalogue).number(query); }

    TempDir dir;
    const std::string catalogue = dir.file("Files.db");
};

TEST_F(CliTest, ScanFindAndTheirOptionsAgreeWithTheCatalogue) {
    dir.write("disk/Photos/IMG_0042.jpg", std::string(3000, 'x'));
    dir.write("disk/Photos/img_0043.JPG", "x");
    dir.write("disk/Docs/100%.txt", "xy");
    dir.write("disk/Docs/\xC3\x84rger.txt", "xyz");
    dir.write("disk/.hidden/photo.jpg", "x");
    ::utimbuf old{1000000000, 1000000000}; // 2001
    ::utime(dir.file("disk/Photos/img_0043.JPG").c_str(), &old);
    ASSERT_EQ(cli({"scan", dir.file("disk"), "--disk-id", "Backup 1"}).code, 0);
    ASSERT_EQ(cli({"scan", dir.file("disk/Docs"), "--disk-id", "Other", "--ext", "txt"}).code, 0);
    EXPECT_EQ(sql("SELECT count(*) FROM Files"), 6);

    const std::string photos = dir.file("disk/Photos/");
    EXPECT_EQ(lines(cli({"find", "img_"}).out),
              (std::set<std::string>{"Backup 1:" + photos + "IMG_0042.jpg",
                                     "Backup 1:" + photos + "img_0043.JPG"}));
    // Case ignored for multibyte letters too; % and _ are taken literally.
    EXPECT_EQ(cli({"find", "--count", "\xC3\xA4RGER"}).out, "2\n");
    EXPECT_EQ(cli({"find", "--count", "100%"}).out, "2\n");
    EXPECT_EQ(cli({"find", "--count", "docs", ".txt"}).out,
              std::to_string(sql("SELECT count(*) FROM Files WHERE \"File Path\" LIKE "
                                 "'%DOCS%' AND \"File Path\" LIKE '%.TXT%'")) +
                  "\n");
    EXPECT_EQ(cli({"find", "--count", "--disk", "Back*", "--ext", "jp?", "/"}).out, "2\n");
    EXPECT_EQ(cli({"find", "--count", "--min-size", "2K", "/"}).out, "1\n");
    EXPECT_EQ(cli({"find", "--count", "--older", "2002-01-01", "/"}).out, "1\n");
    EXPECT_EQ(cli({"find", "--count", "--regex", "/img_[0-9]+\\.JPG$"}).out, "1\n");
    EXPECT_EQ(cli({"find", "--count", "--glob", "*/PHOTOS/IMG_004?.JPG"}).out, "2\n");
    EXPECT_EQ(cli({"find", "--limit", "1", "/"}).out.find('\n') + 1,
              cli({"find", "--limit", "1", "/"}).out.size());
    EXPECT_EQ(cli({"find", "--online", "--count", "/"}).out, "6\n");

    // Exit codes as locate gives them.
    EXPECT_EQ(cli({"find", "no such file"}).code, 1);
    const CliRun wrong = cli({"find", "--min-size", "lots", "x"});
    EXPECT_EQ(wrong.code, 2);
    EXPECT_NE(wrong.err.find("--min-size"), std::string::npos);
    EXPECT_EQ(cli({"find", "--regex", "("}).code, 2);
}

TEST_F(CliTest, OddBytesSurviveNulSeparatedAndJsonOutput) {
    const std::string odd = dir.write("disk/caf\xE9\nnew \"q\".txt", "x");
    ASSERT_EQ(cli({"scan", dir.file("disk"), "--disk-id", "D"}).code, 0);
    EXPECT_EQ(cli({"find", "-0", "new"}).out, "D:" + odd + std::string(1, '\0'));
    const std::string json = cli({"find", "--json", "new"}).out;
    EXPECT_NE(json.find("caf\\udce9\\u000anew \\\"q\\\".txt\""), std::string::npos) << json;
    EXPECT_EQ(json.front(), '[');
    const std::string csv = cli({"find", "--csv", "new"}).out;
    std::string quotedOdd = odd;
    quotedOdd.replace(quotedOdd.find('"'), 1, "\"\"");
    quotedOdd.replace(quotedOdd.rfind('"'), 1, "\"\"");
    EXPECT_NE(csv.find("\"" + quotedOdd + "\","), std::string::npos) << csv;
}

TEST_F(CliTest, MembersOfArchivesAreFoundByTheirRealPathAndAreNotLive) {
    dir.write("src/Docs/Plan.Txt", "plan");
    dir.mkdir("disk");
    ASSERT_EQ(std::system(("cd " + dir.file("src") + " && zip -qr ../disk/Work.Zip Docs").c_str()),
              0);
    ASSERT_EQ(cli({"scan", dir.file("disk"), "--disk-id", "D"}).code, 0);
    const std::string json = cli({"find", "--json", "plan.txt"}).out;
    EXPECT_NE(json.find("\"real_path\":\"" + dir.file("disk/Work.Zip//Docs/Plan.Txt") +
                        "\",\"live_path\":null"),
              std::string::npos)
        << json;
    EXPECT_EQ(cli({"find", "plan.txt"}).out, "D:" + dir.file("disk/Work.Zip//Docs/Plan.Txt\n"));
}

TEST_F(CliTest, AReaderThatStopsEndsTheSearchAtOnce) {
    OtherProgram other(catalogue);
    other.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200000) "
               "INSERT INTO Files (\"File Name\", \"File Path\", \"Disk ID\", \"File Size\") "
               "SELECT 'F' || i, '/DISK/F' || i, 'D', i FROM n");
    const std::string command = std::string(KATALOX_CLI) + " --catalog '" + catalogue +
                                "' find / | head -n 1 > '" + dir.file("head") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(fileContent(dir.file("head")), "D:/DISK/F1\n");
}

TEST_F(CliTest, UpdateAndDisksFollowTheDisk) {
    dir.write("disk/keep.txt", "1");
    dir.write("disk/grow.txt", "1");
    dir.write("disk/gone.txt", "1");
    ASSERT_EQ(cli({"scan", dir.file("disk"), "--disk-id", "D"}).code, 0);
    dir.write("disk/grow.txt", "12345");
    ::unlink(dir.file("disk/gone.txt").c_str());
    dir.write("disk/new.txt", "1");
    const CliRun dry = cli({"update", "D", "--dry-run"});
    EXPECT_EQ(dry.code, 0) << dry.err;
    EXPECT_EQ(
        lines(dry.out),
        (std::set<std::string>{
            "+ " + dir.file("disk/new.txt"), "- " + platform::upperCase(dir.file("disk/gone.txt")),
            "~ " + platform::upperCase(dir.file("disk/grow.txt")) + " (1 -> 5 bytes)"}));
    EXPECT_EQ(sql("SELECT count(*) FROM Files WHERE \"File Name\" = 'GONE.TXT'"), 1);
    EXPECT_EQ(cli({"update", "D"}).code, 0);
    EXPECT_EQ(sql("SELECT count(*) FROM Files WHERE \"File Name\" = 'GONE.TXT'"), 0);
    EXPECT_EQ(sql("SELECT sum(\"File Size\") FROM Files"), 7);
    const std::string disks = cli({"disks"}).out;
    EXPECT_EQ(disks.substr(0, 2), "D\t");
    EXPECT_NE(disks.find("\t3\t7\t"), std::string::npos) << disks;
    EXPECT_EQ(cli({"update", "Nobody"}).code, 2);
}

TEST_F(CliTest, MissingDamagedAndBusyCataloguesAreNamedOnOneLine) {
    const auto oneLineNaming = [](const CliRun& run, const std::string& file) {
        EXPECT_EQ(run.code, 2);
        EXPECT_NE(run.err.find(file), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    };
    oneLineNaming(cli({"--catalog", dir.file("none.db"), "find", "x"}, false), "none.db");
    dir.write("Damaged.db", std::string(4096, 'z'));
    oneLineNaming(cli({"--catalog", dir.file("Damaged.db"), "find", "x"}, false), "Damaged.db");
    OtherProgram holder(catalogue);
    holder.exec("BEGIN EXCLUSIVE");
    oneLineNaming(cli({"find", "x"}), "Files.db");
    holder.exec("ROLLBACK");
    EXPECT_EQ(cli({"find", "x"}).code, 1);
}

TEST_F(CliTest, ExportWritesEveryRecordAndCheckFindsWhatIsOff) {
    dir.write("disk/a <b>.txt", "1");
    dir.write("disk/Sub/c.txt", "12");
    ASSERT_EQ(cli({"scan", dir.file("disk"), "--disk-id", "D"}).code, 0);
    EXPECT_EQ(lines(cli({"export", "--csv"}).out).size(), 3u); // the header and two records
    const std::string html = cli({"export", "--html", "--disk", "D"}).out;
    EXPECT_NE(html.find("a &lt;b&gt;.txt"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(cli({"export", "--json", "--disk", "Nobody"}).code, 1);
    EXPECT_EQ(cli({"export"}).code, 2);

    EXPECT_EQ(cli({"check"}).code, 0);
    OtherProgram other(catalogue);
    other.exec("DROP TRIGGER \"File Facts Deleted\"");
    other.exec("DELETE FROM Files WHERE \"File Name\" = 'C.TXT'");
    const CliRun check = cli({"check"});
    EXPECT_EQ(check.code, 1);
    EXPECT_NE(check.out.find("problem:"), std::string::npos) << check.out;
}

TEST_F(CliTest, EveryCommandHasItsHelp) {
    for (const char* command : {"find", "disks", "scan", "update", "export", "check", "init"}) {
        const CliRun help = cli({command, "--help"}, false);
        EXPECT_EQ(help.code, 0) << command;
        EXPECT_EQ(help.out.rfind(std::string("Usage: katalox-cli ") + command, 0), 0u) << command;
    }
    EXPECT_EQ(cli({"--help"}, false).code, 0);
    EXPECT_EQ(cli({"frobnicate"}, false).code, 2);
    EXPECT_EQ(cli({"find", "--frobnicate", "x"}).code, 2);
}

TEST_F(CliTest, InitTakesOneServerAndNamesWhatWentWrong) {
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"init"}, {"init", catalogue}, {"init", "postgresql://a", "b"}}) {
        const CliRun run = cli(words, false);
        EXPECT_EQ(run.code, 2);
        EXPECT_NE(run.err.find("Try 'katalox-cli init --help'"), std::string::npos) << run.err;
    }
    EXPECT_EQ(cli({"init", "postgresql://a"}).code, 2); // not with a catalogue file
    // No server there: told at once, the password left out.
    const CliRun away =
        cli({"init", "postgresql://ann:s3cret@/cat?host=" + dir.file("none")}, false);
    EXPECT_EQ(away.code, 2);
    EXPECT_EQ(away.err.rfind("katalox-cli: Cannot connect to postgresql://ann@/cat?host=", 0), 0u)
        << away.err;
    EXPECT_EQ(away.err.find("s3cret"), std::string::npos) << away.err;
    EXPECT_EQ(std::count(away.err.begin(), away.err.end(), '\n'), 1) << away.err; // one line
}

} // namespace
} // namespace katalox::test
