#include "FakeDataSet.h"

#include "store/dataset/DataSource.h"
#include "widgets/DBGrid.h"
#include "widgets/DataSetModel.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

using katalox::store::DataSource;
using katalox::store::FieldKind;
using katalox::test::FakeDataSet;
using katalox::widgets::DataSetModel;
using katalox::widgets::DBGrid;

namespace {

constexpr int kRecords = 1000;

// A result above the window threshold: the view holds a window of rows, while scrolling, keys
// and the current record range over the whole result.
class WindowedGridTest : public ::testing::Test {
protected:
    FakeDataSet table;
    DataSource source;
    DBGrid grid;

    void SetUp() override {
        table.fieldList = {{"Id", FieldKind::Integer}, {"File Name", FieldKind::Text}};
        for (int record = 0; record < kRecords; ++record)
            table.rows.push_back({std::to_string(record), "F" + std::to_string(record)});
        grid.dataSetModel()->setWindowThreshold(100);
        grid.setDataSource(&source);
        grid.resize(300, 200);
        grid.show();
        table.open();
        source.setDataSet(&table);
    }

    QString idAt(QPoint point) const {
        return grid.indexAt(point).siblingAtColumn(0).data().toString();
    }
    QString topRecord() const { return idAt({1, 1}); }
    QScrollBar* bar() const { return grid.verticalScrollBar(); }

    // The cursor's row shows the record currentRecord() names, fully on screen and marked
    // by the record indicator alone.
    void expectCurrent(int record) const {
        EXPECT_EQ(grid.currentRecord(), record);
        const QModelIndex current = grid.currentIndex();
        EXPECT_EQ(current.siblingAtColumn(0).data().toString(), QString::number(record));
        EXPECT_TRUE(grid.viewport()->rect().contains(grid.visualRect(current)));
        const QAbstractItemModel* model = grid.model();
        for (int row = 0; row < model->rowCount(); ++row)
            EXPECT_EQ(model->headerData(row, Qt::Vertical, Qt::DisplayRole).toString().isEmpty(),
                      row != current.row())
                << "row " << row;
    }
};

TEST_F(WindowedGridTest, ScrollBarRangesOverTheWholeResultWithAFewRowsInTheView) {
    EXPECT_EQ(grid.recordCount(), kRecords);
    EXPECT_LE(grid.verticalHeader()->count(), DataSetModel::kWindowRows);
    EXPECT_EQ(bar()->maximum() + bar()->pageStep(), kRecords);
    EXPECT_EQ(topRecord(), "0");
    expectCurrent(0);

    // Dragging the thumb shows the records at its position; the cursor follows onto them.
    bar()->setValue(500);
    EXPECT_EQ(topRecord(), "500");
    expectCurrent(500);

    bar()->setValue(bar()->maximum());
    EXPECT_EQ(topRecord(), QString::number(kRecords - bar()->pageStep()));
    EXPECT_EQ(idAt({1, bar()->pageStep() * grid.verticalHeader()->defaultSectionSize() - 2}),
              QString::number(kRecords - 1));
    expectCurrent(kRecords - bar()->pageStep());
    EXPECT_LE(grid.verticalHeader()->count(), DataSetModel::kWindowRows);

    // A small result afterwards is shown whole again, from its first record.
    table.reopen(table.fieldList, {{"1", "A"}, {"2", "B"}});
    EXPECT_EQ(grid.model()->rowCount(), 2);
    EXPECT_EQ(topRecord(), "1");
    EXPECT_EQ(grid.currentRecord(), 0);
}

TEST_F(WindowedGridTest, KeysMoveTheCursorPastTheWindowEdges) {
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    expectCurrent(kRecords - 1);
    EXPECT_EQ(bar()->value(), bar()->maximum());

    QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
    expectCurrent(0);
    EXPECT_EQ(topRecord(), "0");

    for (int step = 0; step < DataSetModel::kWindowRows + 10; ++step)
        QTest::keyClick(&grid, Qt::Key_Down);
    expectCurrent(DataSetModel::kWindowRows + 10);

    const int page = bar()->pageStep();
    QTest::keyClick(&grid, Qt::Key_PageDown);
    expectCurrent(DataSetModel::kWindowRows + 10 + page);
    QTest::keyClick(&grid, Qt::Key_PageUp);
    QTest::keyClick(&grid, Qt::Key_PageUp);
    QTest::keyClick(&grid, Qt::Key_Up);
    expectCurrent(DataSetModel::kWindowRows + 9 - page);

    grid.setCurrentRecord(700);
    expectCurrent(700);
    EXPECT_EQ(grid.selectionModel()->selectedRows().size(), 1);
}

} // namespace
