#include "widgets/DBGrid.h"

#include "widgets/DataSetModel.h"

#include <QHeaderView>
#include <QScopedValueRollback>
#include <QScrollBar>

#include <algorithm>

namespace katalox::widgets {

DBGrid::DBGrid(QWidget* parent) : QTableView(parent), model_(new DataSetModel(this)) {
    setModel(model_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTabKeyNavigation(true);
    setShowGrid(true);
    setWordWrap(false);
    // Fixed row heights keep a million-row result as cheap as an empty one: nothing is
    // measured per row, and scrolling computes positions instead of summing heights.
    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 4);
    rows->setMinimumWidth(12);
    rows->setHighlightSections(false);
    QHeaderView* columns = horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setDefaultSectionSize(64);
    columns->setHighlightSections(false);
    columns->setSectionsClickable(false);

    // Like a freshly opened result, the grid starts on the first record.
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        top_ = 0;
        if (model_->rowCount() > 0 && model_->columnCount() > 0)
            setCurrentIndex(model_->index(0, 0));
        if (model_->windowed())
            showFrom(0);
        model_->setIndicatorRecord(currentRecord());
    });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                model_->setIndicatorRecord(current.isValid() ? model_->windowStart() + current.row()
                                                             : -1);
            });
}

void DBGrid::setDataSource(store::DataSource* dataSource) {
    model_->setDataSource(dataSource);
}

int DBGrid::recordCount() const {
    return model_->recordCount();
}

int DBGrid::currentRecord() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? model_->windowStart() + current.row() : -1;
}

void DBGrid::setCurrentRecord(int record) {
    if (record < 0 || record >= recordCount())
        return;
    const int column = std::max(currentIndex().column(), 0);
    if (model_->windowed())
        makeCurrent(record, column);
    else
        setCurrentIndex(model_->index(record, column));
    scrollTo(currentIndex());
}

void DBGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!model_->windowed() || !index.isValid()) {
        QTableView::scrollTo(index, hint);
        return;
    }
    {
        // The table brings the column into view; the rows are the window's business.
        const QScopedValueRollback guard(syncing_, true);
        QTableView::scrollTo(index, hint);
    }
    reveal(model_->windowStart() + index.row());
}

void DBGrid::updateGeometries() {
    {
        const QScopedValueRollback guard(syncing_, true);
        QTableView::updateGeometries();
    }
    if (model_->windowed())
        showFrom(top_);
}

void DBGrid::scrollContentsBy(int dx, int dy) {
    if (!model_->windowed()) {
        QTableView::scrollContentsBy(dx, dy);
        return;
    }
    if (dx != 0)
        QTableView::scrollContentsBy(dx, 0);
    if (dy != 0 && !syncing_)
        showFrom(verticalScrollBar()->value());
}

QModelIndex DBGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex moved = QTableView::moveCursor(action, modifiers);
    const int current = currentRecord();
    const int count = recordCount();
    if (!model_->windowed() || current < 0 || !moved.isValid())
        return moved;
    // The table moves within the window; the record moves within the whole result.
    const bool control = modifiers.testFlag(Qt::ControlModifier);
    const bool rowChanged = moved.row() != currentIndex().row();
    int target = current;
    switch (action) {
    case MoveUp:
        target = current - 1;
        break;
    case MoveDown:
        target = current + 1;
        break;
    case MovePageUp:
        target = current - pageRows();
        break;
    case MovePageDown:
        target = current + pageRows();
        break;
    case MoveHome:
        target = control ? 0 : current;
        break;
    case MoveEnd:
        target = control ? count - 1 : current;
        break;
    // Tab past the last column goes on to the next record, and past the last record to the
    // first.
    case MoveNext:
        target = rowChanged ? (current + 1) % count : current;
        break;
    case MovePrevious:
        target = rowChanged ? (current + count - 1) % count : current;
        break;
    default:
        break;
    }
    makeCurrent(std::clamp(target, 0, count - 1), moved.column());
    return currentIndex();
}

int DBGrid::pageRows() const {
    return std::max(1, viewport()->height() / verticalHeader()->defaultSectionSize());
}

void DBGrid::showFrom(int top) {
    const int current = currentRecord();
    const int column = std::max(currentIndex().column(), 0);
    const int count = recordCount();
    const int page = pageRows();
    top_ = std::clamp(top, 0, std::max(0, count - page));

    // Move the window only when the visible rows, and the one partly shown below them, leave
    // it; then centre it on them so that small scrolls either way stay inside.
    const int rows = model_->rowCount();
    if (top_ < model_->windowStart() || top_ + page + 1 > model_->windowStart() + rows)
        model_->setWindowStart(top_ - std::max(0, rows - page) / 2);

    {
        const QScopedValueRollback guard(syncing_, true);
        QScrollBar* bar = verticalScrollBar();
        bar->setRange(0, std::max(0, count - page));
        bar->setPageStep(page);
        bar->setSingleStep(1);
        bar->setValue(top_);
    }
    verticalHeader()->setOffset(verticalHeader()->sectionPosition(top_ - model_->windowStart()));
    viewport()->update();

    if (current >= 0) {
        const int kept = std::clamp(current, top_, std::min(top_ + page, count) - 1);
        selectionModel()->setCurrentIndex(model_->index(kept - model_->windowStart(), column),
                                          QItemSelectionModel::ClearAndSelect |
                                              QItemSelectionModel::Rows);
    }
    model_->setIndicatorRecord(currentRecord());
}

void DBGrid::reveal(int record) {
    const int page = pageRows();
    if (record < top_)
        showFrom(record);
    else if (record >= top_ + page)
        showFrom(record - page + 1);
    else
        showFrom(top_);
}

void DBGrid::makeCurrent(int record, int column) {
    reveal(record);
    selectionModel()->setCurrentIndex(model_->index(record - model_->windowStart(), column),
                                      QItemSelectionModel::ClearAndSelect |
                                          QItemSelectionModel::Rows);
    model_->setIndicatorRecord(record);
}

} // namespace katalox::widgets
