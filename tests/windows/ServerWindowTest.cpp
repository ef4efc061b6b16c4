// The main window on a catalogue on the test server: its tree with the disks connected here, a
// listing, renaming and deleting a Disk ID, and a server lost under the open window.
#include "MainWindowFixture.h"
#include "platform/Volume.h"
#include "platform/gui/ShellOpen.h"
#include "postgres/PostgresTest.h"
#include "store/catalog/DiskContents.h"
#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgInsert.h"
#include "store/postgres/PgListInsert.h"
#include "windows/DiskBrowserWindow.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QUrl>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace katalox::test {
namespace {

class ServerWindowTest : public PostgresCatalogueTest {
protected:
    // A scan of a folder of `files` files under `diskId`, inserted as the scan window does.
    void scan(const std::string& diskId, int files) {
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
            [&](std::size_t i) { return std::string_view(paths[i]); });
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
}

TEST_F(ServerWindowTest, AServerLostUnderTheWindowIsToldAndTheNextListingConnectsAgain) {
    {
        store::PgConnection db(uri);
        store::PgInsert insert(db, "Files");
        for (int i = 0; i < 1500; ++i)
            insert.add("/D/F" + std::to_string(i), "D", i);
        insert.finish();
    }
    openWindow();
    form.update2();
    ASSERT_EQ(form.DBGrid1->model()->rowCount(), 1500);
    // What a restart of the server does to the connections it had.
    column("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = "
           "current_database() AND pid <> pg_backend_pid()");
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
