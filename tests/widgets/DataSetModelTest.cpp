#include "FakeDataSet.h"

#include "store/dataset/DataSource.h"
#include "widgets/DBGrid.h"
#include "widgets/DataSetModel.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <gtest/gtest.h>

using katalox::store::DataSource;
using katalox::store::Field;
using katalox::store::FieldKind;
using katalox::test::FakeDataSet;
using katalox::widgets::DataSetModel;
using katalox::widgets::DBGrid;

namespace {

std::vector<Field> catalogFields() {
    return {{"Id", FieldKind::Integer},
            {"File Name", FieldKind::Text},
            {"File Path", FieldKind::Text},
            {"Disk ID", FieldKind::Text},
            {"File Size", FieldKind::Integer}};
}

QStringList columnTitles(const QAbstractItemModel& model) {
    QStringList titles;
    for (int column = 0; column < model.columnCount(); ++column)
        titles << model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    return titles;
}

class DataSetModelTest : public ::testing::Test {
protected:
    FakeDataSet table;
    FakeDataSet query;
    DataSource source;
    DataSetModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};

    void SetUp() override {
        table.fieldList = catalogFields();
        table.rows = {{"1", "A.TXT", "/D/A.TXT", "disk", "10"},
                      {"2", "B.TXT", "/D/B.TXT", "disk", "20"}};
        model.setDataSource(&source);
    }
};

TEST_F(DataSetModelTest, ShowsTheBoundDataSetWithFieldNamesAsTitles) {
    source.setDataSet(&table);
    EXPECT_EQ(model.rowCount(), 0) << "a closed data set shows nothing";
    EXPECT_EQ(model.columnCount(), 0);

    table.open();
    EXPECT_EQ(columnTitles(model),
              (QStringList{"Id", "File Name", "File Path", "Disk ID", "File Size"}));
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.data(model.index(1, 2), Qt::DisplayRole).toString(), "/D/B.TXT");
    EXPECT_FALSE(model.data(model.index(1, 2), Qt::EditRole).isValid());
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);

    table.close();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 0);
}

TEST_F(DataSetModelTest, RebuildsColumnsWhenTheResultReopensWithOtherFields) {
    source.setDataSet(&query);
    query.reopen(catalogFields(), {{"1", "A", "/A", "x", "1"}});
    EXPECT_EQ(model.columnCount(), 5);

    query.reopen({{"Disk ID", FieldKind::Text}}, {{"alpha"}, {"beta"}, {"gamma"}});
    EXPECT_EQ(columnTitles(model), QStringList{"Disk ID"});
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.data(model.index(2, 0), Qt::DisplayRole).toString(), "gamma");

    // Binding another data set shows that one at once.
    table.open();
    source.setDataSet(&table);
    EXPECT_EQ(model.columnCount(), 5);
    EXPECT_EQ(model.rowCount(), 2);
}

TEST_F(DataSetModelTest, CountsOnceAndReadsOnlyWhatIsAskedFor) {
    table.rows.resize(100000, {"9", "N", "/P", "d", "0"});
    table.open();
    source.setDataSet(&table);
    EXPECT_EQ(model.rowCount(), 100000);
    const int counted = table.countCalls;
    table.valueCalls = 0;
    for (int i = 0; i < 10; ++i)
        model.rowCount();
    model.data(model.index(99999, 1), Qt::DisplayRole);
    EXPECT_EQ(table.countCalls, counted);
    EXPECT_EQ(table.valueCalls, 1);
}

TEST_F(DataSetModelTest, FailingCountShowsAnEmptyGrid) {
    table.failCount = true;
    table.open();
    source.setDataSet(&table);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 0);
}

TEST(DBGridTest, ReadOnlyRowSelectingGridStartingOnTheFirstRecord) {
    FakeDataSet table;
    table.fieldList = catalogFields();
    table.rows = {{"1", "A", "/A", "x", "1"}, {"2", "B", "/B", "x", "2"}};
    DataSource source;
    DBGrid grid;
    grid.setDataSource(&source);
    EXPECT_EQ(grid.currentRecord(), -1);

    table.open();
    source.setDataSet(&table);
    EXPECT_EQ(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(grid.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(grid.tabKeyNavigation());
    EXPECT_EQ(grid.horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    EXPECT_FALSE(grid.verticalHeader()->isHidden()) << "the record indicator";
    EXPECT_EQ(grid.currentRecord(), 0);
    EXPECT_FALSE(grid.model()->headerData(0, Qt::Vertical, Qt::DisplayRole).toString().isEmpty());

    grid.setCurrentIndex(grid.model()->index(1, 3));
    EXPECT_EQ(grid.currentRecord(), 1);
    EXPECT_TRUE(grid.model()->headerData(0, Qt::Vertical, Qt::DisplayRole).toString().isEmpty());
    EXPECT_FALSE(grid.model()->headerData(1, Qt::Vertical, Qt::DisplayRole).toString().isEmpty());
}

} // namespace
