#include "MainWindowFixture.h"

#include "store/dataset/DataSource.h"
#include "widgets/DBGrid.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using katalox::test::MainWindowFixture;
using katalox::test::Record;

namespace {

class ListingTest : public MainWindowFixture {
protected:
    void SetUp() override {
        insert({
            {"HOLIDAY.AVI", "/MEDIA/HOLIDAY.AVI", "video", 700},
            {"SONG.MP3", "/MUSIC/SONG.MP3", "music", 5},
            {"NOTES.TXT", "/DOCS/NOTES.TXT", "Backup", 1},
            {"OLD.MP3", "/MUSIC/OLD.MP3", "music", 4},
            {"README", "/DOCS/README", "Backup", 2},
            {"AVIATOR.DOC", "/DOCS/AVIATOR.DOC", "video", 3},
        });
        form.Update();
    }

    void select(const QString& nodeText) {
        QTreeWidgetItem* item = node(nodeText);
        ASSERT_NE(item, nullptr) << nodeText.toStdString();
        form.TreeView1->setCurrentItem(item);
    }
    void pressEnter(QLineEdit* edit) { QTest::keyClick(edit, Qt::Key_Return); }
    // On a server an extension typed lists once typing pauses.
    void typingPaused() {
        if (onServer())
            QTest::qWait(700);
    }
    // One line of the statement object's text; empty when there is no such line.
    std::string sqlLine(std::size_t index) const {
        const auto& lines = form.Query1->sql();
        return index < lines.size() ? lines[index] : std::string();
    }
};

TEST_F(ListingTest, TreeHoldsEachDiskIdOnceInAscendingOrder) {
    ASSERT_EQ(form.TreeView1->topLevelItemCount(), 1);
    QTreeWidgetItem* root = form.TreeView1->topLevelItem(0);
    EXPECT_EQ(root->text(0), "All Disks");
    EXPECT_FALSE(root->isExpanded());
    EXPECT_EQ(diskIdNodes(), (QStringList{"Backup", "music", "video"}));
    EXPECT_TRUE(form.TreeView1->selectedItems().isEmpty());
    EXPECT_EQ(form.Label1->text(), "Selected : All Disks");
    EXPECT_EQ(form.DataSource1->dataSet(), form.Table1) << "the tree leaves the grid alone";
}

TEST_F(ListingTest, SelectingNodesSwitchesBetweenOneDiskAndAllDisks) {
    select("music");
    EXPECT_EQ(form.Label1->text(), "Selected : music");
    EXPECT_EQ(form.DataSource1->dataSet(), form.Query1);
    EXPECT_EQ(gridColumn(1), (QStringList{"SONG.MP3", "OLD.MP3"}));
    EXPECT_EQ(form.Label2->text(), "Record Count: 2");
    EXPECT_EQ(form.Label2->size(), form.Label2->sizeHint()) << "the count is not cut off";
    EXPECT_EQ(form.DBGrid1->columnWidth(0), 40);
    EXPECT_EQ(form.DBGrid1->columnWidth(1), 160);
    EXPECT_EQ(form.DBGrid1->columnWidth(2), 110);

    select("All Disks");
    EXPECT_EQ(form.Label1->text(), "Selected : All Disks");
    // Without a mask, a path without any dot is listed too; a mask asks for a dot.
    EXPECT_EQ(form.Label2->text(), "Record Count: 6");
    EXPECT_TRUE(gridColumn(1).contains("README"));
}

TEST_F(ListingTest, MaskRelistsAtEveryKeystrokeWhateverItsCase) {
    QTest::keyClicks(form.ComboBox1->lineEdit(), "av");
    typingPaused();
    EXPECT_EQ(sqlLine(2), R"(and Files."File Path" Like "%.AV%")");
    EXPECT_EQ(gridColumn(1), QStringList{"HOLIDAY.AVI"});
    QTest::keyClick(form.ComboBox1->lineEdit(), Qt::Key_Backspace);
    typingPaused();
    EXPECT_EQ(sqlLine(2), R"(and Files."File Path" Like "%.A%")");

    form.ComboBox1->setCurrentIndex(form.ComboBox1->findText("Mp3"));
    typingPaused();
    EXPECT_EQ(sqlLine(2), R"(and Files."File Path" Like "%.MP3%")");
    EXPECT_EQ(form.Label2->text(), "Record Count: 2");
    EXPECT_EQ(form.ComboBox1->count(), 12) << "typed masks are not added to the list";
}

TEST_F(ListingTest, FilterBoxesRelistOnEnterOnlyAndKeepTheDiskRestriction) {
    select("video");
    const auto before = form.Query1->sql();
    QTest::keyClicks(form.Edit1, "holi");
    QTest::keyClicks(form.Edit2, "media");
    EXPECT_EQ(form.Query1->sql(), before);

    pressEnter(form.Edit1);
    EXPECT_EQ(sqlLine(1), R"(where Files."File Name" Like "%HOLI%")");
    EXPECT_EQ(sqlLine(3), R"(and Files."Disk ID" Like "video")");
    EXPECT_EQ(sqlLine(4), R"(and Files."File Path" Like "%MEDIA%";)");
    EXPECT_EQ(gridColumn(1), QStringList{"HOLIDAY.AVI"});

    form.Edit1->clear();
    form.Edit2->clear();
    QTest::keyClick(form.Edit2, Qt::Key_Enter);
    EXPECT_EQ(form.Label2->text(), "Record Count: 2");
}

TEST_F(ListingTest, DiskIdNamedAllDisksListsEveryDisk) {
    insert({{"X.BIN", "/X.BIN", "All Disks"}});
    form.Update();
    const auto matches = form.TreeView1->findItems("All Disks", Qt::MatchRecursive);
    ASSERT_EQ(matches.size(), 2);
    form.TreeView1->setCurrentItem(matches[1]);
    EXPECT_EQ(form.Label1->text(), "Selected : All Disks");
    EXPECT_EQ(form.Query1->sql().size(), 4u);
    EXPECT_EQ(form.Label2->text(), "Record Count: 7");
}

TEST_F(ListingTest, RebuildAfterAListingShowsTheDiskIdColumnAndKeepsTheCount) {
    select("music");
    form.Edit1->setText("song");
    form.Update();
    EXPECT_EQ(form.Label1->text(), "Selected : All Disks");
    EXPECT_TRUE(form.TreeView1->selectedItems().isEmpty());
    EXPECT_EQ(form.Label2->text(), "Record Count: 2");
    EXPECT_EQ(form.Edit1->text(), "song");
    ASSERT_EQ(form.DBGrid1->model()->columnCount(), 1);
    EXPECT_EQ(form.DBGrid1->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole), "Disk ID");
    EXPECT_EQ(gridColumn(0), (QStringList{"Backup", "music", "video"}));
}

TEST_F(ListingTest, ClearingTheSelectionListsNothing) {
    select("music");
    const auto listing = form.Query1->sql();
    form.TreeView1Change(nullptr);
    form.TreeView1->clearSelection();
    EXPECT_EQ(form.Query1->sql(), listing);
    EXPECT_EQ(form.Label1->text(), "Selected : music");
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(ListingTest, EmptyCatalogueHasOnlyTheRootAndCountsZero) {
    form.Query1->close();
    form.Table1->close();
    form.Table1->setExclusive(true);
    form.Table1->emptyTable();
    form.Table1->setExclusive(false);
    form.Table1->open();
    form.Update();
    EXPECT_EQ(form.TreeView1->topLevelItemCount(), 1);
    EXPECT_TRUE(diskIdNodes().isEmpty());
    form.update2();
    EXPECT_EQ(form.Label2->text(), "Record Count: 0");
}

TEST_F(ListingTest, QuotesInFiltersAndDiskIdsAreSearchedForLikeAnyCharacter) {
    insert({{"SAY \"HI\".TXT", "/Q/SAY \"HI\".TXT", "disk \"one\"", 1},
            {"PLAIN.TXT", "/Q/PLAIN.TXT", "disk ", 1}});
    form.Update();
    select("disk \"one\"");
    EXPECT_EQ(gridColumn(1), QStringList{"SAY \"HI\".TXT"});

    select("All Disks");
    form.Edit1->setText("\"hi\"");
    pressEnter(form.Edit1);
    EXPECT_EQ(gridColumn(1), QStringList{"SAY \"HI\".TXT"});
    EXPECT_TRUE(dialogs.texts("error").isEmpty());
}

TEST_F(ListingTest, PatternCharactersInADiskIdMatchOnlyThatDiskId) {
    insert({{"P1.TXT", "/P/P1.TXT", "50%"},
            {"P2.TXT", "/P/P2.TXT", "50% off"},
            {"P3.TXT", "/P/P3.TXT", "a_b"},
            {"P4.TXT", "/P/P4.TXT", "axb"},
            {"P5.TXT", "/P/P5.TXT", "c:\\x_"}});
    form.Update();
    select("50%");
    EXPECT_EQ(gridColumn(1), QStringList{"P1.TXT"});
    select("a_b");
    EXPECT_EQ(gridColumn(1), QStringList{"P3.TXT"});
    select("c:\\x_");
    EXPECT_EQ(gridColumn(1), QStringList{"P5.TXT"});

    // In the filter boxes they stay wildcards.
    select("All Disks");
    form.Edit1->setText("p_.t");
    pressEnter(form.Edit1);
    EXPECT_EQ(form.Label2->text(), "Record Count: 5");
}

TEST_F(ListingTest, DiskIdsThatAreNotValidTextAreMatchedByteForByte) {
    insert({{"L1.TXT", "/L/L1.TXT", "disk\xE9"}, {"L2.TXT", "/L/L2.TXT", "disk\xE8"}});
    form.Update();
    QTreeWidgetItem* root = form.TreeView1->topLevelItem(0);
    ASSERT_EQ(root->childCount(), 5);
    form.TreeView1->setCurrentItem(root->child(2)); // Backup, disk\xE8, disk\xE9, ...
    EXPECT_EQ(gridColumn(1), QStringList{"L1.TXT"});
}

TEST_F(ListingTest, FailingTreeQueryLeavesTreeAndCaptionAsTheyWere) {
    select("music");
    form.Query1->close();
    form.Query1->setDatabaseName(dir.mkdir("empty"));
    EXPECT_THROW(form.Update(), katalox::EngineError);
    EXPECT_EQ(diskIdNodes(), (QStringList{"Backup", "music", "video"}));
    EXPECT_EQ(form.Label1->text(), "Selected : music");
    EXPECT_TRUE(node("music")->isSelected());
}

TEST_F(ListingTest, FailingListingLeavesTheQueryClosedAndTheCountAsItWas) {
    select("music");
    ASSERT_EQ(form.Label2->text(), "Record Count: 2");
    form.Query1->close();
    form.Query1->setDatabaseName(dir.file("missing/"));
    EXPECT_THROW(form.update2(), katalox::EngineError);
    EXPECT_FALSE(form.Query1->active());
    EXPECT_EQ(form.DataSource1->dataSet(), form.Query1);
    EXPECT_EQ(form.DBGrid1->model()->rowCount(), 0);
    EXPECT_EQ(form.Label2->text(), "Record Count: 2");

    // From a handler the error reaches the error box.
    pressEnter(form.Edit2);
    EXPECT_EQ(dialogs.texts("error").size(), 1);
}

} // namespace
