// The disk browser over a scanned disk, opened from the tree and from the grid.
#include "MainWindowFixture.h"

#include "platform/gui/ShellOpen.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/DiskContents.h"
#include "widgets/FolderListModel.h"
#include "windows/ArchiveMemberOpener.h"
#include "windows/DiskBrowserWindow.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QUrl>

#include <cstdlib>
#include <fstream>

using katalox::test::MainWindowFixture;

namespace {

class DiskBrowserTest : public MainWindowFixture {
protected:
    void SetUp() override {
        dir.write("disk/Photos/2019/Holidays/IMG_0042.jpg", "12345");
        dir.write("disk/Photos/2019/Holidays/Beach.png", "12");
        dir.write("disk/Photos/Notes.txt", "1");
        dir.write("disk/Music/Song.mp3", "123");
        const katalox::scanner::WalkRules rules{dir.file("disk/"), "*", "*"};
        const std::vector<std::string> paths = katalox::test::listedFiles(rules);
        openCatalogue();
        insertScan({"Photos", rules}, paths);
        form.Update();
        browser = form.diskBrowserWindow;
        list = browser->findChild<QTableView*>("folderList");
    }

    // The names the folder list shows, top to bottom.
    QStringList names() const {
        QStringList shown;
        for (int row = 0; row < list->model()->rowCount(); ++row)
            shown << list->model()->index(row, 0).data().toString();
        return shown;
    }
    QString folderShown() const {
        return QString::fromStdString(browser->contents()->pathOf(browser->currentFolder()));
    }
    void openFolderRow(const QString& name) {
        const int row = static_cast<int>(names().indexOf(name));
        ASSERT_GE(row, 0) << name.toStdString();
        list->setCurrentIndex(list->model()->index(row, 0));
        QTest::keyClick(list, Qt::Key_Return);
    }

    DiskBrowserWindow* browser = nullptr;
    QTableView* list = nullptr;
};

TEST_F(DiskBrowserTest, TheTreeOpensTheDiskAndTheKeysWalkIt) {
    form.TreeView1->setCurrentItem(node("Photos"));
    form.findChild<QAction*>("browseThisDisk")->trigger();
    ASSERT_TRUE(browser->isVisible());
    browser->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(browser));
    EXPECT_EQ(folderShown().toStdString(), dir.file("disk/"));
    EXPECT_EQ(names(), (QStringList{"Music", "Photos"}));

    openFolderRow("Photos");
    openFolderRow("2019");
    openFolderRow("Holidays");
    EXPECT_EQ(names(), (QStringList{"Beach.png", "IMG_0042.jpg"}));
    QTest::keyClick(list, Qt::Key_Backspace);
    EXPECT_EQ(folderShown().toStdString(), dir.file("disk/Photos/2019/"));
    QTest::keyClick(browser, Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(folderShown().toStdString(), dir.file("disk/Photos/2019/Holidays/"));
    QTest::keyClick(browser, Qt::Key_Right, Qt::AltModifier);
    QTest::keyClick(browser, Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(folderShown().toStdString(), dir.file("disk/Photos/"));

    // Folders first, then files; sorted by size, and filtered.
    list->sortByColumn(katalox::widgets::FolderListModel::Size, Qt::DescendingOrder);
    EXPECT_EQ(names(), (QStringList{"2019", "Notes.txt"}));
    QTest::keyClick(browser, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(browser->findChild<QLineEdit*>("filter"), "note");
    EXPECT_EQ(names(), (QStringList{"Notes.txt"}));
}

TEST_F(DiskBrowserTest, TheGridShowsItsFileSelectedAndCopiesItsRealPath) {
    form.update2();
    const int row = static_cast<int>(gridColumn(1).indexOf("IMG_0042.JPG"));
    ASSERT_GE(row, 0);
    form.DBGrid1->setCurrentIndex(form.DBGrid1->model()->index(row, 0));
    form.findChild<QAction*>("copyPath")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              dir.file("disk/Photos/2019/Holidays/IMG_0042.jpg"));

    form.findChild<QAction*>("showInDiskBrowser")->trigger();
    EXPECT_EQ(folderShown().toStdString(), dir.file("disk/Photos/2019/Holidays/"));
    const QModelIndexList selected = list->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.front().data().toString(), "IMG_0042.jpg");
    browser->copyPath();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              dir.file("disk/Photos/2019/Holidays/IMG_0042.jpg"));
}

TEST_F(DiskBrowserTest, RecordsDeletedByAnotherProgramLeaveTheOpenBrowser) {
    form.TreeView1->setCurrentItem(node("Photos"));
    form.browseThisDisk();
    openFolderRow("Photos");
    openFolderRow("2019");
    openFolderRow("Holidays");
    runElsewhere("DELETE FROM \"Files\" WHERE \"File Name\" = 'BEACH.PNG'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return names() == QStringList{"IMG_0042.jpg"}; }, 5000));
    // Its folder emptied, the browser goes up to the nearest folder still holding files.
    runElsewhere("DELETE FROM \"Files\" WHERE \"File Name\" = 'IMG_0042.JPG'");
    EXPECT_TRUE(QTest::qWaitFor([&] { return names() == QStringList{"Notes.txt"}; }, 5000));
    EXPECT_EQ(folderShown().toStdString(), dir.file("disk/Photos/"));
    runElsewhere("DELETE FROM \"Files\"");
    EXPECT_TRUE(QTest::qWaitFor([&] { return names().isEmpty(); }, 5000));
}

TEST_F(DiskBrowserTest, AMemberOfAnArchiveOpensAsACopyAndItsFolderIsTheArchives) {
    dir.write("zips/src/Notes/Plan.txt", "the plan");
    ASSERT_EQ(std::system(("cd " + dir.file("zips/src") +
                           " && zip -qr ../Work.zip Notes && cd .. && rm -r src")
                              .c_str()),
              0);
    const katalox::scanner::WalkRules rules{dir.file("zips/"), "*", "*"};
    const std::vector<std::string> paths = katalox::test::listedFiles(rules);
    insertScan({"Zips", rules}, paths);
    form.Update();
    QStringList opened;
    katalox::platform::setShellOpenHook([&](const QString& address) { opened << address; });
    const auto openedPath = [&](int i) { return QUrl(opened.value(i)).toLocalFile(); };

    form.update2();
    const int row = static_cast<int>(gridColumn(1).indexOf("PLAN.TXT"));
    ASSERT_GE(row, 0);
    form.DBGrid1->setCurrentIndex(form.DBGrid1->model()->index(row, 0));
    form.findChild<QAction*>("openFile")->trigger();
    form.findChild<QAction*>("openContainingFolder")->trigger();
    form.findChild<QAction*>("showInDiskBrowser")->trigger();
    EXPECT_EQ(folderShown().toStdString(), dir.file("zips/Work.zip//Notes/"));
    EXPECT_EQ(names(), QStringList{"Plan.txt"});
    browser->openSelected();
    browser->openContainingFolder();
    ASSERT_EQ(opened.size(), 4);
    EXPECT_TRUE(dialogs.shown().empty());
    for (const int copy : {0, 2}) {
        EXPECT_TRUE(openedPath(copy).startsWith(ArchiveMemberOpener::copiesFolder() + "/"));
        EXPECT_TRUE(openedPath(copy).endsWith("/Plan.txt"));
        EXPECT_EQ(katalox::test::fileContent(openedPath(copy).toStdString()), "the plan");
    }
    EXPECT_NE(openedPath(0), openedPath(2)); // each copy in a folder of its own
    EXPECT_EQ(openedPath(1).toStdString(), dir.file("zips"));
    EXPECT_EQ(openedPath(3).toStdString(), dir.file("zips/")); // as the browser gives folders

    // The archive rewritten since: nothing opens, and the message says why.
    std::ofstream(dir.file("zips/Work.zip"), std::ios::trunc) << "no longer a zip";
    browser->openSelected();
    EXPECT_EQ(opened.size(), 4);
    EXPECT_TRUE(dialogs.texts("message").value(0).contains("has changed since it was scanned"));
    katalox::platform::setShellOpenHook({});
}

} // namespace
