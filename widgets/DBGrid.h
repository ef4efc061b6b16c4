#pragma once
// The read-only data grid: column titles, a record indicator, whole-row selection, Tab between
// columns, no editing. It shows the data set its data link is bound to and never copies it.
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

    // The 0-based record under the grid's cursor, or -1 when there is none.
    int currentRecord() const;

private:
    DataSetModel* model_;
};

} // namespace katalox::widgets
