#pragma once
// A one-column list whose rows are read on demand from the data they show, so a list of a
// million changed files costs no copy of them.
#include <QAbstractListModel>

#include <functional>

namespace katalox::widgets {

class TextListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using RowText = std::function<QString(int row)>;
    explicit TextListModel(QObject* parent = nullptr) : QAbstractListModel(parent) {}

    // Shows `count` rows, row r reading `text(r)`; the data must outlive the next call.
    void show(int count, RowText text);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    int count_ = 0;
    RowText text_;
};

} // namespace katalox::widgets
