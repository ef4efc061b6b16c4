#include "MainWindowFixture.h"

#include "platform/Utf8.h"
#include "platform/gui/ShellOpen.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QUrl>

#include <filesystem>

using katalox::platform::upperCase;
using katalox::test::MainWindowFixture;

namespace {

// The grid pop-up's own items on a catalogue of real files in the test's folder, stored
// upper-cased as a scan stores them.
class FileActionsTest : public MainWindowFixture {
protected:
    void SetUp() override {
        song = dir.write("Disk/Music/Song.mp3");
        odd = dir.write("Disk/caf\xE9/R\xE9sum\xE9.txt");
        gone = dir.write("Disk/Music/Gone.txt");
        std::filesystem::remove(gone);
        unplugged = dir.file("Unplugged/DOCS/A.TXT");
        insert({{"SONG.MP3", upperCase(song), "Disk 1"},
                {"R\xE9SUM\xE9.TXT", upperCase(odd), "Disk 1"},
                {"GONE.TXT", upperCase(gone), "Disk 1"},
                {"A.TXT", upperCase(unplugged), "Old Disk"}});
        form.update2();
        katalox::platform::setShellOpenHook([this](const QString& address) { opened << address; });
    }
    void TearDown() override { katalox::platform::setShellOpenHook({}); }

    void onRow(int row, const char* item) {
        form.DBGrid1->setCurrentIndex(form.DBGrid1->model()->index(row, 0));
        form.findChild<QAction*>(item)->trigger();
    }
    // The exact bytes of the local path that an opened address names.
    static std::string pathBytes(const QString& address) {
        const QUrl url(address);
        EXPECT_TRUE(url.isLocalFile()) << address.toStdString();
        return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1())
            .toStdString();
    }

    std::string song, odd, gone, unplugged;
    QStringList opened;
};

TEST_F(FileActionsTest, OpenReachesTheRealFileAndFolderByteForByte) {
    onRow(0, "openContainingFolder");
    onRow(1, "openFile");
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(pathBytes(opened[0]), dir.file("Disk/Music"));
    EXPECT_EQ(pathBytes(opened[1]), odd);
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(FileActionsTest, MissingFilesAndDisksAreNamedAndNothingOpens) {
    const QString stored = QString::fromStdString(upperCase(dir.path()));
    onRow(2, "openFile");
    onRow(3, "openFile");
    onRow(3, "openContainingFolder");
    EXPECT_TRUE(opened.isEmpty());
    const QString notConnected = "The disk \"Old Disk\" is not connected: the folder " + stored +
                                 "/UNPLUGGED/DOCS/ was not found.";
    EXPECT_EQ(dialogs.texts("message"),
              (QStringList{"GONE.TXT is no longer in the folder " +
                               QString::fromStdString(dir.file("Disk/Music")) + ".",
                           notConnected, notConnected}));
    form.Update(); // the grid now shows the Disk ID list: no file to reach
    dialogs.clear();
    form.findChild<QAction*>("copyPath")->trigger();
    EXPECT_EQ(dialogs.texts("message"), QStringList{"Select a file in the list first."});
}

TEST_F(FileActionsTest, CopyPathCopiesTheRealPathOrElseTheStoredOne) {
    onRow(0, "copyPath");
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), song);
    onRow(3, "copyPath");
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), upperCase(unplugged));
    EXPECT_TRUE(dialogs.shown().empty());
}

} // namespace
