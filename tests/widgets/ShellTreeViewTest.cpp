#include "widgets/ShellTreeView.h"
#include "common/TempDir.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

using katalox::test::TempDir;
using katalox::widgets::ShellTreeView;

namespace {

QStringList childTexts(QTreeWidgetItem* item) {
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}

} // namespace

TEST(ShellTreeView, FirstShowFillsOnceAndSelectsTheComputer) {
    ShellTreeView tree;
    QSignalSpy changed(&tree, &ShellTreeView::selectedFolderChanged);
    EXPECT_EQ(tree.topLevelItemCount(), 0);
    EXPECT_EQ(tree.selectedPath(), "");

    tree.show();
    tree.hide();
    tree.show();
    EXPECT_EQ(changed.count(), 1);
    ASSERT_EQ(tree.topLevelItemCount(), 1);
    EXPECT_EQ(tree.selectedDisplayText(), QStringLiteral("Computer"));
    EXPECT_EQ(tree.selectedPath(), ShellTreeView::kComputerPath);
    EXPECT_NE(tree.selectedPath().front(), '/'); // nothing can be enumerated under it

    QTreeWidgetItem* computer = tree.topLevelItem(0);
    const QStringList tops = childTexts(computer);
    ASSERT_FALSE(tops.isEmpty());
    EXPECT_EQ(tops.front(), QStringLiteral("/"));
    if (QDir::homePath() != QStringLiteral("/")) {
        EXPECT_TRUE(tops.contains(QFileInfo(QDir::homePath()).fileName()));
    }
}

TEST(ShellTreeView, ExpandsLazilyShowingVisibleFoldersOnly) {
    TempDir dir;
    dir.mkdir("Music/Rock");
    dir.mkdir("Photos");
    dir.mkdir(".cache/inner");
    dir.write("notes.txt", "x");
    dir.write("Photos/a.jpg", "x");

    ShellTreeView tree;
    ASSERT_TRUE(tree.selectPath(dir.path() + "/"));
    EXPECT_EQ(tree.selectedPath(), dir.path());
    EXPECT_EQ(tree.selectedDisplayText().toStdString(),
              std::filesystem::path(dir.path()).filename().string());

    QTreeWidgetItem* folder = tree.currentItem();
    EXPECT_EQ(folder->childCount(), 0); // not read before it is expanded
    folder->setExpanded(true);
    EXPECT_EQ(childTexts(folder), (QStringList{"Music", "Photos"}));

    QTreeWidgetItem* photos = folder->child(1);
    photos->setExpanded(true);
    EXPECT_EQ(photos->childCount(), 0);
    EXPECT_EQ(photos->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);

    ASSERT_TRUE(tree.selectPath(dir.path() + "/Music/Rock"));
    EXPECT_EQ(tree.selectedPath(), dir.path() + "/Music/Rock");
    EXPECT_FALSE(tree.selectPath(dir.path() + "/.cache/inner"));
    EXPECT_FALSE(tree.selectPath(dir.path() + "/missing"));
    EXPECT_FALSE(tree.selectPath("relative/path"));
    EXPECT_TRUE(tree.selectPath("/"));
    EXPECT_EQ(tree.selectedPath(), "/");
    EXPECT_EQ(tree.selectedDisplayText(), QStringLiteral("/"));
}

// Each expansion reads the folder again: what was made since shows up, what is gone goes,
// and the nodes still there (with the selection) stay. A volume mounted since joins the top.
TEST(ShellTreeView, ExpandingAgainReadsTheFolderAgain) {
    TempDir dir;
    dir.mkdir("Old/Inner");
    dir.mkdir("Gone");
    ShellTreeView tree;
    std::string mountTable;
    tree.setMountTableSource([&] { return katalox::platform::parseMountTable(mountTable); });
    ASSERT_TRUE(tree.selectPath(dir.path() + "/Old/Inner"));
    QTreeWidgetItem* folder = tree.currentItem()->parent()->parent();
    QSignalSpy changed(&tree, &ShellTreeView::selectedFolderChanged);

    std::filesystem::remove(dir.file("Gone"));
    dir.mkdir("New");
    folder->setExpanded(false);
    EXPECT_EQ(childTexts(folder), (QStringList{"Gone", "Old"})); // nothing read by itself
    folder->setExpanded(true);
    EXPECT_EQ(childTexts(folder), (QStringList{"New", "Old"}));
    EXPECT_EQ(tree.selectedPath(), dir.path() + "/Old/Inner");
    EXPECT_EQ(changed.count(), 0);

    QTreeWidgetItem* computer = tree.topLevelItem(0);
    mountTable = "22 20 8:17 / /media/ann/NEW\\040DISK rw - vfat /dev/sdb1 rw\n";
    computer->setExpanded(false);
    computer->setExpanded(true);
    EXPECT_EQ(childTexts(computer).back(), QStringLiteral("NEW DISK"));
    EXPECT_EQ(tree.selectedPath(), dir.path() + "/Old/Inner");
}

TEST(ShellTreeView, AnAddedTopFolderIsReachedByItsPath) {
    TempDir dir;
    dir.mkdir("deep/inside");
    ShellTreeView tree;
    tree.addTopFolder(dir.file("deep"));
    EXPECT_EQ(childTexts(tree.topLevelItem(0)).back(), QStringLiteral("deep"));
    ASSERT_TRUE(tree.selectPath(dir.file("deep/inside")));
    EXPECT_EQ(tree.currentItem()->parent()->parent(), tree.topLevelItem(0));
}

TEST(ShellTreeView, KeepsFolderNamesThatAreNotValidUtf8ByteForByte) {
    TempDir dir;
    const std::string odd = "caf\xe9 *?\\";
    dir.mkdir(odd);
    ShellTreeView tree;
    ASSERT_TRUE(tree.selectPath(dir.path() + "/" + odd));
    EXPECT_EQ(tree.selectedPath(), dir.path() + "/" + odd);
    EXPECT_EQ(tree.selectedDisplayText(), QString::fromUtf8("caf\uFFFD *?\\"));
}

TEST(ShellTreeView, RightClickChangesNothing) {
    TempDir dir;
    dir.mkdir("A");
    dir.mkdir("B");
    ShellTreeView tree;
    tree.resize(300, 400);
    tree.show();
    ASSERT_TRUE(tree.selectPath(dir.path() + "/A"));
    QSignalSpy changed(&tree, &ShellTreeView::selectedFolderChanged);
    QTreeWidgetItem* b = tree.currentItem()->parent()->child(1);
    tree.scrollToItem(b);
    const QPoint where = tree.visualItemRect(b).center();

    QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, where);
    EXPECT_EQ(tree.selectedPath(), dir.path() + "/A");
    EXPECT_EQ(changed.count(), 0);

    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, where);
    EXPECT_EQ(tree.selectedPath(), dir.path() + "/B");
    EXPECT_EQ(changed.count(), 1);
}

TEST(ShellTreeView, RemovableVolumesComeFromMountPointsUnderMediaAndMnt) {
    const std::string table = "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                              "21 20 0:5 / /proc rw - proc proc rw\n"
                              "22 20 8:17 / /media/ann/MY\\040DISK rw - vfat /dev/sdb1 rw\n"
                              "23 20 8:33 / /run/media/bob/USB rw shared:5 - vfat /dev/sdc1 rw\n"
                              "24 20 8:49 / /mnt/backup rw - ext4 /dev/sdd1 rw\n"
                              "25 20 8:49 / /mnt/backup rw - ext4 /dev/sdd1 rw\n"
                              "26 20 0:30 / /mnt rw - tmpfs tmpfs rw\n"
                              "27 20 8:65 / /media2/x rw - ext4 /dev/sde1 rw\n"
                              "garbage\n";
    EXPECT_EQ(
        ShellTreeView::removableVolumes(katalox::platform::parseMountTable(table)),
        (std::vector<std::string>{"/media/ann/MY DISK", "/run/media/bob/USB", "/mnt/backup"}));
}
