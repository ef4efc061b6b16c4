// The main road through the windows: scan a folder, insert its files, find them under their
// new Disk ID, filter, delete one record, rename the Disk ID, total the sizes, empty the
// catalogue. Every dialog is scripted.
#include "MainWindowFixture.h"
#include "common/OtherProgram.h"

#include "widgets/ScanListModel.h"
#include "widgets/ShellTreeView.h"
#include "windows/Forms.h"
#include "windows/TForm2.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include <filesystem>

using katalox::test::MainWindowFixture;
using katalox::test::OtherProgram;

namespace {

class EndToEndTest : public MainWindowFixture {
protected:
    void SetUp() override {
        insert({}); // points the window at the empty catalogue
        form.Update();
        Form1 = &form;
        Form2 = &scanWindow;
    }
    void TearDown() override {
        Form1 = nullptr;
        Form2 = nullptr;
    }

    template <typename Widget> Widget* scanControl(const char* name) {
        auto* widget = scanWindow.findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void trigger(const char* action) {
        auto* item = form.findChild<QAction*>(action);
        ASSERT_NE(item, nullptr) << action;
        item->trigger();
    }
    void select(const QString& text) {
        QTreeWidgetItem* item = node(text);
        ASSERT_NE(item, nullptr) << text.toStdString();
        form.TreeView1->setCurrentItem(item);
    }
    std::int64_t recordsInCatalogue() {
        return OtherProgram(dir.file("Files.db")).number("SELECT count(*) FROM Files");
    }

    TForm2 scanWindow;
};

TEST_F(EndToEndTest, ScanInsertListFilterDeleteRenameTotalEmpty) {
    const std::int64_t gib = std::int64_t{1} << 30;
    dir.write("Holiday/beach.jpg", std::string(2048, 'b'));
    dir.write("Holiday/sunset.JPG", std::string(1024 * 1024 + 5, 's'));
    const std::string notes = dir.write("Holiday/notes.txt", "gone before the insert");
    const std::string clip = dir.write("Holiday/video/clip.avi");
    std::filesystem::resize_file(clip, 3 * gib); // sparse: a large file without the disk space
    dir.write("Holiday/video/.cache/thumb.jpg", "hidden folder, never walked");

    // Scan: the folder proposes its name as Disk ID.
    ASSERT_TRUE(scanControl<katalox::widgets::ShellTreeView>("ShellTreeView1")
                    ->selectPath(dir.file("Holiday")));
    EXPECT_EQ(scanControl<QLineEdit>("Edit3")->text(), "Holiday");
    scanControl<QPushButton>("BitBtn2")->click();
    EXPECT_EQ(dialogs.texts("message"),
              QStringList{"Scan Finished - To Insert Click Insert to Database"});
    EXPECT_EQ(scanControl<QTableView>("ListBox1")->model()->rowCount(), 4);

    // Insert: the file removed since the scan is skipped; the tree shows the new Disk ID.
    std::filesystem::remove(notes);
    scanWindow.show();
    dialogs.answerConfirm(true);
    scanControl<QPushButton>("BitBtn1")->click();
    EXPECT_FALSE(scanWindow.isVisible());
    EXPECT_EQ(recordsInCatalogue(), 3);
    EXPECT_EQ(diskIdNodes(), QStringList{"Holiday"});

    // Select the Disk ID: its records, names and paths upper-cased.
    select("Holiday");
    EXPECT_EQ(form.Label1->text(), "Selected : Holiday");
    EXPECT_EQ(form.Label2->text(), "Record Count: 3");
    QStringList names = gridColumn(1);
    names.sort();
    EXPECT_EQ(names, (QStringList{"BEACH.JPG", "CLIP.AVI", "SUNSET.JPG"}));

    // Filter on the extension; total the two pictures: 2 + 1024 kilobytes, 1 megabyte.
    form.ComboBox1->setEditText("jpg");
    EXPECT_EQ(form.Label2->text(), "Record Count: 2");
    trigger("CheckSize1");
    EXPECT_EQ(form.Label3->text(), "Size: 1 MB ");

    // Delete the beach picture from the filtered listing.
    const auto beach = static_cast<int>(gridColumn(1).indexOf("BEACH.JPG"));
    ASSERT_GE(beach, 0);
    form.DBGrid1->setCurrentIndex(form.DBGrid1->model()->index(beach, 0));
    dialogs.answerConfirm(true);
    trigger("DeleteThisEntry1");
    EXPECT_EQ(gridColumn(1), QStringList{"SUNSET.JPG"});
    EXPECT_EQ(recordsInCatalogue(), 2);

    // Rename the Disk ID from the Options menu; the tree is rebuilt, the listing covers all.
    select("Holiday");
    dialogs.answerInput("Trip 2026");
    dialogs.answerConfirm(true);
    trigger("RenameSelectedDiskID1");
    EXPECT_EQ(diskIdNodes(), QStringList{"Trip 2026"});
    EXPECT_EQ(form.Label1->text(), "Selected : All Disks");

    // Total everything listed: the 3 GiB clip counts in full, past any 32-bit size.
    form.ComboBox1->setEditText("");
    select("Trip 2026");
    EXPECT_EQ(form.Label2->text(), "Record Count: 2");
    trigger("CheckSize1");
    EXPECT_EQ(form.Label3->text(), "Size: 3073 MB ");

    // Empty the catalogue.
    dialogs.answerConfirm(true);
    trigger("DeleteEntries1");
    EXPECT_EQ(recordsInCatalogue(), 0);
    EXPECT_TRUE(diskIdNodes().isEmpty());

    EXPECT_TRUE(dialogs.texts("error").isEmpty())
        << dialogs.texts("error").join("\n").toStdString();
}

} // namespace
