// The main window on a catalogue on the test server: its tree with the disks connected here, a
// listing, renaming and deleting a Disk ID, and a server restarted under the open window.
#include "MainWindowFixture.h"
#include "platform/Volume.h"
#include "platform/gui/ShellOpen.h"
#include "postgres/PostgresTest.h"
#include "store/catalog/DiskContents.h"
#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgInsert.h"
#include "store/postgres/PgListInsert.h"
#include "store/postgres/ServerCatalogue.h"
#include "windows/DiskBrowserWindow.h"
#include "windows/UpdateDiskWindow.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace katalox::test {
namespace {

class ServerWindowTest : public PostgresCatalogueTest {
protected:
    // A scan of a folder of `files` files under `diskId`, inserted as the scan window does.
    void scan(const std::string& diskId, int files, bool fingerprints = false) {
        const std::string folder = dir.file(diskId) + "/";
        std::filesystem::create_directory(folder);
        std::vector<std::string> paths;
        for (int i = 0; i < files; ++i) {
            paths.push_back(folder + "file" + std::to_string(i) + ".txt");
            std::ofstream(paths.back()) << i;
        }
        store::PgConnection db(uri);
        store::insertListOnServer(
            db, "Files", store::scanStarting(diskId, {folder, "*", "*"}, files), paths.size(),
            [&](std::size_t i) { return std::string_view(paths[i]); }, {}, fingerprints);
    }

    void openWindow() {
        form.openCatalogue(uri, "Files.db");
        form.Update();
    }

    QStringList diskIdNodes() const {
        QStringList texts;
        for (int i = 0; i < form.TreeView1->topLevelItem(0)->childCount(); ++i)
            texts << form.TreeView1->topLevelItem(0)->child(i)->text(0);
        return texts;
    }

    void select(const QString& diskId) {
        const auto found = form.TreeView1->findItems(diskId, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_FALSE(found.isEmpty()) << diskId.toStdString();
        form.TreeView1->setCurrentItem(found.front());
    }

    void trigger(const char* action) { form.findChild<QAction*>(action)->trigger(); }

    std::vector<std::string> recordedDisks() {
        return column("SELECT \"Disk ID\" FROM \"Files Disks\" ORDER BY \"Id\"");
    }

    TempDir dir;
    ScriptedDialogs dialogs;
    TForm1 form;
};

TEST_F(ServerWindowTest, TheTreeListsAndItsCommandsChangeTheDiskIdWithItsScans) {
    scan("DOCS", 3);
    scan("KEEP", 2);
    openWindow();
    EXPECT_EQ(diskIdNodes(), (QStringList{"DOCS", "KEEP"}));
    // Scanned on this machine, so connected here.
    EXPECT_EQ(form.TreeView1->topLevelItem(0)->child(0)->toolTip(0).left(12),
              QString("Connected at"));
    select("DOCS");
    EXPECT_EQ(form.Label2->text(), QString("Record Count: 3"));
    // An extension typed lists once typing pauses, not at every key.
    QTest::keyClicks(form.ComboBox1->lineEdit(), "ZIP");
    EXPECT_EQ(form.Label2->text(), QString("Record Count: 3"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.Label2->text() == "Record Count: 0"; }));
    form.ComboBox1->setEditText(QString());
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.Label2->text() == "Record Count: 3"; }));

    dialogs.answerInput("RENAMED");
    dialogs.answerConfirm(true);
    trigger("RenameCatalog1");
    EXPECT_EQ(diskIdNodes(), (QStringList{"KEEP", "RENAMED"}));
    EXPECT_EQ(recordedDisks(), (std::vector<std::string>{"RENAMED", "KEEP"}));

    select("KEEP");
    dialogs.answerConfirm(true);
    trigger("DeleteCatalog1");
    EXPECT_EQ(diskIdNodes(), (QStringList{"RENAMED"}));
    EXPECT_EQ(recordedDisks(), (std::vector<std::string>{"RENAMED"}));
    EXPECT_EQ(column("SELECT count(*) FROM \"Files\""), std::vector<std::string>{"3"});
    EXPECT_TRUE(dialogs.texts("error").isEmpty())
        << dialogs.texts("error").join("\n").toStdString();
}

TEST_F(ServerWindowTest, UpdateThisDiskAppliesTheDisksChangesOnTheServer) {
    scan("Docs", 3);
    dir.write("Docs/file1.txt", "grown");
    std::filesystem::remove(dir.file("Docs/file2.txt"));
    dir.write("Docs/New.txt", "new");
    openWindow();
    select("Docs");
    trigger("updateThisDisk");
    UpdateDiskWindow* updater = form.diskUpdateWindow;
    EXPECT_EQ(updater->findChild<QLabel*>("summaryLabel")->text(),
              "1 added, 1 removed, 1 changed, 1 unchanged.")
        << dialogs.texts("message").join("\n").toStdString();
    updater->findChild<QPushButton*>("applyButton")->click();
    EXPECT_EQ(column("SELECT \"File Name\" || ':' || \"File Size\" FROM \"Files\" ORDER BY \"Id\""),
              (std::vector<std::string>{"FILE0.TXT:1", "FILE1.TXT:5", "NEW.TXT:3"}));
    // The file added keeps its real name, which the disk browser and Copy Path show.
    select("Docs");
    form.DBGrid1->setCurrentIndex(form.DBGrid1->model()->index(2, 0));
    form.findChild<QAction*>("copyPath")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), dir.file("Docs/New.txt"));
    EXPECT_TRUE(dialogs.texts("error").isEmpty())
        << dialogs.texts("error").join("\n").toStdString();
}

TEST_F(ServerWindowTest, AListedFileOpensWhereItsDiskIsConnectedHere) {
    scan("Docs", 2);
    openWindow();
    select("Docs");
    QStringList opened;
    platform::setShellOpenHook([&](const QString& address) { opened << address; });
    form.DBGrid1->setCurrentIndex(form.DBGrid1->model()->index(1, 0));
    form.findChild<QAction*>("openFile")->trigger();
    platform::setShellOpenHook({});
    ASSERT_EQ(opened.size(), 1) << dialogs.texts("message").join("\n").toStdString();
    // In its real letter case, found through the place of its scan.
    EXPECT_EQ(QUrl(opened[0]).toLocalFile().toStdString(), dir.file("Docs/file1.txt"));
}

TEST_F(ServerWindowTest, TheDiskBrowserAndCopyPathShowTheRealNamesOfTheScan) {
    scan("Docs", 2);
    std::filesystem::rename(dir.file("Docs"), dir.file("Moved")); // the disk is not here now
    openWindow();
    select("Docs");
    form.DBGrid1->setCurrentIndex(form.DBGrid1->model()->index(1, 0));
    form.findChild<QAction*>("copyPath")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), dir.file("Docs/file1.txt"));

    trigger("showInDiskBrowser");
    const auto* browser = form.findChild<DiskBrowserWindow*>();
    ASSERT_TRUE(browser && browser->contents())
        << dialogs.texts("message").join("\n").toStdString();
    const store::DiskContents& disk = *browser->contents();
    EXPECT_EQ(disk.totalFiles(), 2);
    EXPECT_EQ(disk.totalBytes(), 2);
    ASSERT_EQ(disk.roots().size(), 1u);
    EXPECT_EQ(disk.pathOf(browser->currentFolder()), dir.file("Docs/"));
    std::vector<std::string> names;
    for (const store::ContentsFile& file : disk.filesIn(browser->currentFolder()))
        names.push_back(file.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"file0.txt", "file1.txt"}));

    // Another program deletes a record: the open browser follows.
    column("DELETE FROM \"Files\" WHERE \"File Name\" = 'FILE0.TXT'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return browser->contents()->totalFiles() == 1; }, 10000));
}

TEST_F(ServerWindowTest, AMemberOfAnArchiveOpensFromItsCopyAndItsArchivesFolder) {
    dir.write("src/plan.txt", std::string("the\0plan", 8));
    const std::string folder = dir.mkdir("Zips") + "/";
    ASSERT_EQ(std::system(
                  ("cd " + dir.file("src") + " && zip -q " + folder + "work.zip plan.txt").c_str()),
              0);
    const std::vector<std::string> paths = {folder + "work.zip"};
    store::insertListOnServer(
        *store::serverConnection(uri), "Files", store::scanStarting("Zips", {folder, "*", "*"}, 1),
        1, [&](std::size_t i) { return std::string_view(paths[i]); }, {}, false,
        store::ArchiveLimits{store::defaultArchiveFormats()});
    openWindow();
    select("Zips");
    QStringList opened;
    platform::setShellOpenHook([&](const QString& address) { opened << address; });
    form.DBGrid1->setCurrentIndex(form.DBGrid1->model()->index(1, 0));
    form.findChild<QAction*>("openFile")->trigger();
    form.findChild<QAction*>("openContainingFolder")->trigger();
    // Its real path, inside its archive's.
    form.findChild<QAction*>("copyPath")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), folder + "work.zip//plan.txt");
    // And from the disk browser, where the record's row is shown inside its archive.
    form.findChild<QAction*>("showInDiskBrowser")->trigger();
    auto* browser = form.findChild<DiskBrowserWindow*>();
    ASSERT_TRUE(browser && browser->contents());
    browser->openSelected();
    platform::setShellOpenHook({});
    ASSERT_EQ(opened.size(), 3) << dialogs.texts("message").join("\n").toStdString();
    for (const int copy : {0, 2})
        EXPECT_EQ(fileContent(QUrl(opened[copy]).toLocalFile().toStdString()),
                  std::string("the\0plan", 8));
    EXPECT_EQ(QUrl(opened[1]).toLocalFile().toStdString() + "/", folder);
}

// A server of its own, restarted under the open window: the restart drops the window's
// connection as it reads the listing.
TEST_F(ServerWindowTest, AServerRestartedUnderTheWindowIsToldAndTheNextListingConnectsAgain) {
    // Stopped and removed however the test ends.
    struct OwnServer {
        const std::string dir = "/tmp/katalox-restart-" + std::to_string(::getpid());
        int run(const char* action) const {
            return std::system(
                (std::string(KATALOX_TEST_SERVER) + " " + action + " " + dir).c_str());
        }
        ~OwnServer() { run("stop"); }
    } server;
    ASSERT_EQ(server.run("start"), 0);
    const std::string own = "postgresql:///postgres?host=" + server.dir + "&user=katalox";
    store::initialiseCatalogue(own);
    {
        store::PgConnection db(own);
        store::PgInsert insert(db, "Files");
        for (int i = 0; i < 1500; ++i)
            insert.add("/D/F" + std::to_string(i), "D", i);
        insert.finish();
    }
    form.openCatalogue(own, "Files.db");
    form.update2();
    ASSERT_EQ(form.DBGrid1->model()->rowCount(), 1500);
    EXPECT_EQ(server.run("restart"), 0);
    const QAbstractItemModel* grid = form.DBGrid1->model();
    EXPECT_FALSE(grid->data(grid->index(1400, 0), Qt::DisplayRole).isValid());
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs.texts("message").size(), 1);
    EXPECT_TRUE(dialogs.texts("message").front().startsWith("The catalogue on the server cannot be "
                                                            "read now"))
        << dialogs.texts("message").front().toStdString();
    form.update2();
    EXPECT_EQ(grid->data(grid->index(1400, 0), Qt::DisplayRole).toString(), QString("1401"));
}

} // namespace
} // namespace katalox::test

namespace katalox::test {
namespace {

TEST_F(ServerWindowTest, TheCopiesWindowAndVerifyThisDiskWorkOnTheServer) {
    // Each file of KEEP has the content of the file of the same name on DOCS.
    scan("DOCS", 3, true);
    scan("KEEP", 2, true);
    openWindow();
    trigger("copies");
    auto* copies = form.findChild<QWidget*>("copies");
    ASSERT_TRUE(copies && copies->isVisible());
    EXPECT_EQ(copies->findChild<QTreeWidget*>("groups")->topLevelItemCount(), 2);
    auto* disks = copies->findChild<QTableWidget*>("disks");
    ASSERT_EQ(disks->rowCount(), 2);
    disks->selectRow(1);
    copies->findChild<QPushButton*>("showCoverage")->click();
    EXPECT_EQ(disks->item(1, 2)->text(), QString("100.0%"));

    // Verified from the tree, the disk's verification is told in the copies window too.
    select("KEEP");
    trigger("verifyThisDisk");
    auto* heading = form.findChild<QLabel*>("verifyHeading");
    ASSERT_TRUE(heading);
    EXPECT_TRUE(heading->text().startsWith("Verified: 2 files read whole."))
        << heading->text().toStdString();
    trigger("copies");
    EXPECT_TRUE(disks->item(1, 3)->text().startsWith("verified on"));

    // A file's other copies, from the disk browser.
    trigger("browseThisDisk");
    auto* browser = form.findChild<DiskBrowserWindow*>();
    ASSERT_TRUE(browser && browser->contents());
    auto* list = browser->findChild<QAbstractItemView*>("folderList");
    list->selectionModel()->select(list->model()->index(0, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    browser->findChild<QPushButton*>("otherCopies")->click();
    auto* others = browser->findChild<QAbstractItemView*>("copies");
    ASSERT_TRUE(others) << dialogs.texts("error").join("\n").toStdString();
    EXPECT_EQ(others->model()->rowCount(), 1);
}

} // namespace
} // namespace katalox::test
