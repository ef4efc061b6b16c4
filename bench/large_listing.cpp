// Listings and Disk ID commands through the main window over ten million records, answered
// from the substring index. Run by `make bench-large`. An argument names a catalogue file to
// reuse across runs: generated there when missing, then copied, so it stays as it was. First
// the same listings on a catalogue on the server that KATALOX_BENCH_POSTGRES names, of
// KATALOX_BENCH_PG_RECORDS records (ten million unless told).
#include "BenchUtil.h"
#include "BrowserBench.h"
#include "CatalogData.h"
#include "CopiesBench.h"
#include "ServerListing.h"
#include "SyntheticPrints.h"

#include "common/ScriptedDialogs.h"
#include "store/dataset/Query.h"
#include "widgets/DBGrid.h"
#include "windows/Forms.h"
#include "windows/TForm1.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <unistd.h>

using namespace katalox;

namespace {

constexpr std::int64_t kRecords = 10000000;
constexpr int kDisks = 300;
constexpr int kRounds = 3;

double timeMs(const std::function<void()>& work) {
    const double start = bench::nowMs();
    work();
    return bench::nowMs() - start;
}

// A listing as the user sees it: the statement run, the count shown, the first page painted.
double listMs(TForm1& form) {
    return timeMs([&] {
        form.update2();
        form.DBGrid1->grab();
    });
}

double medianListMs(TForm1& form, const char* name, const char* mask, const char* path) {
    form.Edit1->setText(QString::fromLatin1(name));
    form.ComboBox1->blockSignals(true);
    form.ComboBox1->setCurrentText(QString::fromLatin1(mask));
    form.ComboBox1->blockSignals(false);
    form.Edit2->setText(QString::fromLatin1(path));
    std::vector<double> rounds;
    for (int round = 0; round < kRounds; ++round)
        rounds.push_back(listMs(form));
    std::printf("  %s/%s/%s: %d records\n", name, mask, path, form.DBGrid1->recordCount());
    return bench::median(rounds);
}

double bytesOf(sqlite3* db, const std::string& condition) {
    const store::SqliteStatement statement =
        store::prepareSqlite(db, "SELECT sum(pgsize) FROM dbstat WHERE " + condition);
    sqlite3_step(statement.get());
    return sqlite3_column_double(statement.get(), 0);
}

// The listings below on a server catalogue, with the same filters: the statement, its count and
// its first page.
void measureServerListings(std::int64_t records) {
    const std::string uri = bench::freshDatabase("bench_large");
    const std::string size =
        records % 1000000 == 0 ? std::to_string(records / 1000000) + "m" : std::to_string(records);
    bench::report("pg.catalogue.make." + size + ".ms",
                  timeMs([&] { bench::makeLargeServerCatalog(uri, records, kDisks); }), "ms");
    const auto measure = [&](const char* figure, const char* name, const char* path,
                             std::optional<std::string> diskId = std::nullopt) {
        store::ListingFilters filters;
        filters.fileName = name;
        filters.path = path;
        filters.diskId = std::move(diskId);
        bench::ServerListing listing;
        std::vector<double> rounds;
        for (int round = 0; round < kRounds; ++round)
            rounds.push_back(timeMs([&] { listing = bench::listOnServer(uri, filters); }));
        std::printf("  %s/%s/%s: %lld records, %d on the first page\n", filters.fileName.c_str(),
                    filters.mask.c_str(), filters.path.c_str(),
                    static_cast<long long>(listing.count), listing.pageRecords);
        bench::report(std::string("pg.listing.") + figure + "." + size + ".ms",
                      bench::median(rounds), "ms");
    };
    measure("all", "", "");
    measure("name", "4242424.", "");
    measure("path", "", bench::kRareFolder);
    // The last disk's, as selecting it in the tree lists it.
    measure("disk", "", "", "Backup Disk " + std::to_string(1000 + kDisks - 1));
}

void selectDiskId(TForm1& form, const QString& diskId) {
    const QList<QTreeWidgetItem*> found =
        form.TreeView1->findItems(diskId, Qt::MatchExactly | Qt::MatchRecursive);
    if (found.isEmpty())
        throw std::runtime_error("no Disk ID " + diskId.toStdString());
    form.TreeView1->setCurrentItem(found.front());
}

} // namespace

int main(int argc, char** argv) {
    if (bench::benchServer().empty()) {
        std::printf("  no server (KATALOX_BENCH_POSTGRES): the server's listings are left out\n");
    } else {
        const char* records = std::getenv("KATALOX_BENCH_PG_RECORDS");
        try {
            measureServerListings(records && *records ? std::atoll(records) : kRecords);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "large_listing: the server's listings: %s\n", error.what());
            return 1;
        }
    }
    QApplication application(argc, argv);
    test::ScriptedDialogs dialogs;
    bench::ScratchDir scratch;
    const std::string file = scratch.path() + "/Files.db";
    const std::string kept = argc > 1 ? argv[1] : "";
    if (kept.empty() || !std::filesystem::exists(kept)) {
        const double made = timeMs([&] { bench::makeLargeCatalog(file, kRecords, kDisks); });
        bench::report("catalogue.make.10m.ms", made, "ms");
        if (!kept.empty())
            std::filesystem::copy_file(file, kept);
    } else {
        std::filesystem::copy_file(kept, file);
    }
    // Prints for every record, and a disk of a million of them whose coverage is asked for.
    const double printed = timeMs([&] {
        bench::addSyntheticPrints(file);
        const store::SqliteConnection db = store::openSqlite(file);
        bench::execute(db.get(), "UPDATE Files SET \"Disk ID\" = 'Covered Disk' WHERE Id BETWEEN "
                                 "4000001 AND 5000000");
    });
    std::printf("  prints added in %.0f ms\n", printed);
    // A catalogue lies on the disk, not in gigabytes of unwritten pages that the first commit
    // below would have to flush.
    ::sync();
    {
        const store::SqliteConnection db = store::openSqlite(file, SQLITE_OPEN_READONLY);
        const double records = static_cast<double>(kRecords);
        bench::report("index.bytes_per_row",
                      bytesOf(db.get(), "name LIKE 'FilesSearch%'") / records, "B");
        // The records and their indexes as before the prints, and the prints on their own.
        const std::string prints = "(name IN ('Print Runs', 'File Prints', 'Copy Groups', "
                                   "'Copy Groups Waste') OR name LIKE 'sqlite_autoindex_Copy%')";
        bench::report("catalogue.bytes_per_row", bytesOf(db.get(), "NOT " + prints) / records, "B");
        bench::report("fingerprint.10m.bytes_per_row",
                      bytesOf(db.get(), "name = 'Print Runs'") / records, "B");
        bench::report("fingerprint.10m.index_bytes_per_row",
                      bytesOf(db.get(), prints + " AND name <> 'Print Runs'") / records, "B");
        // The listings below start with the file in the page cache, as after any earlier one.
        bench::execute(db.get(), "SELECT count(*) FROM Files WHERE \"File Size\" < 0");
    }

    TForm1 form;
    Form1 = &form;
    form.openCatalogue(scratch.path() + "/", "Files.db");
    form.resize(800, 600);
    form.show();
    form.Update();

    {
        store::Catalog catalog = form.catalog();
        bench::measureCopies(catalog, "Covered Disk", "10m");
    }

    const double rssBefore = bench::residentMb();
    bench::report("listing.all.10m.ms", listMs(form), "ms");
    const int listed = form.DBGrid1->recordCount();
    std::printf("  all disks: %d records\n", listed);
    bench::report("listing.all.10m.rss_mb", bench::residentMb(), "MB");
    bench::report("listing.all.10m.rss_growth_mb", bench::residentMb() - rssBefore, "MB");
    double jump = 0;
    for (const int record : {listed / 2, listed - 1, 17, listed / 3})
        jump = std::max(jump, timeMs([&] {
                            form.DBGrid1->setCurrentRecord(record);
                            form.DBGrid1->grab();
                        }));
    bench::report("listing.all.10m.scroll_jump.ms", jump, "ms");

    bench::report("listing.name.10m.ms", medianListMs(form, "4242424.", "", ""), "ms");
    bench::report("listing.path.10m.ms", medianListMs(form, "", "", bench::kRareFolder), "ms");
    bench::report("listing.mask.10m.ms", medianListMs(form, "", "MP3", ""), "ms");
    bench::report("listing.rare_mask.10m.ms", medianListMs(form, bench::kRareToken, "MP3", ""),
                  "ms");

    // Typing the mask relists at every keystroke.
    form.ComboBox1->setCurrentText(QString());
    form.Edit1->clear();
    form.Edit2->clear();
    bench::report("listing.mask_typing.10m.ms", timeMs([&] {
                      for (const char* typed : {"M", "MP", "MP3"})
                          form.ComboBox1->setCurrentText(QString::fromLatin1(typed));
                      form.DBGrid1->grab();
                  }),
                  "ms");

    // The Disk ID commands each rebuild the tree and list every record again.
    form.ComboBox1->setCurrentText(QString());
    const QString bigDisk = QStringLiteral("Backup Disk 1000");
    selectDiskId(form, bigDisk);
    dialogs.answerInput(QStringLiteral("Renamed Disk"));
    dialogs.answerConfirm(true);
    bench::report("rename.100k.ms", timeMs([&] {
                      form.RenameCatalog1Click();
                      form.DBGrid1->grab();
                  }),
                  "ms");
    selectDiskId(form, QStringLiteral("Renamed Disk"));
    dialogs.answerConfirm(true);
    bench::report("deletediskid.100k.ms", timeMs([&] {
                      form.DeleteCatalog1Click();
                      form.DBGrid1->grab();
                  }),
                  "ms");
    std::printf("  after delete: %d records listed\n", form.DBGrid1->recordCount());

    bench::report(
        "cli.find.10m.ms",
        bench::medianProcessMs({KATALOX_CLI, "--catalog", file, "find", bench::kRareToken}), "ms");

    // A disk of a million files inserted with its facts, then browsed.
    {
        const bench::TreeDir treeDir(scratch.path() + "/million");
        const std::string tree = treeDir.path() + "/tree";
        bench::makeMillionTree(tree);
        bench::makeWideFolder(tree);
        store::Catalog catalog = form.catalog();
        bench::insertTree(catalog, tree, "Browsed Disk");
        bench::measureBrowser(catalog, "Browsed Disk", "1m");
    }
    Form1 = nullptr;
    return 0;
}
