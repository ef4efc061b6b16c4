#pragma once
// Content prints for a generated catalogue whose files were never read: each record's print
// stands for a content, shared with other records as copies on backup disks are. Three records
// in four take a content chosen by their size (so records of one size are copies, as their
// sizes are drawn at random a couple share each), the fourth a content of its own.
#include "store/catalog/Catalog.h"
#include "store/prints/PrintTables.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqliteHandles.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>
#include <xxhash.h>

namespace katalox::bench {

inline void addSyntheticPrints(const std::string& file) {
    {
        store::Catalog catalog(file); // makes the tables and triggers
        store::preparePrintTables(catalog.database(), catalog.table());
    }
    const store::SqliteConnection db = store::openSqlite(file);
    const auto run = [&](const std::string& sql) {
        if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db.get()));
    };
    for (const char* trigger :
         {"File Prints Deleted", "File Prints Changed", "Copy Groups Grown", "Copy Groups Shrunk"})
        run(std::string("DROP TRIGGER IF EXISTS \"") + trigger + "\"");
    run("PRAGMA journal_mode = OFF");
    run("PRAGMA synchronous = OFF");
    run("BEGIN");
    struct Keyed {
        std::uint64_t key;
        std::int64_t record;
    };
    std::vector<Keyed> keys;
    const store::SqliteStatement select =
        store::prepareSqlite(db.get(), "SELECT Id, \"File Size\" FROM Files ORDER BY Id");
    const store::SqliteStatement addRun =
        store::prepareSqlite(db.get(), "INSERT INTO \"Print Runs\" VALUES (?, ?, ?)");
    std::string packed;
    std::int64_t first = 0;
    const auto flushRun = [&] {
        if (packed.empty())
            return;
        sqlite3_bind_int64(addRun.get(), 1, first);
        sqlite3_bind_int64(addRun.get(), 2, static_cast<std::int64_t>(packed.size() / 16));
        sqlite3_bind_blob(addRun.get(), 3, packed.data(), static_cast<int>(packed.size()),
                          SQLITE_STATIC);
        sqlite3_step(addRun.get());
        sqlite3_reset(addRun.get());
        packed.clear();
    };
    while (sqlite3_step(select.get()) == SQLITE_ROW) {
        const std::int64_t record = sqlite3_column_int64(select.get(), 0);
        const std::int64_t size = sqlite3_column_int64(select.get(), 1);
        if (packed.empty() || record != first + static_cast<std::int64_t>(packed.size() / 16) ||
            packed.size() / 16 >= store::kPrintsPerRun) {
            flushRun();
            first = record;
        }
        const std::int64_t content = record % 4 == 0 ? -record : size;
        const XXH128_hash_t hash =
            XXH3_128bits_withSeed(&content, sizeof content, static_cast<std::uint64_t>(size));
        char bytes[16];
        std::memcpy(bytes, &hash.high64, 8);
        std::memcpy(bytes + 8, &hash.low64, 8);
        packed.append(bytes, 16);
        std::uint64_t key = 0;
        std::memcpy(&key, bytes, 8);
        keys.push_back({key, record});
    }
    flushRun();
    // In the order of the index, so it is written page after page.
    const auto keyBytes = [](std::uint64_t key) {
        return std::string(reinterpret_cast<const char*>(&key), 8);
    };
    std::sort(keys.begin(), keys.end(), [&](const Keyed& a, const Keyed& b) {
        return keyBytes(a.key) != keyBytes(b.key) ? keyBytes(a.key) < keyBytes(b.key)
                                                  : a.record < b.record;
    });
    const store::SqliteStatement addKey =
        store::prepareSqlite(db.get(), "INSERT INTO \"File Prints\" VALUES (?, ?)");
    for (const Keyed& keyed : keys) {
        sqlite3_bind_blob(addKey.get(), 1, &keyed.key, 8, SQLITE_STATIC);
        sqlite3_bind_int64(addKey.get(), 2, keyed.record);
        sqlite3_step(addKey.get());
        sqlite3_reset(addKey.get());
    }
    run("INSERT INTO \"Copy Groups\" SELECT p.\"Print\", count(*), min(f.\"File Size\") FROM "
        "\"File Prints\" p JOIN Files f ON f.rowid = p.\"Record\" GROUP BY p.\"Print\" HAVING "
        "count(*) > 1");
    run("COMMIT");
    store::Catalog catalog(file); // the triggers again
    store::preparePrintTables(catalog.database(), catalog.table());
}

} // namespace katalox::bench
