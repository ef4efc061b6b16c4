#pragma once
// The grid's model: one column per field and one row per record of whatever data set the data
// link is bound to, read from the data set only when a cell is painted. A result larger than
// the window threshold is shown through a window of rows starting at a chosen record, so the
// view keeps a few hundred rows whatever the size of the result.
#include "store/dataset/DataSource.h"

#include <QAbstractTableModel>
#include <QPointer>

#include <cstdint>
#include <vector>

namespace katalox::widgets {

class DataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Rows a window holds: more than any screen shows at once.
    static constexpr int kWindowRows = 256;
    // Results up to this many records get one row per record.
    static constexpr int kDefaultWindowThreshold = 1000000;

    explicit DataSetModel(QObject* parent = nullptr);

    // Follows the data link: every change of its data set, or of that data set's state,
    // rebuilds the columns and the row count.
    void setDataSource(store::DataSource* dataSource);

    // Reads the columns and the row count again, for records written to the bound data set
    // while it stayed open (the data set reports only opening and closing).
    void refresh() { rebuild(); }

    // Results of more records than this are shown through a window; takes effect on the next
    // rebuild.
    void setWindowThreshold(int records) { windowThreshold_ = records; }

    // Records in the whole result, whether windowed or not.
    int recordCount() const { return recordCount_; }
    bool windowed() const { return recordCount_ > windowThreshold_; }
    // The record shown in row 0; always 0 unless windowed.
    int windowStart() const { return windowStart_; }
    // Moves the window so that it starts at `record`, kept within the result.
    void setWindowStart(int record);

    // The record that carries the record indicator in the vertical header (-1 for none).
    void setIndicatorRecord(int record);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // A record could not be read (the engine's message), told once per result, after the
    // painting that met it: its cells show empty.
    void readFailed(const QString& message);

private:
    void rebuild();
    int rows() const;

    QPointer<store::DataSource> dataSource_;
    QMetaObject::Connection connection_;
    std::vector<store::Field> fields_;
    // Counted once per result: the engine's count can take a full pass over the table.
    int recordCount_ = 0;
    int windowThreshold_ = kDefaultWindowThreshold;
    int windowStart_ = 0;
    int indicatorRecord_ = -1;
    mutable bool failureTold_ = false;
};

} // namespace katalox::widgets
