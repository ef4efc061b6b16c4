#include "widgets/DataSetModel.h"

#include "platform/DisplayText.h"

#include <algorithm>
#include <exception>
#include <limits>

namespace katalox::widgets {

namespace {

const QString kIndicator = QStringLiteral("\u25B8");

} // namespace

DataSetModel::DataSetModel(QObject* parent) : QAbstractTableModel(parent) {}

void DataSetModel::setDataSource(store::DataSource* dataSource) {
    disconnect(connection_);
    dataSource_ = dataSource;
    if (dataSource)
        connection_ =
            connect(dataSource, &store::DataSource::dataChanged, this, &DataSetModel::rebuild);
    rebuild();
}

void DataSetModel::rebuild() {
    beginResetModel();
    fields_.clear();
    recordCount_ = 0;
    windowStart_ = 0;
    indicatorRecord_ = -1;
    failureTold_ = false;
    store::DataSet* dataSet = dataSource_ ? dataSource_->dataSet() : nullptr;
    if (dataSet && dataSet->active()) {
        try {
            fields_ = dataSet->fields();
            // A view addresses rows with int; a larger result shows its first INT_MAX records.
            const std::int64_t count = dataSet->recordCount();
            recordCount_ = fields_.empty() ? 0
                                           : static_cast<int>(std::min<std::int64_t>(
                                                 count, std::numeric_limits<int>::max()));
        } catch (const std::exception&) {
            // Whoever opened the result meets the same error and reports it; the grid shows
            // nothing rather than a half-built result.
            fields_.clear();
            recordCount_ = 0;
        }
    }
    endResetModel();
}

void DataSetModel::setWindowStart(int record) {
    record = std::clamp(record, 0, recordCount_ - rows());
    if (record == windowStart_)
        return;
    windowStart_ = record;
    const int last = rows() - 1;
    emit dataChanged(index(0, 0), index(last, columnCount() - 1));
    emit headerDataChanged(Qt::Vertical, 0, last);
}

void DataSetModel::setIndicatorRecord(int record) {
    if (record >= recordCount_)
        record = -1;
    if (record == indicatorRecord_)
        return;
    const int old = indicatorRecord_;
    indicatorRecord_ = record;
    for (const int shown : {old - windowStart_, record - windowStart_})
        if (shown >= 0 && shown < rows())
            emit headerDataChanged(Qt::Vertical, shown, shown);
}

int DataSetModel::rows() const {
    return windowed() ? std::min(recordCount_, kWindowRows) : recordCount_;
}

int DataSetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows();
}

int DataSetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(fields_.size());
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows() || index.column() >= columnCount())
        return {};
    if (role == Qt::TextAlignmentRole) {
        // Numbers line up on the right, as in any table of sizes.
        const store::FieldKind kind = fields_[static_cast<std::size_t>(index.column())].kind;
        const bool numeric = kind == store::FieldKind::Integer || kind == store::FieldKind::Float;
        return QVariant::fromValue(Qt::AlignVCenter | (numeric ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole)
        return {};
    store::DataSet* dataSet = dataSource_ ? dataSource_->dataSet() : nullptr;
    if (!dataSet || !dataSet->active())
        return {};
    try {
        return platform::displayText(
            dataSet->valueAt(windowStart_ + index.row(), index.column()).asString());
    } catch (const std::exception& error) {
        // A painting view cannot take an error: the record shows empty cells, and whoever
        // shows the grid learns of it once painting is over.
        if (!failureTold_) {
            failureTold_ = true;
            auto* self = const_cast<DataSetModel*>(this);
            QMetaObject::invokeMethod(
                self,
                [self, message = QString::fromUtf8(error.what())] {
                    emit self->readFailed(message);
                },
                Qt::QueuedConnection);
        }
        return {};
    }
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columnCount())
            return {};
        return platform::displayText(fields_[static_cast<std::size_t>(section)].name);
    }
    return section + windowStart_ == indicatorRecord_ ? kIndicator : QString();
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace katalox::widgets
