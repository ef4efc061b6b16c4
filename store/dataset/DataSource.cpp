#include "store/dataset/DataSource.h"

namespace katalox::store {

void DataSource::setDataSet(DataSet* dataSet) {
    if (dataSet_ == dataSet)
        return;
    disconnect(connection_);
    dataSet_ = dataSet;
    if (dataSet)
        connection_ = connect(dataSet, &DataSet::stateChanged, this, &DataSource::dataChanged);
    emit dataChanged();
}

} // namespace katalox::store
