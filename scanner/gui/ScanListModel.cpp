#include "scanner/gui/ScanListModel.h"

#include "platform/Error.h"

#include <QMetaObject>

#include <limits>

namespace katalox::scanner {

ScanListModel::ScanListModel(QObject* parent) : QAbstractListModel(parent) {}

int ScanListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shownRows_);
}

QVariant ScanListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() < 0 ||
        static_cast<std::size_t>(index.row()) >= shownRows_)
        return {};
    const std::string_view bytes = line(static_cast<std::size_t>(index.row()));
    QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    // A name may hold a line break or a tab; one row shows one line.
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QChar::ReplacementCharacter;
    }
    return text;
}

void ScanListModel::append(std::string_view line) {
    // A view counts its rows in int: a list that long refuses further lines.
    if (ends_.size() >= static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw Error("The list is full");
    text_.append(line);
    ends_.push_back(text_.size());
    if (!flushPending_) {
        // Runs when the scan next lets waiting events be processed: one batch per turn.
        flushPending_ = true;
        QMetaObject::invokeMethod(this, &ScanListModel::flushFromEventLoop, Qt::QueuedConnection);
    }
}

void ScanListModel::flushFromEventLoop() {
    if (flushPending_)
        flush();
}

void ScanListModel::flush() {
    flushPending_ = false;
    if (shownRows_ == ends_.size())
        return;
    beginInsertRows(QModelIndex(), static_cast<int>(shownRows_),
                    static_cast<int>(ends_.size() - 1));
    shownRows_ = ends_.size();
    endInsertRows();
    emit linesShown();
}

void ScanListModel::clear() {
    beginResetModel();
    text_.clear();
    text_.shrink_to_fit();
    ends_.clear();
    ends_.shrink_to_fit();
    shownRows_ = 0;
    flushPending_ = false;
    endResetModel();
}

std::string_view ScanListModel::line(std::size_t index) const {
    const std::size_t begin = index == 0 ? 0 : ends_[index - 1];
    return std::string_view(text_).substr(begin, ends_[index] - begin);
}

} // namespace katalox::scanner
