// "Check Size" through the real main window, offscreen, over a listing of 1,000,000 records,
// beside a plain SQLite pass that totals the same records in the same run.
#include "BenchUtil.h"
#include "CatalogData.h"

#include "store/catalog/MaintenanceStatements.h"
#include "store/dataset/Query.h"
#include "store/dataset/Table.h"
#include "windows/TForm1.h"

#include <QApplication>
#include <QLabel>

#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace katalox;
using namespace katalox::store;

namespace {

constexpr std::int64_t kRecords = 1000000;
constexpr int kRuns = 5;

// The same total straight from SQLite: one pass over the records the listing selects.
std::int64_t plainTotal(const std::string& file) {
    store::SqliteConnection db = store::openSqlite(file, SQLITE_OPEN_READONLY);
    sqlite3_busy_timeout(db.get(), 10000);
    store::SqliteStatement select = store::prepareSqlite(
        db.get(), R"(SELECT "File Size" FROM Files WHERE "File Path" LIKE '%.%')");
    SizeTotal total;
    while (sqlite3_step(select.get()) == SQLITE_ROW)
        total.add(sqlite3_column_int64(select.get(), 0));
    return total.megabytes();
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    bench::ScratchDir scratch;
    const std::string file = scratch.path() + "/Files.db";
    bench::makeCatalog(file, kRecords, 100);
    bench::indexEveryRecord(store::openSqlite(file).get());

    TForm1 form;
    form.openCatalogue(scratch.path(), "Files.db");
    form.Update();
    form.update2(); // all disks, no filters: every record
    if (form.Query1->recordCount() != kRecords) {
        std::fprintf(stderr, "listing holds %lld records\n",
                     static_cast<long long>(form.Query1->recordCount()));
        return 1;
    }

    std::vector<double> window;
    std::vector<double> plain;
    std::int64_t plainMegabytes = 0;
    for (int run = 0; run < kRuns; ++run) {
        double start = bench::nowMs();
        form.CheckSize1Click();
        window.push_back(bench::nowMs() - start);
        start = bench::nowMs();
        plainMegabytes = plainTotal(file);
        plain.push_back(bench::nowMs() - start);
    }
    if (form.Label3->text().toStdString() != "Size: " + std::to_string(plainMegabytes) + " MB ") {
        std::fprintf(stderr, "window total \"%s\" differs from %lld MB\n",
                     form.Label3->text().toStdString().c_str(),
                     static_cast<long long>(plainMegabytes));
        return 1;
    }
    bench::report("checksize.1m.ms", bench::median(window), "ms");
    bench::report("checksize.plain_sqlite.1m.ms", bench::median(plain), "ms");
    return 0;
}
