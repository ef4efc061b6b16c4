// Archives among a scan's files: their members become records, hostile archives stay data, and
// deleting, renaming, emptying and updating a disk take the members along.
#include "CatalogFixture.h"

#include "common/TempDir.h"
#include "platform/Utf8.h"
#include "store/archives/ArchiveListing.h"
#include "store/archives/ArchiveMembers.h"
#include "store/archives/MemberExtraction.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/DiskContents.h"
#include "store/copies/DiskCoverage.h"
#include "store/prints/PrintTables.h"
#include "store/sqlite/Database.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>

namespace katalox::test {
namespace {

void put16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xff);
    out += static_cast<char>((value >> 8) & 0xff);
}
void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

std::uint32_t crc32(const std::string& data) {
    std::uint32_t crc = 0xffffffff;
    for (const char c : data) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A zip of stored members with exactly the names given, whatever bytes they hold.
std::string zipHolding(const std::vector<std::pair<std::string, std::string>>& members) {
    std::string zip, directory;
    for (const auto& [name, data] : members) {
        const auto offset = static_cast<std::uint32_t>(zip.size());
        const auto size = static_cast<std::uint32_t>(data.size());
        put32(zip, 0x04034b50);
        for (unsigned field : {20u, 0u, 0u, 0u, 0u})
            put16(zip, field);
        for (const std::uint32_t field : {crc32(data), size, size})
            put32(zip, field);
        put16(zip, static_cast<unsigned>(name.size()));
        put16(zip, 0);
        zip += name + data;
        put32(directory, 0x02014b50);
        for (unsigned field : {20u, 20u, 0u, 0u, 0u, 0u})
            put16(directory, field);
        for (const std::uint32_t field : {crc32(data), size, size})
            put32(directory, field);
        put16(directory, static_cast<unsigned>(name.size()));
        for (int i = 0; i < 4; ++i)
            put16(directory, 0);
        put32(directory, 0x81a40000); // a regular file
        put32(directory, offset);
        directory += name;
    }
    const auto directoryAt = static_cast<std::uint32_t>(zip.size());
    zip += directory;
    put32(zip, 0x06054b50);
    put16(zip, 0);
    put16(zip, 0);
    put16(zip, static_cast<unsigned>(members.size()));
    put16(zip, static_cast<unsigned>(members.size()));
    put32(zip, static_cast<std::uint32_t>(directory.size()));
    put32(zip, directoryAt);
    put16(zip, 0);
    return zip;
}

// The same with empty members.
std::string zipOf(const std::vector<std::string>& names) {
    std::vector<std::pair<std::string, std::string>> members;
    for (const std::string& name : names)
        members.emplace_back(name, std::string());
    return zipHolding(members);
}

void run(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

class ArchiveTest : public ::testing::Test {
protected:
    ArchiveTest() {
        store::createEmptyCatalog(file);
        catalog = std::make_unique<store::Catalog>(file);
        dir.write("src/docs/report.pdf", "report");
        dir.write("src/a.txt", "a");
        dir.mkdir("disk");
    }

    store::InsertFigures insert(const std::string& diskId,
                                std::optional<store::ArchiveLimits> archives = store::ArchiveLimits{
                                    store::defaultArchiveFormats()}) {
        const scanner::WalkRules rules{dir.file("disk") + "/", "*", "*"};
        const std::vector<std::string> paths = listedFiles(rules);
        store::ScanToInsert scan{diskId, rules, false};
        scan.archives = std::move(archives);
        return catalog->insert(scan, paths.size(),
                               [&](std::size_t i) { return std::string_view(paths[i]); });
    }

    // Paths of the records of `diskId` inside archives, after the disk's folder.
    std::set<std::string> members(const std::string& diskId = "A") {
        std::set<std::string> found;
        store::Statement rows =
            catalog->database().prepare("SELECT \"File Path\" FROM Files WHERE \"Disk ID\" = ?1 "
                                        "AND instr(\"File Path\", '//')");
        rows.bindText(1, diskId);
        const std::size_t root = platform::upperCase(dir.file("disk/")).size();
        while (rows.step())
            found.insert(rows.columnValue(0).asString().substr(root));
        return found;
    }

    std::int64_t count(const std::string& sql) { return catalog->database().integerOf(sql); }

    TempDir dir;
    const std::string file = dir.file("Files.db");
    std::unique_ptr<store::Catalog> catalog;
};

TEST_F(ArchiveTest, MembersOfEveryFormatBecomeRecordsOneLevelDeep) {
    const std::string src = "cd " + dir.file("src") + " && ";
    run(src + "zip -qr ../disk/backup.zip . && tar czf ../disk/b.tar.gz . && "
              "xorriso -as mkisofs -quiet -o ../disk/d.iso . 2>/dev/null && "
              "cp ../disk/backup.zip inner.zip && zip -q ../disk/outer.zip inner.zip && "
              "rm inner.zip");
    if (std::system("command -v 7zz >/dev/null || command -v 7z >/dev/null") == 0)
        run(src + "(7zz a -bso0 ../disk/c.7z . || 7z a -bso0 ../disk/c.7z .) >/dev/null");
    dir.write("disk/fake.zip", "not a zip at all");
    mkfifo(dir.file("disk/pipe.zip").c_str(), 0600); // never waited on

    const store::InsertFigures figures = insert("A");
    EXPECT_EQ(figures.unreadArchives, 2); // the fake and the pipe
    std::set<std::string> expected = {"BACKUP.ZIP//A.TXT",
                                      "BACKUP.ZIP//DOCS/REPORT.PDF",
                                      "B.TAR.GZ//A.TXT",
                                      "B.TAR.GZ//DOCS/REPORT.PDF",
                                      "D.ISO//A.TXT",
                                      "D.ISO//DOCS/REPORT.PDF",
                                      "OUTER.ZIP//INNER.ZIP",
                                      "OUTER.ZIP//INNER.ZIP//A.TXT",
                                      "OUTER.ZIP//INNER.ZIP//DOCS/REPORT.PDF"};
    if (std::filesystem::exists(dir.file("disk/c.7z")))
        expected.insert({"C.7Z//A.TXT", "C.7Z//DOCS/REPORT.PDF"});
    EXPECT_EQ(members(), expected);
    EXPECT_EQ(figures.members, static_cast<std::int64_t>(expected.size()));
    EXPECT_EQ(figures.records, static_cast<std::int64_t>(expected.size() == 11 ? 7 : 6));
    // Every member is tied to the archive on the disk, with its real name and size.
    EXPECT_EQ(count("SELECT count(*) FROM \"Archive Members\" m JOIN Files a ON a.Id = m.Archive "
                    "WHERE instr(a.\"File Path\", '//') = 0"),
              figures.members);
    EXPECT_EQ(count("SELECT Size FROM \"Archive Members\" WHERE CAST(Name AS TEXT) = "
                    "'docs/report.pdf' LIMIT 1"),
              6);

    // The browser shows each archive as a folder, and keeps the members' bytes apart.
    const store::DiskContents disk(catalog->database().shared_from_this(), "Files", "A");
    EXPECT_EQ(disk.totalBytes(), figures.totalSize);
    EXPECT_EQ(disk.totalArchivedBytes(),
              count("SELECT sum(\"File Size\") FROM Files WHERE instr(\"File Path\", '//')"));
    EXPECT_EQ(std::count_if(disk.folders().begin(), disk.folders().end(),
                            [](const store::ContentsFolder& folder) { return folder.archive; }),
              expected.size() == 11 ? 6 : 5); // INNER.ZIP too
    // Nor does a disk's coverage count them again beside their archives.
    store::preparePrintTables(catalog->database(), "Files");
    const store::DiskCoverage coverage = store::coverageOf(catalog->database(), "Files", "A");
    EXPECT_EQ(coverage.copied.bytes + coverage.single.bytes + coverage.unknown.bytes,
              figures.totalSize);

    // Off, archives are files like any other.
    const store::InsertFigures plain = insert("B", std::nullopt);
    EXPECT_EQ(plain.members, 0);
    EXPECT_TRUE(members("B").empty());
}

TEST_F(ArchiveTest, HostileArchivesAreOnlyData) {
    const std::string longName(65535, 'n');
    const std::string zip = zipOf(
        {"../../escape.txt", "/etc/absolute.txt", "a//b/./c.txt", "caf\xe9.txt", longName, "dir/"});
    std::ofstream(dir.file("disk/hostile.zip"), std::ios::binary) << zip;
    std::ofstream(dir.file("disk/truncated.zip"), std::ios::binary) << zip.substr(0, 50);
    dir.write("disk/after.txt", "the insert goes on");
    run("head -c 20000000 /dev/zero > " + dir.file("src/zeros") + " && cd " + dir.file("src") +
        " && zip -q ../disk/bomb.zip zeros && tar czf ../disk/big.tar.gz zeros docs");

    store::ArchiveLimits limits{store::defaultArchiveFormats()};
    limits.decompressLimit = 1 << 20;
    const store::InsertFigures figures = insert("A", limits);
    EXPECT_EQ(figures.records, 5);
    const std::set<std::string> found = members();
    for (const char* kept :
         {"HOSTILE.ZIP//../../ESCAPE.TXT", "HOSTILE.ZIP//ETC/ABSOLUTE.TXT",
          "HOSTILE.ZIP//A/B/C.TXT", "HOSTILE.ZIP//CAF\xe9.TXT", "BOMB.ZIP//ZEROS"})
        EXPECT_EQ(found.count(kept), 1u) << kept;
    EXPECT_EQ(figures.membersLeftOut, 1); // the name no file system holds
    // The bomb is listed from its directory, never unpacked; the big tar stops at the limit.
    EXPECT_EQ(count("SELECT \"File Size\" FROM Files WHERE \"File Path\" LIKE '%BOMB.ZIP//ZEROS'"),
              20000000);
    EXPECT_EQ(found.count("BIG.TAR.GZ//ZEROS"), 1u);
    EXPECT_EQ(found.count("BIG.TAR.GZ//DOCS/REPORT.PDF"), 0u);
    // Cut short, an archive keeps the members read before the cut.
    EXPECT_EQ(found.count("TRUNCATED.ZIP//../../ESCAPE.TXT"), 1u);

    limits.maxMembers = 2;
    EXPECT_EQ(store::listArchive(dir.file("disk/hostile.zip"), limits)->leftOut, 3u);
}

TEST_F(ArchiveTest, MembersGoWithTheirArchiveAndTheirDisk) {
    run("cd " + dir.file("src") + " && zip -qr ../disk/backup.zip .");
    insert("A");
    ASSERT_EQ(members().size(), 2u);

    // A member added to the archive is seen by the disk update.
    dir.write("src/new.txt", "new");
    run("cd " + dir.file("src") + " && zip -q ../disk/backup.zip new.txt");
    auto update = catalog->diskUpdate("A");
    const bool stopped = false;
    ASSERT_TRUE(update->compare(stopped));
    EXPECT_TRUE(update->changes().removed.empty()); // members are not files of the disk
    update->apply();
    EXPECT_EQ(members().size(), 3u);
    EXPECT_EQ(count("SELECT count(*) FROM \"Archive Members\""), 3);

    catalog->renameDisk("A", "Renamed");
    EXPECT_EQ(members("Renamed").size(), 3u);
    EXPECT_EQ(count("SELECT count(*) FROM \"Archive Members\""), 3);

    // Another program deleting the archive's record takes its members along.
    catalog->database().execute("DELETE FROM Files WHERE \"File Path\" LIKE '%/BACKUP.ZIP'");
    EXPECT_TRUE(members("Renamed").empty());
    EXPECT_EQ(count("SELECT count(*) FROM \"Archive Members\""), 0);

    insert("B");
    catalog->deleteDisk("B");
    EXPECT_EQ(count("SELECT count(*) FROM Files"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM \"Archive Members\""), 0);
    insert("C");
    catalog->empty();
    EXPECT_EQ(count("SELECT count(*) FROM \"Archive Members\""), 0);
}

TEST_F(ArchiveTest, AMemberIsTakenOutIntoItsFolderOnlyAndWithinItsLimits) {
    run("cd " + dir.file("src") + " && zip -qr ../disk/backup.zip . && cp ../disk/backup.zip " +
        "inner.zip && zip -q ../disk/outer.zip inner.zip && ln -s /etc/passwd link && tar cf " +
        "../disk/links.tar link");
    const std::string zip = dir.file("disk/backup.zip");
    const auto extract = [&](const std::string& archive, const std::string& member,
                             std::uint64_t size, std::uint64_t limit = 1 << 20) {
        const std::string folder = dir.mkdir("out");
        return store::extractMember(archive, {member, size}, limit, folder);
    };
    const auto emptied = [&] {
        const bool empty = std::filesystem::is_empty(dir.file("out"));
        std::filesystem::remove_all(dir.file("out"));
        return empty;
    };

    store::Extraction copy = extract(zip, "docs/report.pdf", 6);
    ASSERT_EQ(copy.outcome, store::Extracted::Written);
    EXPECT_EQ(copy.file, dir.file("out/report.pdf"));
    EXPECT_EQ(fileContent(copy.file), "report");
    struct stat info {};
    ASSERT_EQ(::lstat(copy.file.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode) && (info.st_mode & 0777) == 0400);
    std::filesystem::remove_all(dir.file("out"));
    copy = extract(dir.file("disk/outer.zip"), "inner.zip//a.txt", 1);
    ASSERT_EQ(copy.outcome, store::Extracted::Written);
    EXPECT_EQ(fileContent(copy.file), "a");
    std::filesystem::remove_all(dir.file("out"));

    // Nothing is written for a member over the limit, changed, missing or not a file.
    EXPECT_EQ(extract(zip, "docs/report.pdf", 6, 5).outcome, store::Extracted::TooLarge);
    EXPECT_TRUE(emptied());
    EXPECT_EQ(extract(dir.file("disk/outer.zip"), "inner.zip//a.txt", 1, 100).outcome,
              store::Extracted::TooLarge); // the inner archive is over it
    EXPECT_TRUE(emptied());
    EXPECT_EQ(extract(zip, "docs/report.pdf", 7).outcome, store::Extracted::Changed);
    EXPECT_TRUE(emptied());
    EXPECT_EQ(extract(zip, "docs/gone.pdf", 6).outcome, store::Extracted::Missing);
    EXPECT_TRUE(emptied());
    EXPECT_EQ(extract(dir.file("disk/links.tar"), "link", 0).outcome, store::Extracted::Missing);
    EXPECT_TRUE(emptied());
    EXPECT_EQ(extract(dir.file("src/a.txt"), "a.txt", 1).outcome,
              store::Extracted::ArchiveUnreadable);
    EXPECT_TRUE(emptied());
}

TEST_F(ArchiveTest, HostileMemberNamesEndInsideTheFolderAndNeverFollowALink) {
    const std::string hostile = dir.file("disk/hostile.zip");
    std::ofstream(hostile, std::ios::binary) << zipHolding(
        {{"../../escape.txt", "evil"}, {"/etc/absolute.txt", "abs"}, {"a/..", "dots"}});
    const std::string folder = dir.mkdir("deep/out");
    for (const auto& [member, name] : {std::pair{"../../escape.txt", "escape.txt"},
                                       {"etc/absolute.txt", "absolute.txt"},
                                       {"a/..", "member"}}) {
        const std::vector<store::ArchiveMember> listed = store::listArchive(hostile, {})->members;
        const auto found = std::find_if(listed.begin(), listed.end(),
                                        [&](const auto& m) { return m.path == member; });
        ASSERT_NE(found, listed.end()) << member; // named as the listing keeps it
        const store::Extraction copy =
            store::extractMember(hostile, {member, found->size}, 100, folder);
        ASSERT_EQ(copy.outcome, store::Extracted::Written) << member;
        EXPECT_EQ(copy.file, folder + "/" + name);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("escape.txt")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("deep/escape.txt")));

    // A name already there, a link above all, is never written through.
    const std::string other = dir.mkdir("other");
    std::filesystem::create_symlink(dir.file("victim.txt"), other + "/escape.txt");
    EXPECT_EQ(store::extractMember(hostile, {"../../escape.txt", 4}, 100, other).outcome,
              store::Extracted::CannotWrite);
    EXPECT_FALSE(std::filesystem::exists(dir.file("victim.txt")));

    EXPECT_EQ(store::safeMemberFileName("x/a\nb\x01.txt"), "a_b_.txt");
    const std::string longName = std::string(300, 'n') + ".report.pdf";
    const std::string cut = store::safeMemberFileName("x/" + longName);
    EXPECT_EQ(cut.size(), 200u);
    EXPECT_TRUE(cut.ends_with("nn.pdf"));
    EXPECT_EQ(store::safeMemberFileName(std::string(199, 'e') + "\xc3\xa9"),
              std::string(199, 'e')); // never half a character
}

TEST_F(ArchiveTest, FilesWithoutAnExtensionAreLookedIntoByTheirFirstBytes) {
    const std::string src = "cd " + dir.file("src") + " && ";
    run(src + "zip -qr - . > ../disk/backup && tar cf ../disk/tarball . && "
              "xorriso -as mkisofs -quiet -o ../disk/image . 2>/dev/null && "
              "zip -qr ../disk/data.bin . && gzip -c a.txt > ../disk/compressed");
    dir.write("disk/README", "PK but no zip");
    const store::InsertFigures figures = insert("A");
    EXPECT_EQ(figures.unreadArchives, 0); // a plain gzip taken for a tar is just a file
    const std::set<std::string> found = members();
    for (const char* kept : {"BACKUP//A.TXT", "TARBALL//DOCS/REPORT.PDF", "IMAGE//A.TXT"})
        EXPECT_EQ(found.count(kept), 1u) << kept;
    EXPECT_EQ(found.count("DATA.BIN//A.TXT"), 0u); // an extension not of an archive: not sniffed
    EXPECT_EQ(store::formatByContent(dir.file("disk/backup"), {"7z", "ZIP"}), "ZIP");
    EXPECT_EQ(store::formatByContent(dir.file("disk/backup"), {"tar"}), "");

    // A disk update looks into one added the same way.
    std::filesystem::copy_file(dir.file("disk/backup"), dir.file("disk/copy"));
    auto update = catalog->diskUpdate("A");
    const bool stopped = false;
    ASSERT_TRUE(update->compare(stopped));
    update->apply();
    EXPECT_EQ(members().count("COPY//DOCS/REPORT.PDF"), 1u);
}

TEST_F(ArchiveTest, MembersKeepTheirRealCaseInTheBrowserAndTheirRealPathForPrinting) {
    dir.write("src/Docs/Report.PDF", "Report");
    run("cd " + dir.file("src") + " && zip -qr ../disk/Backup.Zip Docs");
    insert("A");
    store::Database& db = catalog->database();
    const store::DiskContents disk(db.shared_from_this(), "Files", "A");
    const auto& folders = disk.folders();
    const auto docs = std::find_if(folders.begin(), folders.end(),
                                   [](const auto& folder) { return folder.name == "Docs"; });
    ASSERT_NE(docs, folders.end());
    const auto at = static_cast<std::uint32_t>(docs - folders.begin());
    EXPECT_EQ(disk.pathOf(at), dir.file("disk/Backup.Zip//Docs/"));
    EXPECT_EQ(disk.folderAt(disk.pathOf(at)), at);
    ASSERT_TRUE(disk.archiveHolding(at));
    EXPECT_EQ(folders[*disk.archiveHolding(at)].name, "Backup.Zip");
    EXPECT_FALSE(disk.archiveHolding(folders[docs->parent].parent)); // the disk's own folder
    const std::vector<store::ContentsFile> files = disk.filesIn(at);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].name, "Report.PDF");

    const auto member = store::archivedRecord(db, "Files", files[0].record);
    ASSERT_TRUE(member);
    EXPECT_EQ(member->realPath, "Docs/Report.PDF");
    EXPECT_EQ(member->archiveStoredPath, platform::upperCase(dir.file("disk/Backup.Zip")));
    store::RecordedFactsReader facts(db);
    const auto recorded = store::MemberFactsReader(db, "Files").factsOf(files[0].record, facts);
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->path, dir.file("disk/Backup.Zip//Docs/Report.PDF"));
}

} // namespace
} // namespace katalox::test
