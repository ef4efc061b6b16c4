// The disk browser on a disk of about 200,000 files (the tree of the scan benchmarks and a
// folder of 10,000 files), inserted with its facts into a fresh catalogue.
#include "BrowserBench.h"

#include "store/catalog/CatalogFile.h"
#include "store/sqlite/SqliteHandles.h"

#include <QApplication>
#include <sqlite3.h>

using namespace katalox;

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    bench::ScratchDir scratch;
    const bench::TreeDir treeDir(scratch.path() + "/files");
    const std::string tree = treeDir.path() + "/tree";
    std::printf("tree: %d files\n", bench::makeScanTree(tree));
    bench::makeWideFolder(tree);
    const std::string file = scratch.path() + "/Files.db";
    store::createEmptyCatalog(file);
    store::Catalog catalog(file);
    const auto inserted = static_cast<double>(bench::insertTree(catalog, tree, "bench"));
    // What the facts add to the catalogue, per record.
    {
        const store::SqliteConnection db = store::openSqlite(file, SQLITE_OPEN_READONLY);
        const auto bytes = [&](const char* condition) {
            const store::SqliteStatement sum = store::prepareSqlite(
                db.get(), std::string("SELECT sum(pgsize) FROM dbstat WHERE ") + condition);
            sqlite3_step(sum.get());
            return sqlite3_column_double(sum.get(), 0);
        };
        bench::report("facts.bytes_per_row",
                      bytes("name IN ('Disk Folders', 'File Facts', 'Disk Folders Scan', "
                            "'File Facts Folder')") /
                          inserted,
                      "B");
        bench::report("catalogue.bytes_per_row", bytes("1") / inserted, "B");
    }
    bench::measureBrowser(catalog, "bench", "");
    return 0;
}
