// "Update This Disk..." and the presence marks of the Disk ID tree, over a disk of fakes: a
// mount table and /dev/disk links of the test's own naming a folder as a mounted volume.
#include "MainWindowFixture.h"
#include "ScanWindowFixture.h"

#include "common/OtherProgram.h"
#include "platform/Utf8.h"
#include "platform/Volume.h"
#include "platform/gui/ShellOpen.h"
#include "store/catalog/RecordedDisks.h"
#include "store/sqlite/Database.h"
#include "windows/Forms.h"
#include "windows/UpdateDiskWindow.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QListView>
#include <QTabWidget>
#include <QUrl>

#include <QTest>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace fs = std::filesystem;

namespace {

class UpdateDiskTest : public ScanWindowTest {
protected:
    UpdateDiskTest() {
        saved_ = katalox::platform::volumeSources();
        window.openCatalogue();
        Form1 = &main;
        device = dir.write("dev/sdz1");
        dir.mkdir("by-uuid");
        linkUuid("AAAA-1111");
        katalox::platform::volumeSources() = {dir.file("mountinfo"), dir.file("by-uuid"),
                                              dir.file("none")};
        disk = dir.mkdir("media/PHOTOS");
        mountAt(disk);
        dir.write("media/PHOTOS/keep.jpg", "1");
        dir.write("media/PHOTOS/grow.jpg", "12");
        dir.write("media/PHOTOS/gone.jpg", "123");
        dir.write("media/PHOTOS/old name.jpg", "1234");
        dir.write("media/PHOTOS/sub/deep.jpg", "12345");
        dir.write("media/PHOTOS/notes.txt", "not matched");
        selectFolder(disk);
        edit("Edit3")->setText("Photos");
        edit("Edit2")->setText("jpg");
        control<QPushButton>("BitBtn2")->click();
        dialogs.answerConfirm(true);
        control<QPushButton>("BitBtn1")->click();
        dialogs.clear();
    }
    ~UpdateDiskTest() override {
        Form1 = nullptr;
        katalox::platform::volumeSources() = saved_;
    }

    void linkUuid(const std::string& uuid) {
        for (const auto& entry : fs::directory_iterator(dir.file("by-uuid")))
            fs::remove(entry.path());
        fs::create_symlink(device, dir.file("by-uuid/" + uuid));
    }
    // The fake device mounted at `where`, or nowhere when empty.
    void mountAt(const std::string& where) {
        struct stat info {};
        ::stat(dir.path().c_str(), &info);
        {
            std::ofstream table(dir.file("mountinfo"), std::ios::trunc);
            if (!where.empty())
                table << "2 1 " << major(info.st_dev) << ":" << minor(info.st_dev) << " / " << where
                      << " rw - vfat " << device << " rw\n";
        }
        main.showDiskPresence();
    }

    QString presence() { return window.node("Photos")->toolTip(0); }
    void updatePhotos() {
        main.TreeView1->setCurrentItem(window.node("Photos"));
        main.findChild<QAction*>("updateThisDisk")->trigger();
    }
    QString summary() { return updater()->findChild<QLabel*>("summaryLabel")->text(); }
    QStringList listed(int tab) {
        auto* view =
            static_cast<QListView*>(updater()->findChild<QTabWidget*>("changeTabs")->widget(tab));
        QStringList rows;
        for (int row = 0; row < view->model()->rowCount(); ++row)
            rows << view->model()->index(row, 0).data().toString();
        return rows;
    }
    UpdateDiskWindow* updater() { return main.diskUpdateWindow; }
    void press(const char* button) { updater()->findChild<QPushButton*>(button)->click(); }
    std::vector<katalox::test::OtherProgram::Record> records() { return window.records(); }
    std::int64_t idOf(const std::string& name) {
        return window.number("SELECT \"Id\" FROM \"Files\" WHERE \"File Name\" = '" + name + "'");
    }

    katalox::test::MainWindowOnCatalogue window;
    TForm1& main = window.form;
    std::string device;
    std::string disk;

private:
    katalox::platform::VolumeSources saved_;
};

} // namespace

TEST_F(UpdateDiskTest, TheUpdateShowsWhatChangedAndApplyChangesOnlyThat) {
    const std::int64_t keepId = idOf("KEEP.JPG");
    const std::int64_t growId = idOf("GROW.JPG");
    dir.write("media/PHOTOS/grow.jpg", "grown");
    fs::remove(dir.file("media/PHOTOS/gone.jpg"));
    fs::rename(dir.file("media/PHOTOS/old name.jpg"), dir.file("media/PHOTOS/new name.jpg"));
    dir.write("media/PHOTOS/sub/new.jpg", "1");
    dir.write("media/PHOTOS/new.txt", "not matched");

    updatePhotos();
    EXPECT_EQ(summary(), "2 added, 2 removed, 1 changed, 2 unchanged.");
    const std::string upper = katalox::platform::upperCase(disk);
    EXPECT_EQ(listed(0), (QStringList{QString::fromStdString(upper + "/NEW NAME.JPG"),
                                      QString::fromStdString(upper + "/SUB/NEW.JPG")}));
    EXPECT_EQ(listed(1).size(), 2);
    EXPECT_EQ(listed(2), QStringList{QString::fromStdString(upper + "/GROW.JPG  (2 -> 5 bytes)")});

    const auto before = records();
    press("cancelButton");
    EXPECT_EQ(records(), before);

    updatePhotos();
    press("applyButton");
    EXPECT_FALSE(updater()->isVisible());
    EXPECT_EQ(idOf("KEEP.JPG"), keepId);
    EXPECT_EQ(idOf("GROW.JPG"), growId);
    EXPECT_EQ(idOf("GONE.JPG"), -1);
    EXPECT_EQ(records().size(), 5u);
    const auto scans = window.scansOf("Photos");
    ASSERT_EQ(scans.size(), 1u);
    EXPECT_EQ(scans[0].recordCount, 5);
    EXPECT_EQ(scans[0].totalSize, 1 + 5 + 5 + 4 + 1);

    updatePhotos();
    EXPECT_EQ(summary(), "Nothing has changed: 5 files as recorded.");
}

TEST_F(UpdateDiskTest, TheDiskIsFollowedByItsUuidWhereverItIsMounted) {
    EXPECT_EQ(presence(), QString::fromStdString("Connected at " + disk));
    EXPECT_EQ(window.node("Photos")->text(0), "Photos");

    // Mounted elsewhere: its records keep their paths and nothing reads as changed.
    const std::string moved = dir.mkdir("run/media/PHOTOS");
    fs::remove(moved);
    fs::rename(disk, moved);
    mountAt(moved);
    EXPECT_EQ(presence(), QString::fromStdString("Connected at " + moved));
    updatePhotos();
    EXPECT_EQ(summary(), "Nothing has changed: 5 files as recorded.");

    // The grid's ways to reach a file go where the disk is now, with the names' real case.
    main.TreeView1->setCurrentItem(window.node("Photos"));
    const auto row = static_cast<int>(window.gridColumn(1).indexOf("OLD NAME.JPG"));
    ASSERT_GE(row, 0);
    main.DBGrid1->setCurrentIndex(main.DBGrid1->model()->index(row, 0));
    main.findChild<QAction*>("copyPath")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), moved + "/old name.jpg");
    QStringList opened;
    katalox::platform::setShellOpenHook([&](const QString& address) { opened << address; });
    main.findChild<QAction*>("openContainingFolder")->trigger();
    katalox::platform::setShellOpenHook({});
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(QUrl(opened[0]).toLocalFile().toStdString(), moved);

    mountAt("");
    EXPECT_EQ(presence(), "Not connected");
    updatePhotos();
    ASSERT_EQ(dialogs.texts("message").size(), 1);
    EXPECT_TRUE(dialogs.texts("message")[0].startsWith("The disk \"Photos\" is not connected"));
}

TEST_F(UpdateDiskTest, AnotherVolumeInTheRecordedPlaceIsAskedAbout) {
    linkUuid("BBBB-2222");
    EXPECT_EQ(presence(), "Connected at " + QString::fromStdString(disk)); // read before the change
    main.showDiskPresence();
    EXPECT_EQ(presence(), "Not connected");
    dir.write("media/PHOTOS/other.jpg", "x");

    dialogs.answerConfirm(false);
    updatePhotos();
    ASSERT_EQ(dialogs.texts("confirm").size(), 1);
    EXPECT_TRUE(dialogs.texts("confirm")[0].contains("BBBB-2222"));
    EXPECT_EQ(dialogs.shown().back().defaultButton, katalox::platform::DefaultButton::Cancel);
    EXPECT_FALSE(updater()->isVisible());

    dialogs.answerConfirm(true);
    updatePhotos();
    EXPECT_EQ(summary(), "1 added, 0 removed, 0 changed, 5 unchanged.");
    press("applyButton");
    // The other volume's facts never take the place of the disk's own.
    EXPECT_EQ(window.scansOf("Photos")[0].volume.uuid, "AAAA-1111");
    main.showDiskPresence();
    EXPECT_EQ(presence(), "Not connected");
}

TEST(DiskPresence, AnIncompleteScanIsMarkedWithHowFarItGot) {
    katalox::test::ScriptedDialogs dialogs;
    katalox::test::MainWindowOnCatalogue window;
    window.openCatalogue();
    window.insert({{"A", "/STICK/A", "Stick", 1}});
    katalox::store::RecordedScan scan;
    scan.diskId = "Stick";
    scan.scannedFolder = "/stick/";
    scan.recordCount = 1;
    scan.listedFiles = 3;
    scan.complete = false;
    window.recordScanElsewhere(scan);
    window.form.Update();
    EXPECT_EQ(window.node("Stick")->toolTip(0),
              "Not connected\nIncomplete: the insert of /stick/ stopped after 1 of 3 files. "
              "Update This Disk... completes it.");
}

TEST(DiskPresence, MountingAndUnmountingWhileRunningUpdatesTheMark) {
    katalox::test::ScriptedDialogs dialogs;
    katalox::test::MainWindowOnCatalogue window;
    window.openCatalogue();
    const std::string point = window.dir.mkdir("stick");
    window.insert({{"A", katalox::platform::upperCase(point) + "/A", "Stick", 1}});
    {
        katalox::store::RecordedScan scan;
        scan.diskId = "Stick";
        scan.volume.type = "tmpfs";
        scan.volume.mountPoint = point;
        window.recordScanElsewhere(scan);
    }
    window.form.Update();
    auto mark = [&] { return window.node("Stick")->toolTip(0); };
    EXPECT_EQ(mark(), "Not connected");
    if (::mount("katalox-test", point.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << ")";
    const bool connected = QTest::qWaitFor([&] { return mark().startsWith("Connected at"); });
    ::umount(point.c_str());
    EXPECT_TRUE(connected);
    EXPECT_TRUE(QTest::qWaitFor([&] { return mark() == "Not connected"; }));
}
