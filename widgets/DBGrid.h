#pragma once
// The read-only data grid: column titles, a record indicator, whole-row selection, Tab between
// columns, no editing. It shows the data set its data link is bound to and never copies it.
//
// A result too large for one view row per record is shown through the model's window: the
// grid owns its vertical scroll bar, whose range covers the whole result and whose value is
// the record at the top, and moves the window as the user scrolls or moves the cursor. The
// current record stays on screen, as in a grid that buffers only the rows it shows.
#include <QTableView>

namespace katalox::store {
class DataSource;
}

namespace katalox::widgets {

class DataSetModel;

class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget* parent = nullptr);

    void setDataSource(store::DataSource* dataSource);
    DataSetModel* dataSetModel() const { return model_; }

    // Records in the result shown, windowed or not.
    int recordCount() const;
    // The 0-based record under the grid's cursor, or -1 when there is none.
    int currentRecord() const;
    // Makes `record` current and scrolls it into view; out-of-range records are ignored.
    void setCurrentRecord(int record);

    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

protected:
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    // Rows fully visible in the viewport.
    int pageRows() const;
    // Shows the window from `top` on: places the model's window, the scroll bar and the rows,
    // and keeps the current record among the visible ones.
    void showFrom(int top);
    // Scrolls as little as needed for `record` to be fully visible.
    void reveal(int record);
    void makeCurrent(int record, int column);

    DataSetModel* model_;
    // The record at the top of the viewport, while windowed.
    int top_ = 0;
    // Set while the grid itself moves the vertical scroll bar.
    bool syncing_ = false;
};

} // namespace katalox::widgets
