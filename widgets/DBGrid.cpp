#include "widgets/DBGrid.h"

#include "widgets/DataSetModel.h"

#include <QHeaderView>

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
        if (model_->rowCount() > 0 && model_->columnCount() > 0)
            setCurrentIndex(model_->index(0, 0));
        model_->setIndicatorRow(currentRecord());
    });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                model_->setIndicatorRow(current.isValid() ? current.row() : -1);
            });
}

void DBGrid::setDataSource(store::DataSource* dataSource) {
    model_->setDataSource(dataSource);
}

int DBGrid::currentRecord() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

} // namespace katalox::widgets
