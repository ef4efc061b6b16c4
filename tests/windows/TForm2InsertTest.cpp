#include "MainWindowFixture.h"
#include "ScanWindowFixture.h"

#include "common/OtherProgram.h"
#include "platform/Utf8.h"
#include "store/catalog/CatalogFile.h"
#include "store/catalog/RecordedDisks.h"
#include "store/dataset/DataSource.h"
#include "store/dataset/Query.h"
#include "store/dataset/Table.h"
#include "store/sqlite/Database.h"
#include "widgets/DBGrid.h"
#include "windows/Forms.h"
#include "windows/TForm1.h"
#include "windows/UnwrittenRecords.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QTreeWidget>

#include <filesystem>

namespace {

using Row = katalox::test::OtherProgram::Record;

// Reads the catalogue file directly, bypassing the program's engine.
std::vector<Row> storedRows(const std::string& file) {
    return katalox::test::OtherProgram(file).records();
}

} // namespace

class InsertTest : public ScanWindowTest {
protected:
    InsertTest() {
        window.openCatalogue();
        Form1 = &main;
        form->show();
    }
    ~InsertTest() override { Form1 = nullptr; }

    // Scans the folder with the Disk ID given, then presses "Insert To DataBase" and answers.
    void scanAndInsert(const std::string& folder, const QString& diskId, bool ok = true) {
        selectFolder(folder);
        edit("Edit3")->setText(diskId);
        control<QPushButton>("BitBtn2")->click();
        dialogs.clear();
        dialogs.answerConfirm(ok);
        control<QPushButton>("BitBtn1")->click();
    }

    QStringList diskIdNodes() const { return window.diskIdNodes(); }

    katalox::test::MainWindowOnCatalogue window;
    TForm1& main = window.form;
    const std::string catalogue = window.dir.file("Files.db");
};

TEST_F(InsertTest, OneRecordPerListedFileUpperCasedWithTheDiskIdAsTyped) {
    dir.write("Report.doc", "12345");
    dir.write("Sub/été.mp3", std::string(70000, 'x'));
    main.Table1->close(); // as emptying the catalogue leaves it
    main.Table1->setExclusive(true);
    scanAndInsert(dir.path(), QStringLiteral("Backup disk"));

    EXPECT_EQ(dialogs.texts("confirm"), QStringList{"Insert all files into database?"});
    EXPECT_TRUE(dialogs.texts("error").isEmpty());
    const std::string upperDir = katalox::platform::upperCase(dir.path());
    EXPECT_EQ(storedRows(catalogue),
              (std::vector<Row>{{"REPORT.DOC", upperDir + "/REPORT.DOC", "Backup disk", 5},
                                {"ÉTÉ.MP3", upperDir + "/SUB/ÉTÉ.MP3", "Backup disk", 70000}}));
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(main.Table1->exclusive()); // reopened for shared use
    EXPECT_EQ(diskIdNodes(), QStringList{"Backup disk"});
    // Selecting the new Disk ID in the main window lists its records.
    main.TreeView1->setCurrentItem(main.TreeView1->topLevelItem(0)->child(0));
    EXPECT_EQ(main.Query1->recordCount(), 2);
    EXPECT_EQ(progress()->maximum(), 1);
    EXPECT_EQ(progress()->value(), 1);
    // The window keeps what it showed.
    EXPECT_EQ(lines().size(), 2u);
    EXPECT_EQ(label("Label5")->text(), QStringLiteral("  Done  "));
}

TEST_F(InsertTest, EachInsertRecordsTheScanAndItsVolume) {
    dir.write("disk/a.txt", "12");
    dir.write("disk/sub/b.txt", "345");
    dir.write("disk/c.doc", "6789");
    selectFolder(dir.file("disk"));
    edit("Edit3")->setText("Backup");
    edit("Edit2")->setText("txt");
    control<QPushButton>("BitBtn2")->click();
    edit("Edit2")->setText("*"); // changed after the scan: the scan's own pattern is recorded
    dialogs.answerConfirm(true);
    control<QPushButton>("BitBtn1")->click();
    dialogs.answerConfirm(true);
    control<QPushButton>("BitBtn1")->click(); // a second insert of the same scan is a second row

    EXPECT_TRUE(dialogs.texts("error").isEmpty());
    const auto db = katalox::store::Database::open(catalogue);
    const std::vector<katalox::store::RecordedScan> scans =
        katalox::store::recordedScans(*db, "Backup");
    ASSERT_EQ(scans.size(), 2u);
    const katalox::store::RecordedScan& scan = scans[0];
    EXPECT_EQ(scan.scannedFolder, dir.file("disk") + "/");
    EXPECT_EQ(scan.namePattern, "*");
    EXPECT_EQ(scan.extensionPattern, "txt");
    EXPECT_EQ(scan.recordCount, 2);
    EXPECT_EQ(scan.totalSize, 5);
    EXPECT_FALSE(scan.volume.type.empty());
    EXPECT_EQ(scan.volume.mountPoint == "/" ? "/" + scan.volume.folder
                                            : scan.volume.mountPoint + "/" + scan.volume.folder,
              std::filesystem::canonical(dir.file("disk")).string());
    EXPECT_GT(scan.volume.capacity, 0u);
    EXPECT_FALSE(scan.scannedAt.empty());
}

TEST_F(InsertTest, TheMainWindowsGridOverTheTableShowsTheInsertedRecords) {
    // Before the first listing the main window's grid shows the table cursor.
    dir.write("a.txt");
    dir.write("b.txt");
    scanAndInsert(dir.path(), QStringLiteral("disk"));
    ASSERT_EQ(main.DataSource1->dataSet(), main.Table1);
    EXPECT_EQ(main.DBGrid1->model()->rowCount(), 2);
    EXPECT_EQ(main.DBGrid1->model()->columnCount(), 5);
}

TEST_F(InsertTest, CancelChangesNothing) {
    dir.write("a.txt");
    scanAndInsert(dir.path(), QStringLiteral("X"), false);
    EXPECT_TRUE(storedRows(catalogue).empty());
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(diskIdNodes().isEmpty());
}

TEST_F(InsertTest, VanishedFilesAreSkippedAndTheBarEndsShort) {
    dir.write("only/a");
    dir.write("only/b");
    dir.write("only/c");
    selectFolder(dir.file("only"));
    control<QPushButton>("BitBtn2")->click();
    const std::vector<std::string> listed = lines();
    ASSERT_EQ(listed.size(), 3u);
    std::filesystem::remove(listed[1]);
    std::filesystem::remove(listed[2]);
    int pumped = 0; // the insert lets no waiting events run
    katalox::platform::setMessagePumpHook([&] { ++pumped; });
    dialogs.answerConfirm(true);
    control<QPushButton>("BitBtn1")->click();
    EXPECT_EQ(pumped, 0);

    const auto rows = storedRows(catalogue);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(std::get<1>(rows[0]), katalox::platform::upperCase(listed[0]));
    EXPECT_EQ(progress()->maximum(), 2);
    EXPECT_EQ(progress()->value(), 0);
}

TEST_F(InsertTest, AnEmptyListFailsOnTheProgressRangeAndWritesNothing) {
    dir.mkdir("empty");
    scanAndInsert(dir.file("empty"), QStringLiteral("Nothing"));
    ASSERT_EQ(dialogs.texts("error").size(), 1);
    EXPECT_TRUE(dialogs.texts("error")[0].contains(QStringLiteral("-1")));
    EXPECT_TRUE(storedRows(catalogue).empty());
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(diskIdNodes().isEmpty());
    // The table was reopened for shared use before the failure.
    EXPECT_TRUE(main.Table1->active());
    EXPECT_FALSE(main.Table1->exclusive());
}

TEST_F(InsertTest, OneFileReinsertedGivesASecondRecordAndAnEmptyDiskIdIsAllowed) {
    dir.write("one/file.bin", "x");
    scanAndInsert(dir.file("one"), QStringLiteral("first"));
    EXPECT_EQ(progress()->maximum(), 0);
    EXPECT_EQ(progress()->value(), 0);

    // Shown again, with the Disk ID emptied after the scan: inserted once more, no Disk ID.
    form->show();
    edit("Edit3")->clear();
    dialogs.answerConfirm(true);
    control<QPushButton>("BitBtn1")->click();
    const auto rows = storedRows(catalogue);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(std::get<2>(rows[0]), "first");
    EXPECT_EQ(std::get<2>(rows[1]), "");
    EXPECT_EQ(std::get<1>(rows[0]), std::get<1>(rows[1]));
}

TEST_F(InsertTest, AFailureKeepsTheRecordsPostedBeforeItAndLeavesTheWindowOpen) {
    for (int i = 0; i < 30; ++i)
        dir.write("many/f" + std::to_string(100 + i));
    // The catalogue refuses one record, as a full disk would.
    katalox::test::OtherProgram(catalogue).exec(
        "CREATE TRIGGER refuse BEFORE INSERT ON Files "
        "WHEN NEW.\"File Name\" = 'F120' BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    scanAndInsert(dir.file("many"), QStringLiteral("partial"));

    ASSERT_EQ(dialogs.texts("error").size(), 1);
    EXPECT_TRUE(dialogs.texts("error")[0].contains(QStringLiteral("disk full")));
    std::size_t before = 0;
    for (const std::string& line : lines()) {
        if (line == dir.file("many/f120"))
            break;
        ++before;
    }
    const auto rows = storedRows(catalogue);
    ASSERT_EQ(rows.size(), before);
    for (std::size_t i = 0; i < before; ++i)
        EXPECT_EQ(std::get<1>(rows[i]), katalox::platform::upperCase(lines()[i]));
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(diskIdNodes().isEmpty());
    EXPECT_EQ(main.DBGrid1->model()->rowCount(), static_cast<int>(before));
}

TEST_F(InsertTest, RecordsABusyCatalogueRefusesAreShownKeptAndWrittenLater) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        dir.write(name);
    katalox::test::OtherProgram reader(catalogue);
    reader.exec("BEGIN; SELECT count(*) FROM Files;"); // another program reads and keeps at it
    scanAndInsert(dir.path(), QStringLiteral("disk"));

    ASSERT_EQ(dialogs.texts("error").size(), 1);
    EXPECT_TRUE(dialogs.texts("error")[0].contains("3 records not written yet"));
    // The grid over the table shows them at once: painting never waits for the commit.
    QStringList shown = window.gridColumn(1);
    shown.sort();
    EXPECT_EQ(shown, (QStringList{"A.TXT", "B.TXT", "C.TXT"}));
    reader.exec("COMMIT");
    katalox::store::Database::retryUnwritten(); // what the main window does every second
    EXPECT_EQ(storedRows(catalogue).size(), 3u);

    // Still held when the program ends: the user learns how many records would be lost.
    reader.exec("BEGIN; SELECT count(*) FROM Files;");
    katalox::test::postRecord(*main.Table1, {"D.TXT", "/D.TXT", "disk", 1});
    dialogs.clear();
    dialogs.answerConfirm(false);
    katalox::writeUnwrittenRecordsBeforeExit();
    EXPECT_EQ(dialogs.texts("confirm"),
              QStringList{"1 record could not be written to the catalogue: database is locked.\n"
                          "OK tries again; Cancel ends the program without them."});
    reader.exec("COMMIT");
}

TEST_F(InsertTest, ClosingTheMainWindowEndsTheScanWithoutItsMessage) {
    for (int i = 0; i < 20; ++i)
        dir.write("f" + std::to_string(i));
    int calls = 0;
    katalox::platform::setMessagePumpHook([&] {
        if (++calls == 3) {
            QCloseEvent close;
            QCoreApplication::sendEvent(&main, &close);
        }
    });
    selectFolder(dir.path());
    control<QPushButton>("BitBtn2")->click();
    EXPECT_EQ(calls, 3);
    EXPECT_TRUE(dialogs.texts("message").isEmpty());
    EXPECT_FALSE(scanRunning());
}
