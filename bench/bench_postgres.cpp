// katalox-cli scan into a catalogue on a PostgreSQL server against the same scan into a
// catalogue file, and four scans into one server catalogue at once. Whole processes are timed,
// as a user at a terminal meets them. Needs the server that scripts/run-benchmarks.sh starts.
#include "BenchUtil.h"
#include "GeneratedTree.h"
#include "ServerDatabase.h"

#include "store/catalog/CatalogFile.h"
#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgRecords.h"
#include "store/sqlite/SqliteHandles.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

using namespace katalox;

namespace {

constexpr int kRounds = 3;
constexpr int kConcurrentScans = 4;

// The scan of the server catalogue keeps no members of archives: the scan of the catalogue
// file leaves them out too, for a like-for-like insert (bench_archive measures those); both
// take fingerprints or neither.
std::vector<std::string> scanWords(const std::string& catalogue, const std::string& tree,
                                   const std::string& diskId, bool prints = false) {
    std::vector<std::string> words{KATALOX_CLI, "--catalog", catalogue, "scan",
                                   tree,        "--disk-id", diskId,    "--no-archives"};
    if (!prints)
        words.push_back("--no-fingerprints");
    return words;
}

std::int64_t serverRecords(const std::string& uri) {
    store::PgConnection db(uri);
    return db.execute("SELECT count(*) FROM \"Files\"").integer(0, 0);
}

std::int64_t fileRecords(const std::string& file) {
    const store::SqliteConnection db = store::openSqlite(file, SQLITE_OPEN_READONLY);
    const store::SqliteStatement count =
        store::prepareSqlite(db.get(), "SELECT count(*) FROM Files");
    sqlite3_step(count.get());
    return sqlite3_column_int64(count.get(), 0);
}

// Merges what the trigram indexes hold in their pending lists into the indexes proper, as
// autovacuum would in the background after a scan; returns its time in ms.
double cleanPendingLists(const std::string& uri) {
    store::PgConnection db(uri);
    const store::PgResult indexes =
        db.execute("SELECT quote_ident(indexname) FROM pg_indexes WHERE tablename = 'Files' AND "
                   "indexdef LIKE '% USING gin %'");
    const double start = bench::nowMs();
    for (int row = 0; row < indexes.rows(); ++row)
        db.execute("SELECT gin_clean_pending_list($1::regclass)", {indexes.text(row, 0)});
    return bench::nowMs() - start;
}

// A search of the kind the main window lists, through both trigram indexes.
double searchMs(const std::string& uri) {
    store::PgConnection db(uri);
    const double start = bench::nowMs();
    db.execute("SELECT count(*) FROM \"Files\" WHERE \"File Name\" LIKE '%FILE1%' ESCAPE '' AND "
               "\"File Path\" LIKE '%LEAF2/DEEPER%' ESCAPE ''");
    return bench::nowMs() - start;
}

struct InsertFigures {
    double sqliteMs = 1e100;
    // The substring index of the catalogue file, finished after its scan.
    double sqliteIndexMs = 1e100;
    double serverMs = 1e100;
    // The search right after the scan, the merge of the pending lists, the search after it.
    double searchPendingMs = 0;
    double pendingMs = 0;
    double searchMergedMs = 0;
};

// The best of kRounds scans of `tree` into fresh catalogues, the file's and the server's by
// turns: the best round is the least disturbed by other work on the machine.
InsertFigures measureInsert(const std::string& scratch, const std::string& tree,
                            bool prints = false) {
    InsertFigures best;
    for (int round = 0; round < kRounds; ++round) {
        const std::string file = scratch + "/Files.db";
        store::createEmptyCatalog(file);
        const double sqliteMs = bench::processMs(scanWords(file, tree, "bench", prints));
        // The substring index the scan left being built, finished before the server's turn.
        const double indexMs = bench::processMs({KATALOX_CLI, "--catalog", file, "index"});
        const std::int64_t files = fileRecords(file);
        std::filesystem::remove(file);
        if (sqliteMs < best.sqliteMs) {
            best.sqliteMs = sqliteMs;
            best.sqliteIndexMs = indexMs;
        }

        const std::string uri = bench::freshDatabase("bench_insert");
        store::initialiseCatalogue(uri);
        const double serverMs = bench::processMs(scanWords(uri, tree, "bench", prints));
        if (const std::int64_t written = serverRecords(uri); written != files)
            throw std::runtime_error("the server catalogue holds " + std::to_string(written) +
                                     " records, the catalogue file " + std::to_string(files));
        const double searchPending = searchMs(uri);
        const double pendingMs = cleanPendingLists(uri);
        std::printf("  round %d: catalogue file %.0f ms (its index %.0f ms after), server %.0f ms "
                    "(its pending lists %.0f ms after)\n",
                    round, sqliteMs, indexMs, serverMs, pendingMs);
        if (serverMs < best.serverMs)
            best = {best.sqliteMs, best.sqliteIndexMs, serverMs,
                    searchPending, pendingMs,          searchMs(uri)};
    }
    return best;
}

// kConcurrentScans scans of the same `files` files at once, each under a Disk ID of its own,
// into one server catalogue; throws unless every scan succeeded and every record is there.
double measureConcurrentInserts(const std::string& tree, std::int64_t files) {
    const std::string uri = bench::freshDatabase("bench_concurrent");
    store::initialiseCatalogue(uri);
    std::vector<std::vector<std::string>> scans;
    for (int scan = 1; scan <= kConcurrentScans; ++scan)
        scans.push_back(scanWords(uri, tree, "Disk " + std::to_string(scan)));
    const double ms = bench::concurrentProcessesMs(scans);
    store::PgConnection db(uri);
    std::string missing;
    std::int64_t total = 0;
    for (const store::PgDiskTotals& disk : store::diskTotals(db, store::kPgCatalogueTable)) {
        total += disk.files;
        std::printf("  %s: %lld records\n", disk.diskId.c_str(),
                    static_cast<long long>(disk.files));
        if (disk.files != files)
            missing += " " + disk.diskId + " holds " + std::to_string(disk.files) + ";";
    }
    if (!missing.empty() || total != files * kConcurrentScans)
        throw std::runtime_error("records are missing after the concurrent scans:" + missing + " " +
                                 std::to_string(total) + " of " +
                                 std::to_string(files * kConcurrentScans) + " in all");
    return ms;
}

} // namespace

int main() {
    try {
        bench::ScratchDir scratch;
        {
            const bench::TreeDir treeDir(scratch.path() + "/files");
            const std::string tree = treeDir.path() + "/tree";
            std::printf("tree: %d files\n", bench::makeScanTree(tree));
            const InsertFigures figures = measureInsert(scratch.path(), tree);
            bench::report("pg.insert.sqlite_ms", figures.sqliteMs, "ms");
            bench::report("pg.insert.sqlite_index_ms", figures.sqliteIndexMs, "ms");
            bench::report("pg.insert.server_ms", figures.serverMs, "ms");
            bench::report("pg.insert.vs_sqlite", figures.serverMs / figures.sqliteMs, "x");
            // Until either catalogue's substring search is served by its index: the file builds
            // its index after the scan, the server as the rows come.
            bench::report("pg.insert.vs_sqlite_indexed",
                          figures.serverMs / (figures.sqliteMs + figures.sqliteIndexMs), "x");
            bench::report("pg.insert.search_pending_ms", figures.searchPendingMs, "ms");
            bench::report("pg.insert.pending_lists_ms", figures.pendingMs, "ms");
            bench::report("pg.insert.search_merged_ms", figures.searchMergedMs, "ms");
            // The same scans taking each file's sampled print.
            const InsertFigures printed = measureInsert(scratch.path(), tree, true);
            bench::report("pg.insert.prints.sqlite_ms", printed.sqliteMs, "ms");
            bench::report("pg.insert.prints.server_ms", printed.serverMs, "ms");
            bench::report("pg.insert.prints.vs_sqlite", printed.serverMs / printed.sqliteMs, "x");
        }
        {
            const bench::TreeDir treeDir(scratch.path() + "/concurrent");
            const std::string tree = treeDir.path() + "/tree";
            constexpr int kFolders = 10, kEntries = 10000;
            bench::makeLinkedFolders(tree, kFolders, kEntries);
            bench::report("pg.concurrent.inserts",
                          measureConcurrentInserts(tree, kFolders * kEntries), "ms");
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_postgres: %s\n", error.what());
        return 1;
    }
    return 0;
}
