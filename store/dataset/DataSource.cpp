#include "store/dataset/DataSource.h"

namespace katalox::store {

void DataSource::setDataSet(DataSet* dataSet) {
    if (dataSet_ == dataSet)
        return;
    disconnect(stateConnection_);
    disconnect(recordsConnection_);
    dataSet_ = dataSet;
    if (dataSet) {
        stateConnection_ = connect(dataSet, &DataSet::stateChanged, this, &DataSource::dataChanged);
        recordsConnection_ =
            connect(dataSet, &DataSet::recordsChanged, this, &DataSource::dataChanged);
    }
    emit dataChanged();
}

} // namespace katalox::store
