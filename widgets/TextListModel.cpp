#include "widgets/TextListModel.h"

namespace katalox::widgets {

void TextListModel::show(int count, RowText text) {
    beginResetModel();
    count_ = count;
    text_ = std::move(text);
    endResetModel();
}

int TextListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count_;
}

QVariant TextListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= count_)
        return {};
    return text_(index.row());
}

} // namespace katalox::widgets
