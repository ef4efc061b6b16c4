#pragma once
// The grid's data link (DataSource1): which data set a grid shows.
#include "store/dataset/DataSet.h"

#include <QObject>
#include <QPointer>

namespace katalox::store {

class DataSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    DataSet* dataSet() const { return dataSet_; }
    void setDataSet(DataSet* dataSet);

signals:
    // The bound data set changed, or it opened, closed, changed its fields or its records.
    void dataChanged();

private:
    QPointer<DataSet> dataSet_;
    QMetaObject::Connection stateConnection_;
    QMetaObject::Connection recordsConnection_;
};

} // namespace katalox::store
