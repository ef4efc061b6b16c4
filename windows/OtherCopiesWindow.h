#pragma once
// "Other Copies...": every record on any disk with the same content as one file, with its
// disk, its path, whether that disk is connected now and whether the copy is sure (both read
// whole and alike) or probable (the same size and samples).
#include <QWidget>

#include <cstdint>
#include <string>

class QLabel;
class QStandardItemModel;
class QTableView;

class CatalogueCopies;

class OtherCopiesWindow : public QWidget {
    Q_OBJECT
public:
    explicit OtherCopiesWindow(QWidget* parent = nullptr);

    // The copies of `record`, named `name` in the caption.
    void showCopiesOf(const CatalogueCopies& catalogue, std::int64_t record, const QString& name);

private:
    QLabel* summary_;
    QStandardItemModel* model_;
    QTableView* view_;
};
