#pragma once
// A main window over a catalogue of its own, with scripted dialogs: a file in a temporary folder,
// or, when KATALOX_TEST_ENGINE is "server", a database of its own on the test server.
#include "common/OtherProgram.h"
#include "common/ScriptedDialogs.h"
#include "common/TempDir.h"
#include "platform/Error.h"
#include "postgres/PostgresTest.h"
#include "store/CatalogFixture.h" // Record
#include "store/catalog/Catalog.h"
#include "store/catalog/CatalogFile.h"
#include "store/catalog/RecordedDisks.h"
#include "store/dataset/Query.h"
#include "store/dataset/Table.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgListInsert.h"
#include "store/postgres/PgText.h"
#include "store/sqlite/Database.h"
#include "widgets/DBGrid.h"
#include "windows/TForm1.h"

#include <QAbstractItemModel>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace katalox::test {

// Whether the window tests run on the test server rather than on catalogue files.
inline bool windowTestsOnServer() {
    const char* engine = std::getenv("KATALOX_TEST_ENGINE");
    return engine && std::string(engine) == "server";
}

// A main window and an empty catalogue of its own.
class MainWindowOnCatalogue {
public:
    MainWindowOnCatalogue() {
        if (windowTestsOnServer()) {
            serverUri = freshTestDatabase();
            if (!serverUri.empty())
                store::initialiseCatalogue(serverUri);
        } else {
            store::createEmptyCatalog(dir.file("Files.db"));
        }
    }

    // Points the table cursor (left open, as the start leaves it) and the statement object at
    // the catalogue.
    void openCatalogue() { form.openCatalogue(onServer() ? serverUri : dir.path(), "Files.db"); }

    // Adds records through the main window's table cursor (on a server, which takes no records
    // from it, as another program would), then opens the catalogue afresh.
    void insert(const std::vector<Record>& records) {
        openCatalogue();
        if (onServer())
            insertOnServer(records);
        else
            for (const Record& record : records)
                postRecord(*form.Table1, record);
        openCatalogue();
    }

    // Inserts a scan's listed files as the scan window does.
    void insertScan(const store::ScanToInsert& scan, const std::vector<std::string>& paths);
    // Runs `sql` (a change, naming the table "Files" quoted) as another program would.
    void runElsewhere(const std::string& sql) const;

    // The first column of the first row of `sql`, as another program reads it; -1 for no row.
    std::int64_t number(const std::string& sql) const;
    // Every record's name, path, Disk ID and size, in Id order.
    std::vector<OtherProgram::Record> records() const;
    // The scans recorded for `diskId`, and one recorded as another program would.
    std::vector<store::RecordedScan> scansOf(const std::string& diskId) const;
    void recordScanElsewhere(const store::RecordedScan& scan) const;

    bool onServer() const { return !serverUri.empty(); }
    // How many records meet `where`, as another program counts them.
    std::int64_t recordCount(const std::string& where = "1 = 1") const;

    // The tree's Disk ID nodes, in order.
    QStringList diskIdNodes() const {
        QStringList texts;
        if (QTreeWidgetItem* root = form.TreeView1->topLevelItem(0))
            for (int i = 0; i < root->childCount(); ++i)
                texts << root->child(i)->text(0);
        return texts;
    }

    QTreeWidgetItem* node(const QString& text) const {
        const auto found = form.TreeView1->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.front();
    }

    // One column of what the grid shows, top to bottom.
    QStringList gridColumn(int column) const {
        const QAbstractItemModel* model = form.DBGrid1->model();
        QStringList values;
        for (int row = 0; row < model->rowCount(); ++row)
            values << model->data(model->index(row, column), Qt::DisplayRole).toString();
        return values;
    }

    TempDir dir;
    std::string serverUri; // empty for a catalogue file
    TForm1 form;

private:
    void insertOnServer(const std::vector<Record>& records) const;
};

inline std::int64_t MainWindowOnCatalogue::recordCount(const std::string& where) const {
    return number("SELECT count(*) FROM \"Files\" WHERE " + where);
}

inline std::int64_t MainWindowOnCatalogue::number(const std::string& sql) const {
    if (!onServer())
        return OtherProgram(dir.file("Files.db")).number(sql);
    const store::PgResult rows = store::PgConnection(serverUri).execute(sql);
    return rows.rows() > 0 ? rows.integer(0, 0) : -1;
}

inline std::vector<OtherProgram::Record> MainWindowOnCatalogue::records() const {
    if (!onServer())
        return OtherProgram(dir.file("Files.db")).records();
    const store::PgResult rows = store::PgConnection(serverUri).execute(
        "SELECT \"File Name\", \"File Path\", \"Disk ID\", \"File Size\" FROM \"Files\" ORDER BY "
        "\"Id\"");
    std::vector<OtherProgram::Record> records;
    for (int row = 0; row < rows.rows(); ++row)
        records.emplace_back(store::fromServerText(rows.text(row, 0)),
                             store::fromServerText(rows.text(row, 1)),
                             store::fromServerText(rows.text(row, 2)), rows.integer(row, 3));
    return records;
}

inline std::vector<store::RecordedScan>
MainWindowOnCatalogue::scansOf(const std::string& diskId) const {
    if (!onServer())
        return store::recordedScans(*store::Database::open(dir.file("Files.db")), diskId);
    store::PgConnection db(serverUri);
    std::vector<store::RecordedScan> scans = store::serverScans(db, "Files");
    std::erase_if(scans, [&](const store::RecordedScan& scan) { return scan.diskId != diskId; });
    return scans;
}

inline void MainWindowOnCatalogue::recordScanElsewhere(const store::RecordedScan& scan) const {
    if (onServer()) {
        store::PgConnection db(serverUri);
        store::recordServerScan(db, "Files", scan);
    } else {
        store::recordScan(*store::Database::open(dir.file("Files.db")), scan);
    }
}

inline void MainWindowOnCatalogue::insertScan(const store::ScanToInsert& scan,
                                              const std::vector<std::string>& paths) {
    const auto pathAt = [&](std::size_t i) { return std::string_view(paths[i]); };
    if (!onServer()) {
        form.catalog().insert(scan, paths.size(), pathAt);
        return;
    }
    store::PgConnection db(serverUri);
    store::insertListOnServer(db, "Files",
                              store::scanStarting(scan.diskId, scan.rules, paths.size()),
                              paths.size(), pathAt, {}, scan.fingerprints, scan.archives);
}

inline void MainWindowOnCatalogue::runElsewhere(const std::string& sql) const {
    if (onServer())
        store::PgConnection(serverUri).execute(sql);
    else
        OtherProgram(dir.file("Files.db")).exec(sql);
}

inline void MainWindowOnCatalogue::insertOnServer(const std::vector<Record>& records) const {
    store::PgConnection db(serverUri);
    for (const Record& record : records)
        db.execute("INSERT INTO \"Files\" (\"File Name\", \"File Path\", \"Disk ID\", \"File "
                   "Size\") VALUES ($1, $2, $3, $4)",
                   {store::toServerText(record.name), store::toServerText(record.path),
                    store::toServerText(record.diskId), std::to_string(record.size)});
}

class MainWindowFixture : public ::testing::Test, public MainWindowOnCatalogue {
protected:
    ScriptedDialogs dialogs;
};

} // namespace katalox::test
