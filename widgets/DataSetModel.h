#pragma once
// The grid's model: one column per field and one row per record of whatever data set the data
// link is bound to, read from the data set only when a cell is painted.
#include "store/DataSource.h"

#include <QAbstractTableModel>
#include <QPointer>

#include <cstdint>
#include <vector>

namespace katalox::widgets {

class DataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DataSetModel(QObject* parent = nullptr);

    // Follows the data link: every change of its data set, or of that data set's state,
    // rebuilds the columns and the row count.
    void setDataSource(store::DataSource* dataSource);

    // Reads the columns and the row count again, for records written to the bound data set
    // while it stayed open (the data set reports only opening and closing).
    void refresh() { rebuild(); }

    // The record that carries the record indicator in the vertical header (-1 for none).
    void setIndicatorRow(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void rebuild();

    QPointer<store::DataSource> dataSource_;
    QMetaObject::Connection connection_;
    std::vector<store::Field> fields_;
    // Counted once per result: the engine's count can take a full pass over the table.
    int rowCount_ = 0;
    int indicatorRow_ = -1;
};

} // namespace katalox::widgets
