// "Update This Disk..." on a disk of a million files with 1% of them changed, against what a
// user does without it: a fresh scan and insert of the same tree, in the same run.
#include "BenchUtil.h"
#include "GeneratedTree.h"
#include "ScanWindow.h"

#include "common/ScriptedDialogs.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/CatalogFile.h"
#include "store/dataset/Query.h"
#include "store/dataset/Table.h"
#include "widgets/ShellTreeView.h"
#include "windows/Forms.h"
#include "windows/TForm1.h"
#include "windows/TForm2.h"
#include "windows/UpdateDiskWindow.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

using namespace katalox::bench;

namespace {

constexpr int kFolders = 1000;
constexpr int kFilesPerFolder = 1000;

std::string fileName(int folder, int file) {
    return "/folder" + std::to_string(folder) + "/photo-" + std::to_string(file) + ".jpg";
}

void makeTree(const std::string& root) {
    for (int f = 0; f < kFolders; ++f) {
        makeFolder(root + "/folder" + std::to_string(f));
        for (int i = 0; i < kFilesPerFolder; ++i)
            makeFile(root + fileName(f, i));
    }
}

// 1% of the files: a quarter each added, removed, grown and renamed.
void changeTree(const std::string& root) {
    for (int n = 0; n < kFolders * kFilesPerFolder / 400; ++n) {
        const int folder = n % kFolders;
        const int file = n / kFolders * 4;
        makeFile(root + fileName(folder, kFilesPerFolder + n));
        std::remove((root + fileName(folder, file)).c_str());
        std::ofstream(root + fileName(folder, file + 1)) << "grown";
        std::rename((root + fileName(folder, file + 2)).c_str(),
                    (root + fileName(folder, file + 2) + ".renamed.jpg").c_str());
    }
}

void useCatalogue(TForm1& main, const std::string& folder) {
    makeFolder(folder);
    katalox::store::createEmptyCatalog(folder + "/Files.db");
    main.openCatalogue(folder, "Files.db");
}

double scanAndInsertMs(TForm2& form, katalox::test::ScriptedDialogs& dialogs) {
    const double start = nowMs();
    form.BitBtn2Click();
    dialogs.answerConfirm(true);
    form.BitBtn1Click();
    return nowMs() - start;
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    InsertWindows windows;
    katalox::test::ScriptedDialogs& dialogs = windows.dialogs;
    TForm1& main = windows.main;
    TForm2& form = windows.form;

    ScratchDir scratch;
    const TreeDir treeDir(scratch.path() + "/files");
    const std::string tree = treeDir.path() + "/disk";
    makeTree(tree);
    selectStartFolder(form, tree);
    form.findChild<QLineEdit*>("Edit3")->setText("bench");
    form.findChild<QLineEdit*>("Edit2")->setText("jpg");

    useCatalogue(main, scratch.path() + "/updated");
    const double first = scanAndInsertMs(form, dialogs);
    std::printf("first scan and insert: %.0f ms, %zu files\n", first, scanList(form).lineCount());
    changeTree(tree);

    const double start = nowMs();
    main.diskUpdateWindow->updateDisk(main.catalog().diskUpdate("bench"));
    const QString summary = main.diskUpdateWindow->findChild<QLabel*>("summaryLabel")->text();
    const double compared = nowMs() - start;
    main.diskUpdateWindow->applyChanges();
    const double update = nowMs() - start;
    std::printf("update: %s compared in %.0f ms, applied in %.0f ms\n", qPrintable(summary),
                compared, update - compared);

    useCatalogue(main, scratch.path() + "/rescanned");
    const double rescan = scanAndInsertMs(form, dialogs);
    std::printf("rescan listed %zu files\n", scanList(form).lineCount());
    main.Table1->close();
    report("update.rescan.ms", rescan, "ms");
    report("update.1m.ms", update, "ms");
    report("update.vs_rescan", update / rescan, "x");
    return 0;
}
