// The Disk ID tree and the listing over a million records, each listing side by side with the
// same query stepped through the plain SQLite C API in the same run.
#include "BenchUtil.h"
#include "CatalogData.h"

#include "store/dataset/Query.h"
#include "widgets/DBGrid.h"
#include "windows/TForm1.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QLineEdit>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <vector>

using namespace katalox;

namespace {

constexpr std::int64_t kRecords = 1000000;
// Rounds per figure; the median keeps one slow round on a shared machine from deciding it.
constexpr int kRounds = 7;

double timeMs(const std::function<void()>& work) {
    const double start = bench::nowMs();
    work();
    return bench::nowMs() - start;
}

volatile std::size_t readBytes = 0;

// Steps through every row of `sql` reading every column; returns the number of rows.
std::int64_t sqlitePass(sqlite3* db, const std::string& sql) {
    store::SqliteStatement statement = store::prepareSqlite(db, sql);
    std::int64_t rows = 0;
    std::size_t bytes = 0;
    int status = SQLITE_ROW;
    while ((status = sqlite3_step(statement.get())) == SQLITE_ROW) {
        const int columns = sqlite3_column_count(statement.get());
        for (int column = 0; column < columns; ++column) {
            if (sqlite3_column_type(statement.get(), column) == SQLITE_INTEGER)
                bytes += static_cast<std::size_t>(sqlite3_column_int64(statement.get(), column));
            else if (sqlite3_column_text(statement.get(), column))
                bytes += static_cast<std::size_t>(sqlite3_column_bytes(statement.get(), column));
        }
        ++rows;
    }
    if (status != SQLITE_DONE) // a pass cut short would make a meaningless baseline
        throw std::runtime_error(sqlite3_errmsg(db));
    readBytes = bytes; // keeps the reads from being optimised away
    return rows;
}

// The listing's two statements as SQLite runs them.
const std::string kAllSql = "SELECT * FROM Files WHERE \"File Name\" LIKE '%%' AND \"File Path\" "
                            "LIKE '%.%' AND \"File Path\" LIKE '%%'";
const std::string kNameSql = std::string("SELECT * FROM Files WHERE \"File Name\" LIKE '%") +
                             bench::kRareToken +
                             "%' AND \"File Path\" LIKE '%.%' AND \"File Path\" LIKE '%%'";

struct Listing {
    double ms = 0;
    int rows = 0;
};

Listing listOnce(TForm1& form, const QString& name) {
    form.Edit1->setText(name);
    Listing listing;
    listing.ms = timeMs([&] { form.update2(); });
    listing.rows = form.DBGrid1->model()->rowCount();
    return listing;
}

void compare(TForm1& form, sqlite3* db, const QString& name, const std::string& sql,
             const std::string& benchName) {
    std::vector<double> ours, baseline;
    std::int64_t baselineRows = 0;
    Listing listing;
    for (int round = 0; round < kRounds; ++round) {
        baseline.push_back(timeMs([&] { baselineRows = sqlitePass(db, sql); }));
        listing = listOnce(form, name);
        ours.push_back(listing.ms);
    }
    if (listing.rows != baselineRows)
        throw std::runtime_error(benchName + ": listing and baseline disagree on the count");
    bench::report(benchName + ".ms", bench::median(ours), "ms");
    bench::report(benchName + ".sqlite_ms", bench::median(baseline), "ms");
    bench::report(benchName + ".vs_sqlite", bench::median(ours) / bench::median(baseline), "x");
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    bench::ScratchDir scratch;
    const std::string file = scratch.path() + "/Files.db";
    bench::makeCatalog(file, kRecords, 100);
    bench::indexEveryRecord(store::openSqlite(file).get());

    store::SqliteConnection db = store::openSqlite(file, SQLITE_OPEN_READONLY);
    bench::execute(db.get(), "PRAGMA case_sensitive_like = ON");
    sqlitePass(db.get(), kAllSql); // both sides start with the file in the page cache

    TForm1 form;
    form.openCatalogue(scratch.path() + "/", "Files.db");
    form.Update();
    std::vector<double> tree;
    for (int round = 0; round < kRounds; ++round)
        tree.push_back(timeMs([&] { form.Update(); }));
    bench::report("tree.update.ms", bench::median(tree), "ms");

    // Memory of the first full listing, beyond what SQLite holds itself.
    const double rssBefore = bench::residentMb();
    const sqlite3_int64 sqliteBefore = sqlite3_memory_used();
    const Listing first = listOnce(form, QString());
    const double growth = (bench::residentMb() - rssBefore) * 1024.0 * 1024.0 -
                          static_cast<double>(sqlite3_memory_used() - sqliteBefore);
    bench::report("listing.all.first.ms", first.ms, "ms");
    bench::report("listing.all.bytes_per_row", growth / std::max(first.rows, 1), "B");

    compare(form, db.get(), QString(), kAllSql, "listing.all");
    compare(form, db.get(), QString::fromLatin1(bench::kRareToken), kNameSql, "listing.name");

    // Jumping anywhere in a full listing paints from the kept result.
    listOnce(form, QString());
    form.show();
    form.grab();
    QAbstractItemModel* model = form.DBGrid1->model();
    std::vector<double> jumps;
    for (const int row : {model->rowCount() / 2, model->rowCount() - 1, 17, model->rowCount() / 3})
        jumps.push_back(timeMs([&] {
            form.DBGrid1->scrollTo(model->index(row, 0));
            form.DBGrid1->grab();
        }));
    bench::report("listing.scroll_jump.ms", *std::max_element(jumps.begin(), jumps.end()), "ms");
    return 0;
}
