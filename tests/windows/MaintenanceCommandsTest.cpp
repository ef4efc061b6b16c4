// The maintenance commands through the main window, with every dialog scripted, over a
// catalogue of its own.
#include "MainWindowFixture.h"
#include "common/OtherProgram.h"

#include "store/catalog/RecordedDisks.h"
#include "store/dataset/DataSource.h"
#include "store/sqlite/Database.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using katalox::test::MainWindowFixture;
using katalox::test::OtherProgram;
using katalox::test::Record;

namespace {

class MaintenanceCommandsTest : public MainWindowFixture {
protected:
    void SetUp() override {
        // Ids 1 to 5. The Disk ID "2" looks like an Id, so it shows when one is taken for the
        // other.
        insert({
            {"HOLIDAY.AVI", "/MEDIA/HOLIDAY.AVI", "video", 700},
            {"SONG.MP3", "/MUSIC/SONG.MP3", "music", 5000},
            {"NOTES.TXT", "/DOCS/NOTES.TXT", "2", 3},
            {"OLD.MP3", "/MUSIC/OLD.MP3", "music", 4},
            {"Q.TXT", "/Q.TXT", R"(say "hi")", 1},
        });
        form.Update();
    }

    std::int64_t count(const std::string& where = "1 = 1") { return recordCount(where); }
    OtherProgram other() { return OtherProgram(dir.file("Files.db")); }

    void select(const QString& text) {
        QTreeWidgetItem* item = node(text);
        ASSERT_NE(item, nullptr) << text.toStdString();
        form.TreeView1->setCurrentItem(item);
    }
    void pointAtRow(int row) {
        form.DBGrid1->setCurrentIndex(form.DBGrid1->model()->index(row, 0));
    }
    // Runs a menu command as the user does, guarded: an error lands in the error box.
    void trigger(const char* action) {
        auto* item = form.findChild<QAction*>(action);
        ASSERT_NE(item, nullptr) << action;
        item->trigger();
    }
    QStringList shownKinds() const {
        QStringList kinds;
        for (const auto& shown : dialogs.shown())
            kinds << shown.kind;
        return kinds;
    }
};

// Delete one record

TEST_F(MaintenanceCommandsTest, DeleteEntryRemovesTheRecordUnderTheCursorAndRelists) {
    select("music");
    pointAtRow(1); // OLD.MP3, Id 4
    dialogs.answerConfirm(true);
    trigger("DeleteThisEntry1");

    EXPECT_EQ(dialogs.texts("confirm"), QStringList{" Delete single entry ?"});
    EXPECT_EQ(count(), 4);
    EXPECT_EQ(count(R"("Id" = 4)"), 0);
    // Relisted with the same Disk ID selected.
    EXPECT_EQ(gridColumn(1), QStringList{"SONG.MP3"});
    EXPECT_EQ(form.Label2->text(), "Record Count: 1");

    // The Options menu item does the same.
    dialogs.answerConfirm(true);
    trigger("DeleteAllEmptyDatabase1");
    EXPECT_EQ(count(R"("Id" = 2)"), 0);
    EXPECT_EQ(form.Label2->text(), "Record Count: 0");
}

TEST_F(MaintenanceCommandsTest, DeleteEntryCancelledLeavesTheListingInPlace) {
    select("video");
    const std::vector<std::string> listing = form.Query1->sql();
    dialogs.answerConfirm(false);
    form.DeleteThisEntry1Click();

    EXPECT_EQ(count(), 5);
    EXPECT_EQ(form.Query1->sql(), listing);
    EXPECT_TRUE(form.Query1->active());
    EXPECT_EQ(gridColumn(1), QStringList{"HOLIDAY.AVI"});
}

TEST_F(MaintenanceCommandsTest, DeleteEntryWithAnEmptyResultAsksNothing) {
    form.Edit1->setText("NO SUCH FILE");
    select("music");
    form.DeleteThisEntry1Click();
    EXPECT_EQ(shownKinds(), QStringList{"message"});
    EXPECT_EQ(dialogs.texts("message"), QStringList{"No entry to delete"});
    EXPECT_EQ(count(), 5);
}

TEST_F(MaintenanceCommandsTest, DeleteEntryNeverTakesADiskIdForAnId) {
    select("music");
    form.Update(); // the grid now shows the Disk ID list, "2" on its first row
    ASSERT_EQ(gridColumn(0).value(0), "2");
    dialogs.answerConfirm(true);
    form.DeleteThisEntry1Click();

    EXPECT_EQ(dialogs.texts("message"), QStringList{"No entry to delete"});
    EXPECT_TRUE(dialogs.texts("confirm").isEmpty());
    EXPECT_EQ(count(), 5);
}

TEST_F(MaintenanceCommandsTest, DeleteEntryBeforeTheFirstListingTakesTheIdFromTheTable) {
    // The grid still shows the table cursor; the statement object holds the Disk ID list.
    ASSERT_EQ(form.DataSource1->dataSet(), form.Table1);
    pointAtRow(2); // NOTES.TXT, Id 3
    dialogs.answerConfirm(true);
    form.DeleteThisEntry1Click();
    EXPECT_EQ(count(R"("Id" = 3)"), 0);
    EXPECT_EQ(count(), 4);
}

TEST_F(MaintenanceCommandsTest, DeleteEntryWithTheStatementClosedReportsTheError) {
    select("music");
    dialogs.answerConfirm(false);
    form.DeleteCatalog1Click(); // cancelled: leaves the statement object closed
    dialogs.clear();
    trigger("DeleteThisEntry1");
    EXPECT_EQ(shownKinds(), QStringList{"error"});
    EXPECT_EQ(count(), 5);
}

TEST_F(MaintenanceCommandsTest, DeleteEntryRefusesAnIdThatIsNoInteger) {
    // A table made by another tool, whose Id holds reals and NULL beside whole numbers.
    other().exec(R"(DROP TABLE Files; CREATE TABLE Files (Id REAL, "File Name" TEXT,
        "File Path" TEXT, "Disk ID" TEXT, "File Size" INTEGER);
        INSERT INTO Files VALUES (1.5, 'A.X', '/A.X', 'x', 1), (1, 'B.X', '/B.X', 'x', 1),
        (NULL, 'C.X', '/C.X', 'x', 1), (0, 'D.X', '/D.X', 'x', 1);)");
    openCatalogue();
    form.Update();
    select("x");
    for (const QString& id : {QStringLiteral("1.5"), QString()}) {
        const int row = static_cast<int>(gridColumn(0).indexOf(id));
        ASSERT_GE(row, 0) << id.toStdString();
        pointAtRow(row);
        dialogs.clear();
        dialogs.answerConfirm(true);
        trigger("DeleteThisEntry1");
        EXPECT_EQ(shownKinds(), QStringList{"error"}) << id.toStdString();
        EXPECT_TRUE(dialogs.texts("error").value(0).contains("not a valid integer"));
    }
    EXPECT_EQ(count(), 4);
}

// Delete a Disk ID

TEST_F(MaintenanceCommandsTest, DeleteDiskIdRemovesItsRecordsAndListsAllDisks) {
    select("music");
    dialogs.answerConfirm(true);
    trigger("DeleteCatalog1");

    EXPECT_EQ(dialogs.texts("confirm"), QStringList{"Delete all entires with catalog Id music?"});
    EXPECT_EQ(count(), 3);
    EXPECT_EQ(count(R"("Disk ID" = 'music')"), 0);
    EXPECT_EQ(diskIdNodes(), (QStringList{"2", "say \"hi\"", "video"}));
    EXPECT_EQ(form.Label1->text(), "Selected : All Disks");
    EXPECT_EQ(form.Label2->text(), "Record Count: 3");
}

TEST_F(MaintenanceCommandsTest, DeleteDiskIdCancelledLeavesTheStatementClosed) {
    select("music");
    const QString countBefore = form.Label2->text();
    dialogs.answerConfirm(false);
    form.DeleteCatalog1Click();

    EXPECT_EQ(count(), 5);
    EXPECT_FALSE(form.Query1->active());
    EXPECT_EQ(form.Query1->sql().size(), 1u);
    EXPECT_EQ(form.DBGrid1->model()->rowCount(), 0);
    EXPECT_EQ(form.Label2->text(), countBefore);
    EXPECT_TRUE(dialogs.texts("message").isEmpty());
}

TEST_F(MaintenanceCommandsTest, DeleteDiskIdWithoutSelectionAsksNothing) {
    form.DeleteCatalog1Click();
    EXPECT_EQ(shownKinds(), QStringList{"message"});
    EXPECT_EQ(dialogs.texts("message"), QStringList{"No valid Disk ID selected"});
    EXPECT_EQ(count(), 5);
    EXPECT_FALSE(form.Query1->active());
}

TEST_F(MaintenanceCommandsTest, DeleteDiskIdWithTheRootSelectedMatchesTheTextAllDisks) {
    insert({{"X.BIN", "/X.BIN", "All Disks", 1}});
    form.Update();
    select("All Disks");
    dialogs.answerConfirm(true);
    form.DeleteCatalog1Click();
    EXPECT_EQ(dialogs.texts("confirm"),
              QStringList{"Delete all entires with catalog Id All Disks?"});
    EXPECT_EQ(count(), 5);
    EXPECT_EQ(count(R"("Disk ID" = 'All Disks')"), 0);
}

TEST_F(MaintenanceCommandsTest, DeleteDiskIdWithADoubleQuote) {
    select(R"(say "hi")");
    dialogs.answerConfirm(true);
    form.DeleteCatalog1Click();
    EXPECT_TRUE(dialogs.texts("message").isEmpty());
    EXPECT_EQ(count(), 4);
    EXPECT_EQ(diskIdNodes(), (QStringList{"2", "music", "video"}));
}

TEST_F(MaintenanceCommandsTest, DeleteDiskIdFailureShowsTheGuardMessage) {
    select("music");
    other().exec("DROP TABLE Files");
    dialogs.answerConfirm(true);
    trigger("DeleteCatalog1");
    EXPECT_EQ(dialogs.texts("message"), QStringList{"No valid Disk ID selected"});
    EXPECT_TRUE(dialogs.texts("error").isEmpty());
}

// Rename a Disk ID

TEST_F(MaintenanceCommandsTest, RenameAsksForTheNameThenConfirmsAndRebuilds) {
    select("music");
    dialogs.answerInput("Tunes");
    dialogs.answerConfirm(true);
    trigger("RenameCatalog1");

    EXPECT_EQ(dialogs.texts("input"), QStringList{"Input Name|Type a new name for this catalog"});
    EXPECT_EQ(dialogs.texts("confirm"),
              QStringList{R"(Rename entires with catalog Id "music" to "Tunes"?)"});
    EXPECT_EQ(count(R"("Disk ID" = 'Tunes')"), 2);
    EXPECT_EQ(count(R"("Disk ID" = 'music')"), 0);
    EXPECT_EQ(diskIdNodes(), (QStringList{"2", "Tunes", "say \"hi\"", "video"}));
    EXPECT_EQ(form.Label1->text(), "Selected : All Disks");
    EXPECT_EQ(form.Label2->text(), "Record Count: 5");
}

TEST_F(MaintenanceCommandsTest, RenameCancelledAtEitherQuestion) {
    select("music");
    dialogs.answerCancel();
    form.RenameCatalog1Click();
    EXPECT_EQ(shownKinds(), QStringList{"input"});
    EXPECT_TRUE(form.Query1->active()) << "nothing touched before a name is given";

    dialogs.answerInput("Tunes");
    dialogs.answerConfirm(false);
    form.RenameCatalog1Click();
    EXPECT_EQ(count(R"("Disk ID" = 'music')"), 2);
    EXPECT_FALSE(form.Query1->active());
    EXPECT_EQ(form.DBGrid1->model()->rowCount(), 0);
}

TEST_F(MaintenanceCommandsTest, RenameOntoAnExistingNameMergesInTheTree) {
    select("music");
    dialogs.answerInput("video");
    dialogs.answerConfirm(true);
    form.RenameCatalog1Click();
    EXPECT_EQ(count(R"("Disk ID" = 'video')"), 3);
    EXPECT_EQ(diskIdNodes(), (QStringList{"2", "say \"hi\"", "video"}));
}

TEST_F(MaintenanceCommandsTest, RenameStoresTheNameAsTypedEvenEmptyOrQuoted) {
    select("music");
    dialogs.answerInput("");
    dialogs.answerConfirm(true);
    form.RenameCatalog1Click();
    EXPECT_EQ(count(R"("Disk ID" = '')"), 2);

    select(R"(say "hi")");
    dialogs.answerInput(R"( "Dad's" disk )");
    dialogs.answerConfirm(true);
    form.RenameCatalog1Click();
    EXPECT_EQ(count(R"("Disk ID" = ' "Dad''s" disk ')"), 1);
    EXPECT_TRUE(dialogs.texts("message").isEmpty());
    EXPECT_TRUE(diskIdNodes().contains(R"( "Dad's" disk )"));
}

TEST_F(MaintenanceCommandsTest, RenameWithoutSelectionComplainsAfterTheName) {
    dialogs.answerInput("Tunes");
    form.RenameCatalog1Click();
    EXPECT_EQ(shownKinds(), (QStringList{"input", "message"}));
    EXPECT_EQ(dialogs.texts("message"), QStringList{"No valid Disk ID selected"});
    EXPECT_EQ(count(R"("Disk ID" = 'Tunes')"), 0);
}

// Enter on a question before a deletion must not delete: Cancel is its default button.
TEST_F(MaintenanceCommandsTest, DeletionQuestionsDefaultToCancel) {
    select("music");
    pointAtRow(0);
    trigger("DeleteThisEntry1");
    trigger("DeleteCatalog1");
    trigger("DeleteEntries1");
    dialogs.answerInput("renamed");
    trigger("RenameCatalog1");
    std::vector<katalox::platform::DefaultButton> defaults;
    for (const auto& shown : dialogs.shown())
        if (shown.kind == "confirm")
            defaults.push_back(shown.defaultButton);
    using enum katalox::platform::DefaultButton;
    EXPECT_EQ(defaults, (std::vector{Cancel, Cancel, Cancel, Ok})); // a rename deletes nothing
    EXPECT_EQ(count(), 5);
}

// Empty the table

TEST_F(MaintenanceCommandsTest, EmptyRemovesEveryRecordAndNothingElse) {
    select("music");
    dialogs.answerConfirm(false);
    form.DeleteEntries1Click();
    EXPECT_EQ(count(), 5);

    dialogs.answerConfirm(true);
    trigger("DeleteEntries1");
    EXPECT_EQ(dialogs.texts("confirm").back(), "Are you sure you want to delete ALL data?");
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(other().number("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND "
                             "sql LIKE '%Disk ID%'"),
              1);
    EXPECT_TRUE(diskIdNodes().isEmpty());
    EXPECT_FALSE(form.Table1->active());
    EXPECT_TRUE(form.Table1->exclusive());
    // No listing follows: the grid shows the empty Disk ID list.
    EXPECT_EQ(form.DBGrid1->model()->rowCount(), 0);
    EXPECT_TRUE(dialogs.texts("error").isEmpty());
}

TEST_F(MaintenanceCommandsTest, EmptyWhileAnotherProgramHoldsTheCatalogueChangesNothing) {
    OtherProgram reader = other();
    reader.exec("BEGIN; SELECT count(*) FROM Files;");
    dialogs.answerConfirm(true);
    trigger("DeleteEntries1");
    EXPECT_EQ(shownKinds(), (QStringList{"confirm", "error"}));
    reader.exec("COMMIT");

    EXPECT_EQ(count(), 5);
    EXPECT_EQ(diskIdNodes(), (QStringList{"2", "music", "say \"hi\"", "video"}));
    EXPECT_FALSE(form.Table1->active());
}

// Total the listed sizes

TEST_F(MaintenanceCommandsTest, CheckSizeTotalsTheCurrentListing) {
    const std::int64_t gib = std::int64_t{1} << 30;
    insert({{"A.ISO", "/BIG/A.ISO", "big", 3 * gib},
            {"B.ISO", "/BIG/B.ISO", "big", 4 * gib + 1023},
            {"C.ISO", "/BIG/C.ISO", "big", 2 * gib - 1}});
    form.Update();
    select("big");
    trigger("CheckSize1");
    EXPECT_EQ(form.Label3->text(), "Size: 9215 MB ");

    // Filters count; the node under the mouse does not.
    form.Edit1->setText("A.");
    QTest::keyClick(form.Edit1, Qt::Key_Return);
    form.CheckSize1Click();
    EXPECT_EQ(form.Label3->text(), "Size: 3072 MB ");
    EXPECT_TRUE(dialogs.texts("error").isEmpty());
}

TEST_F(MaintenanceCommandsTest, CheckSizeOnTheDiskIdListFailsAndKeepsTheCaption) {
    select("music");
    form.CheckSize1Click();
    const QString caption = form.Label3->text();
    form.Update();
    trigger("CheckSize1");
    EXPECT_EQ(shownKinds(), QStringList{"error"});
    EXPECT_EQ(form.Label3->text(), caption);
}

} // namespace

// The recorded scans of a Disk ID follow its records.

TEST_F(MaintenanceCommandsTest, RecordedScansFollowTheirDiskIdThroughRenameAndDelete) {
    {
        const auto db = katalox::store::Database::open(dir.file("Files.db"));
        for (const char* diskId : {"music", "video", "music"}) {
            katalox::store::RecordedScan scan;
            scan.diskId = diskId;
            katalox::store::recordScan(*db, scan);
        }
    }
    auto scansOf = [this](const std::string& diskId) {
        return other().number("SELECT count(*) FROM Disks WHERE \"Disk ID\" = '" + diskId + "'");
    };
    select("music");
    dialogs.answerInput("Tunes");
    dialogs.answerConfirm(true);
    trigger("RenameCatalog1");
    EXPECT_EQ(scansOf("Tunes"), 2);
    EXPECT_EQ(scansOf("music"), 0);

    select("video");
    dialogs.answerConfirm(false);
    trigger("DeleteCatalog1");
    EXPECT_EQ(scansOf("video"), 1);
    dialogs.answerConfirm(true);
    trigger("DeleteCatalog1");
    EXPECT_EQ(scansOf("video"), 0);
    EXPECT_EQ(scansOf("Tunes"), 2);
}
