#pragma once
// A generated catalogue for the benchmarks: records grouped by Disk ID as successive scans
// leave them, with paths of 50 to 100 bytes, and a rare name for filtered listings.
#include "store/catalog/CatalogFile.h"
#include "store/search/DotGramIndex.h"
#include "store/search/SearchIndex.h"
#include "store/sqlite/SqliteHandles.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>

namespace katalox::bench {

// One record in every kRareEvery has a name holding kRareToken.
inline constexpr int kRareEvery = 10000;
inline constexpr const char* kRareToken = "ZQRARE";

inline void execute(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
}

// Creates `file` as an empty catalogue and fills it with `records` records over `disks`
// Disk IDs in one transaction.
inline void makeCatalog(const std::string& file, std::int64_t records, int disks) {
    static const char* const folders[] = {"PHOTOS/2019/HOLIDAY IN THE ALPS", "MUSIC/ALBUMS/JAZZ",
                                          "DOCUMENTS/INVOICES/ARCHIVE", "VIDEO/FAMILY/BIRTHDAYS",
                                          "PROJECTS/SOURCE/BACKUP/OLD"};
    static const char* const extensions[] = {"JPG", "MP3", "PDF", "AVI", "ZIP", "TXT"};
    store::createEmptyCatalog(file);
    store::SqliteConnection db = store::openSqlite(file);
    execute(db.get(), "BEGIN");
    store::SqliteStatement insert =
        store::prepareSqlite(db.get(), "INSERT INTO Files (\"File Name\", \"File Path\", "
                                       "\"Disk ID\", \"File Size\") VALUES (?, ?, ?, ?)");
    const std::int64_t perDisk = (records + disks - 1) / disks;
    std::uint32_t random = 12345;
    for (std::int64_t i = 0; i < records; ++i) {
        random = random * 1103515245u + 12345u;
        const int disk = static_cast<int>(i / perDisk);
        const std::string diskId = "Backup Disk " + std::to_string(1000 + disk);
        std::string name = (i % kRareEvery == 0 ? std::string(kRareToken) : std::string("FILE")) +
                           "_" + std::to_string(i) + "." + extensions[(random >> 8) % 6];
        const std::string path = "/MEDIA/ARCHIVE/DISK" + std::to_string(disk) + "/" +
                                 folders[(random >> 12) % 5] + "/SUB" +
                                 std::to_string((random >> 16) % 100) + "/" + name;
        sqlite3_bind_text(insert.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert.get(), 2, path.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert.get(), 3, diskId.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert.get(), 4, (random >> 4) % 5000000);
        if (sqlite3_step(insert.get()) != SQLITE_DONE)
            throw std::runtime_error(sqlite3_errmsg(db.get()));
        sqlite3_reset(insert.get());
    }
    execute(db.get(), "COMMIT");
}

} // namespace katalox::bench

namespace katalox::bench {

// An empty catalogue as made before the substring index existed: the baseline of the insert.
inline void makeCatalogWithoutIndex(const std::string& file) {
    store::createEmptyCatalog(file);
    store::SqliteConnection db = store::openSqlite(file);
    execute(db.get(),
            (store::dropTriggersSql("Files") +
             "DROP TABLE FilesSearch; DROP TABLE FilesSearchMark; DROP INDEX FilesUnlisted;")
                .c_str());
}

// Records per large catalogue; one Disk ID holds kLargeDiskRecords of them, the others share
// the rest in successive blocks, as scans leave them.
inline constexpr std::int64_t kLargeDiskRecords = 100000;
// One record in every kRareFolderEvery lies in the folder kRareFolder.
inline constexpr int kRareFolderEvery = 2500;
inline constexpr const char* kRareFolder = "TAXES/2021";

// Indexes every record of a catalogue made by createEmptyCatalog in one go and moves the mark
// past them, as the builder does in the background a while after records were added.
inline void indexEveryRecord(sqlite3* db) {
    execute(db, "INSERT INTO FilesSearch(FilesSearch) VALUES ('rebuild')");
    execute(db, "BEGIN");
    store::indexDotGrams(db, "Files", std::numeric_limits<std::int64_t>::min(),
                         std::numeric_limits<std::int64_t>::max());
    execute(db, "UPDATE FilesSearchMark SET upTo = (SELECT max(Id) FROM Files)");
    execute(db, "COMMIT");
}

// The statement that writes the records of a large catalogue, in the dialect that SQLite and
// PostgreSQL share: `records` records over `disks` Disk IDs with paths of 40 to 78 bytes,
// numbered 0, 1, ... by the rows i of `numbers`, a WITH item naming them n(i).
inline std::string largeCatalogInsertSql(const std::string& numbers, std::int64_t records,
                                         int disks) {
    const std::string rest = std::to_string((records - kLargeDiskRecords) / (disks - 1) + 1);
    return "WITH " + numbers +
           ", r AS (SELECT i, (i * 2654435761) % 4294967296 AS h, CASE WHEN "
           "i < " +
           std::to_string(kLargeDiskRecords) + " THEN 0 ELSE 1 + (i - " +
           std::to_string(kLargeDiskRecords) + ") / " + rest +
           " END AS disk FROM n), f AS (SELECT i, h, disk, CASE WHEN i % " +
           std::to_string(kRareEvery) + " = 0 THEN '" + kRareToken +
           "_' ELSE 'FILE_' END || i || '.' || substr('JPGMP3PDFAVIZIPTXT', CAST(1 + 3 * ((h >> "
           "4) % 6) AS integer), 3) AS name, CASE WHEN i % " +
           std::to_string(kRareFolderEvery) + " = 7 THEN '" + kRareFolder +
           "' ELSE CASE (h >> 8) % 5 WHEN 0 THEN 'PHOTOS/2019/HOLIDAY IN THE ALPS' WHEN 1 THEN "
           "'MUSIC/ALBUMS/JAZZ' WHEN 2 THEN 'DOCUMENTS/INVOICES/ARCHIVE' WHEN 3 THEN "
           "'VIDEO/FAMILY/BIRTHDAYS' ELSE 'PROJECTS/SOURCE/BACKUP/OLD' END END AS folder FROM r) "
           "INSERT INTO \"Files\" (\"File Name\", \"File Path\", \"Disk ID\", \"File Size\") "
           "SELECT name, '/MEDIA/ARCHIVE/DISK' || disk || '/' || folder || '/SUB' || ((h >> 12) % "
           "97) || '/' || name, 'Backup Disk ' || (1000 + disk), (h >> 3) % 5000000 FROM f";
}

// Creates `file` as a catalogue of `records` records over `disks` Disk IDs (see
// largeCatalogInsertSql), written by the engine itself in one statement; the substring index is
// built after the records, in one go, as the builder would.
inline void makeLargeCatalog(const std::string& file, std::int64_t records, int disks) {
    store::createEmptyCatalog(file);
    store::SqliteConnection db = store::openSqlite(file);
    execute(db.get(), "PRAGMA journal_mode = OFF");
    execute(db.get(), "PRAGMA synchronous = OFF");
    execute(db.get(),
            (store::dropTriggersSql("Files") + "UPDATE FilesSearchMark SET upTo = 0;").c_str());
    const std::string numbers = "RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE "
                                "i < " +
                                std::to_string(records) + " - 1)";
    execute(db.get(), largeCatalogInsertSql(numbers, records, disks).c_str());
    indexEveryRecord(db.get());
    execute(db.get(), store::createTriggersSql("Files").c_str());
}

} // namespace katalox::bench
