// The insert of 200,000 small files with their prints taken, against the same insert without
// them, on files in the page cache; and what the prints cost in the catalogue per record.
#include "BenchUtil.h"
#include "GeneratedTree.h"

#include "scanner/FileWalk.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/CatalogFile.h"
#include "store/prints/ContentPrint.h"
#include "store/sqlite/SqliteHandles.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using namespace katalox;

namespace {

// 1,000 folders of 200 files of 100 bytes to 8 kB; one file in five repeats another's bytes.
void makeSmallFiles(const std::string& root) {
    std::string content;
    for (int folder = 0; folder < 1000; ++folder) {
        const std::string path = root + "/f" + std::to_string(folder);
        bench::makeFolder(path);
        for (int i = 0; i < 200; ++i) {
            const int n = folder * 200 + i;
            const int seed = n % 5 == 0 ? n / 5 : n;
            content.assign(static_cast<std::size_t>(100 + (seed * 7919) % 8000),
                           static_cast<char>('a' + seed % 26));
            content += std::to_string(seed);
            std::ofstream(path + "/file" + std::to_string(i) + ".txt") << content;
        }
    }
}

double insertMs(const std::string& catalogue, const scanner::WalkRules& rules,
                const std::vector<std::string>& paths, bool fingerprints) {
    std::remove(catalogue.c_str());
    store::createEmptyCatalog(catalogue);
    store::Catalog catalog(catalogue);
    const double start = bench::nowMs();
    catalog.insert({"bench", rules, fingerprints}, paths.size(),
                   [&](std::size_t i) { return std::string_view(paths[i]); });
    return bench::nowMs() - start;
}

double bytesOf(const std::string& catalogue, const std::string& condition) {
    const store::SqliteConnection db = store::openSqlite(catalogue);
    const store::SqliteStatement statement =
        store::prepareSqlite(db.get(), "SELECT sum(pgsize) FROM dbstat WHERE " + condition);
    sqlite3_step(statement.get());
    return sqlite3_column_double(statement.get(), 0);
}

} // namespace

int main() {
    bench::ScratchDir scratch;
    // On the disk, in the page cache once written (a memory file system runs out of entries).
    const std::string tree = scratch.path() + "/tree";
    makeSmallFiles(tree);
    const scanner::WalkRules rules{tree + "/", "*", "*"};
    std::vector<std::string> paths;
    const bool stopped = false;
    scanner::walkMatchingFiles(
        rules, [&](const std::string& path, std::uint64_t, std::int64_t) { paths.push_back(path); },
        stopped);
    const std::string catalogue = scratch.path() + "/Files.db";
    // The reading alone, on one thread: what overlapping it with the insert can hide at best.
    std::vector<char> buffer;
    const double readStart = bench::nowMs();
    for (const std::string& path : paths)
        store::samplePrint(path, buffer);
    bench::report("fingerprint.read_alone.ms", bench::nowMs() - readStart, "ms");
    std::vector<double> plain, printed;
    for (int round = 0; round < 3; ++round) {
        plain.push_back(insertMs(catalogue, rules, paths, false));
        printed.push_back(insertMs(catalogue, rules, paths, true));
    }
    std::printf("  %zu files: %.0f ms plain, %.0f ms with prints\n", paths.size(),
                bench::median(plain), bench::median(printed));
    bench::report("fingerprint.insert.vs_plain", bench::median(printed) / bench::median(plain),
                  "x");
    const auto records = static_cast<double>(paths.size());
    bench::report("fingerprint.bytes_per_row", bytesOf(catalogue, "name = 'Print Runs'") / records,
                  "B");
    bench::report(
        "fingerprint.index_bytes_per_row",
        bytesOf(catalogue, "name IN ('File Prints', 'Copy Groups', 'Copy Groups Waste')") / records,
        "B");
    return 0;
}
