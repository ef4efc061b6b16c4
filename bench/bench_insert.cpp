// "Insert To DataBase" through the real windows against a plain SQLite baseline: one stat per
// path and one prepared insert per row, all in one transaction.
#include "BenchUtil.h"
#include "GeneratedTree.h"

#include "app/Forms.h"
#include "app/TForm1.h"
#include "platform/gui/ScriptedDialogs.h"
#include "platform/gui/ShellTreeView.h"
#include "scanner/gui/ScanListModel.h"
#include "scanner/gui/TForm2.h"
#include "store/CatalogFile.h"
#include "store/Query.h"
#include "store/Table.h"

#include <QApplication>
#include <QLineEdit>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace katalox::bench;

namespace {

void check(int result, sqlite3* db) {
    if (result != SQLITE_OK && result != SQLITE_DONE && result != SQLITE_ROW)
        throw std::runtime_error(sqlite3_errmsg(db));
}

double baselineMs(const std::vector<std::string>& paths, const std::string& catalogue) {
    const double start = nowMs();
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(catalogue.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), db);
    sqlite3_stmt* insert = nullptr;
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO Files (\"File Name\", \"File Path\", \"Disk ID\", "
                             "\"File Size\") VALUES (?, ?, ?, ?)",
                             -1, &insert, nullptr),
          db);
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    for (const std::string& path : paths) {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0)
            continue;
        const std::string name = path.substr(path.rfind('/') + 1);
        sqlite3_bind_text(insert, 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
        sqlite3_bind_text(insert, 2, path.data(), static_cast<int>(path.size()), SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, "bench", 5, SQLITE_STATIC);
        sqlite3_bind_int64(insert, 4, info.st_size);
        check(sqlite3_step(insert), db);
        sqlite3_reset(insert);
    }
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_finalize(insert);
    sqlite3_close(db);
    return nowMs() - start;
}

double windowInsertMs(TForm1& main, TForm2& form, katalox::platform::ScriptedDialogs& dialogs,
                      const std::string& folder) {
    main.Table1->close();
    main.Table1->setDatabaseName(folder);
    main.Table1->setTableName("Files.db");
    main.Table1->open();
    main.Query1->close();
    main.Query1->setDatabaseName(folder);
    dialogs.answerConfirm(true);
    const double start = nowMs();
    form.BitBtn1Click();
    const double ms = nowMs() - start;
    if (form.isVisible())
        throw std::runtime_error("the insert failed");
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    katalox::platform::ScriptedDialogs dialogs;
    TForm1 main;
    Form1 = &main;
    TForm2 form;
    form.show();

    ScratchDir scratch;
    const TreeDir treeDir(scratch.path() + "/files");
    const std::string tree = treeDir.path() + "/tree";
    std::printf("tree: %d files\n", makeScanTree(tree));
    auto* folders = form.findChild<katalox::platform::ShellTreeView*>("ShellTreeView1");
    folders->addTopFolder(tree);
    if (!folders->selectPath(tree))
        throw std::runtime_error("cannot select " + tree);
    form.findChild<QLineEdit*>("Edit3")->setText("bench");
    form.BitBtn2Click();
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < form.listLines().lineCount(); ++i)
        paths.emplace_back(form.listLines().line(i));
    std::printf("listed %zu files\n", paths.size());

    // Each round inserts into fresh catalogues on disk; the best round is the least disturbed
    // by other work on the machine.
    double baseline = 1e100;
    double window = 1e100;
    for (int round = 0; round < 3; ++round) {
        const std::string plain = scratch.path() + "/plain" + std::to_string(round);
        const std::string ours = scratch.path() + "/ours" + std::to_string(round);
        makeFolder(plain);
        makeFolder(ours);
        katalox::store::createEmptyCatalog(plain + "/Files.db");
        katalox::store::createEmptyCatalog(ours + "/Files.db");
        baseline = std::min(baseline, baselineMs(paths, plain + "/Files.db"));
        window = std::min(window, windowInsertMs(main, form, dialogs, ours));
    }
    main.Table1->close();
    report("insert.baseline.ms", baseline, "ms");
    report("insert.200k.ms", window, "ms");
    report("insert.vs_baseline", window / baseline, "x");
    Form1 = nullptr;
    return 0;
}
