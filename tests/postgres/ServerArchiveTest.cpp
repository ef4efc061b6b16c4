// Members of archives on a catalogue on the test server: a scan records the members a scan into
// a catalogue file records, they go with their archive's record, their disk and the emptying,
// and a member opened from the server comes out of its archive whole.
#include "common/TempDir.h"
#include "platform/Utf8.h"
#include "postgres/PostgresTest.h"
#include "scanner/FileWalk.h"
#include "store/archives/MemberExtraction.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/CatalogFile.h"
#include "store/postgres/PgArchiveMembers.h"
#include "store/postgres/PgInsert.h"
#include "store/postgres/PgListInsert.h"
#include "store/postgres/PgText.h"
#include "store/postgres/ServerCatalogue.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/Statement.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <cstdlib>
#include <set>
#include <tuple>

namespace katalox::test {
namespace {

// A member's record and its row: its path, size, the archive's path, real name, size, time.
using MemberRow =
    std::tuple<std::string, std::int64_t, std::string, std::string, std::int64_t, std::int64_t>;

class ServerArchiveTest : public PostgresCatalogueTest {
protected:
    void SetUp() override {
        PostgresCatalogueTest::SetUp();
        if (HasFatalFailure())
            return;
        dir.write("src/docs/report.pdf", std::string("\0\x01report\xff", 9));
        dir.write("src/caf\xe9.txt", "latin-1 name");
        dir.write("src/say \"hi\" \\ back.txt", "quoted");
        dir.write("disk/plain.txt", "plain");
        dir.write("nested/notes.txt", "notes");
        dir.mkdir("disk/sub");
        const std::string commands = "cd " + dir.file("src") +
                                     " && zip -qr ../disk/backup.zip . && cp ../disk/backup.zip "
                                     "../nested/inner.zip && cd ../nested && zip -q "
                                     "../disk/sub/outer.zip inner.zip notes.txt";
        ASSERT_EQ(std::system(commands.c_str()), 0);
    }

    std::vector<std::string> paths() const {
        std::vector<std::string> found;
        const bool stopped = false;
        scanner::walkMatchingFiles(
            rules,
            [&](const std::string& path, std::uint64_t, std::int64_t) { found.push_back(path); },
            stopped);
        return found;
    }

    std::set<MemberRow> fileMembers(store::Database& db) {
        std::set<MemberRow> rows;
        store::Statement read = db.prepare(
            "SELECT r.\"File Path\", r.\"File Size\", a.\"File Path\", m.Name, m.Size, m.Time "
            "FROM \"Archive Members\" m JOIN Files r ON r.Id = m.Record JOIN Files a ON a.Id = "
            "m.Archive");
        while (read.step())
            rows.emplace(read.columnValue(0).asString(), read.columnInteger(1),
                         read.columnValue(2).asString(), read.columnValue(3).asString(),
                         read.columnInteger(4), read.columnInteger(5));
        return rows;
    }

    std::set<MemberRow> serverMembers(const std::string& diskId) {
        store::PgConnection db(uri);
        const store::PgResult read = db.execute(
            "SELECT r.\"File Path\", r.\"File Size\", a.\"File Path\", m.\"Name\", m.\"Size\", "
            "m.\"Time\" FROM \"Files Archive Members\" m JOIN \"Files\" r ON r.\"Id\" = "
            "m.\"Record\" JOIN \"Files\" a ON a.\"Id\" = m.\"Archive\" WHERE r.\"Disk ID\" = $1",
            {diskId});
        std::set<MemberRow> rows;
        for (int row = 0; row < read.rows(); ++row)
            rows.emplace(store::fromServerText(read.text(row, 0)), read.integer(row, 1),
                         store::fromServerText(read.text(row, 2)),
                         store::fromServerText(read.text(row, 3)), read.integer(row, 4),
                         read.integer(row, 5));
        return rows;
    }

    store::ListInsertFigures insertOnServer(const std::string& diskId) {
        const std::vector<std::string> listed = paths();
        return store::insertListOnServer(
            *store::serverConnection(uri), "Files", store::scanStarting(diskId, rules, 0),
            listed.size(), [&](std::size_t i) { return std::string_view(listed[i]); }, {}, false,
            store::ArchiveLimits{store::defaultArchiveFormats()});
    }

    std::int64_t count(const std::string& sql) { return std::stoll(column(sql).at(0)); }

    TempDir dir;
    const scanner::WalkRules rules{dir.file("disk") + "/", "*", "*"};
};

TEST_F(ServerArchiveTest, EveryInsertRecordsTheMembersAFileScanRecords) {
    const std::string file = dir.file("Files.db");
    store::createEmptyCatalog(file);
    store::Catalog catalog(file);
    const std::vector<std::string> listed = paths();
    const store::InsertFigures onFile =
        catalog.insert({"A", rules, false}, listed.size(),
                       [&](std::size_t i) { return std::string_view(listed[i]); });
    const std::set<MemberRow> expected = fileMembers(catalog.database());
    ASSERT_EQ(expected.size(), 8u); // three in each zip, the inner zip and the notes
    ASSERT_EQ(onFile.members, 8);

    const store::ListInsertFigures window = insertOnServer("A");
    EXPECT_EQ(serverMembers("A"), expected);
    EXPECT_EQ(window.members.members, 8);
    EXPECT_EQ(window.records, onFile.records);
    EXPECT_EQ(window.totalSize, onFile.totalSize);
    // Found, a member shows its real path inside its archive's, as on a file.
    const auto found = [](const std::string& catalogue) {
        std::string out;
        FILE* pipe = ::popen(
            (std::string(KATALOX_CLI) + " --catalog '" + catalogue + "' find -0 //").c_str(), "r");
        for (int c; pipe && (c = std::fgetc(pipe)) != EOF;)
            out.push_back(static_cast<char>(c));
        if (pipe)
            ::pclose(pipe);
        return out;
    };
    EXPECT_EQ(found(uri), found(file));
    EXPECT_NE(found(uri).find("//"), std::string::npos);

    // The command line's scan, and --no-archives.
    const std::string cli = std::string(KATALOX_CLI) + " --catalog '" + uri + "' scan " +
                            dir.file("disk") + " --disk-id A --no-fingerprints";
    column("DELETE FROM \"Files\"");
    ASSERT_EQ(std::system(cli.c_str()), 0);
    EXPECT_EQ(serverMembers("A"), expected);
    EXPECT_EQ(column("SELECT \"Record Count\" FROM \"Files Disks\" ORDER BY \"Id\" DESC LIMIT 1"),
              std::vector<std::string>{std::to_string(onFile.records)});
    column("DELETE FROM \"Files\"");
    ASSERT_EQ(std::system((cli + " --no-archives").c_str()), 0);
    EXPECT_EQ(count("SELECT count(*) FROM \"Files\""), onFile.records);

    // Batches of two: every member's record is committed with its row, whichever batch its
    // archive went in.
    column("DELETE FROM \"Files\"");
    store::PgConnection db(uri);
    store::PgInsert insert(db, "Files", 2);
    store::PgMembersInsert members(insert, "Files",
                                   store::ArchiveLimits{store::defaultArchiveFormats()});
    for (const std::string& path : listed)
        members.addFile(insert.add(path, "A", 0), path, "A");
    insert.finish();
    EXPECT_EQ(members.written(), 8);
    EXPECT_EQ(serverMembers("A"), expected);
    EXPECT_EQ(count("SELECT count(*) FROM \"Files\" WHERE strpos(\"File Path\", '//') > 0"), 8);
}

TEST_F(ServerArchiveTest, MembersGoWithTheirArchiveTheirDiskAndATruncate) {
    insertOnServer("A");
    const std::string members = "SELECT count(*) FROM \"Files Archive Members\"";
    const std::string memberRecords =
        "SELECT count(*) FROM \"Files\" WHERE strpos(\"File Path\", '//') > 0";
    ASSERT_EQ(count(members), 8);

    // Any statement deleting an archive's record takes its members along, and a member's row
    // goes with its record.
    store::runServerChange(uri, "DELETE FROM \"Files\" WHERE \"File Path\" LIKE '%/BACKUP.ZIP'");
    EXPECT_EQ(count(members), 5);
    EXPECT_EQ(count(memberRecords), 5);
    store::runServerChange(uri, "DELETE FROM \"Files\" WHERE \"File Path\" LIKE '%//NOTES.TXT'");
    EXPECT_EQ(count(members), 4);

    insertOnServer("B");
    store::deleteServerDisk(uri, "Files", "A", "DELETE FROM \"Files\" WHERE \"Disk ID\" = 'A'");
    EXPECT_EQ(count(members), 8);
    EXPECT_EQ(serverMembers("B").size(), 8u);
    // The emptying truncates the records, as another program may.
    column("TRUNCATE \"Files\"");
    EXPECT_EQ(count(members), 0);
}

TEST_F(ServerArchiveTest, AMemberOpenedFromTheServerComesOutByteForByte) {
    insertOnServer("A");
    const std::vector<std::string> ids = column(
        "SELECT \"Id\" FROM \"Files\" WHERE \"File Path\" LIKE '%OUTER.ZIP//INNER.ZIP//DOCS/%'");
    ASSERT_EQ(ids.size(), 1u);
    store::PgConnection db(uri);
    const auto member = store::archivedServerRecord(db, "Files", std::stoll(ids[0]));
    ASSERT_TRUE(member);
    EXPECT_EQ(member->realPath, "inner.zip//docs/report.pdf");
    EXPECT_EQ(member->archiveStoredPath, platform::upperCase(dir.file("disk/sub/outer.zip")));
    const store::Extraction out =
        store::extractMember(dir.file("disk/sub/outer.zip"), {member->realPath, member->size},
                             1 << 20, dir.mkdir("out"));
    ASSERT_EQ(out.outcome, store::Extracted::Written);
    EXPECT_EQ(fileContent(out.file), std::string("\0\x01report\xff", 9));
    EXPECT_FALSE(store::archivedServerRecord(db, "Files", member->archive));
}

} // namespace
} // namespace katalox::test
