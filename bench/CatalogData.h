#pragma once
// A generated catalogue for the benchmarks: records grouped by Disk ID as successive scans
// leave them, with paths of 50 to 100 bytes, and a rare name for filtered listings.
#include "store/CatalogFile.h"
#include "store/SqliteHandles.h"

#include <cstdint>
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
