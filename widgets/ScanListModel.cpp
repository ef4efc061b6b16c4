#include "widgets/ScanListModel.h"

#include "platform/DisplayText.h"
#include "platform/Error.h"

#include <QMetaObject>

#include <algorithm>
#include <limits>

namespace katalox::widgets {

namespace {
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
} // namespace

ScanListModel::ScanListModel(QObject* parent) : QAbstractListModel(parent) {}

int ScanListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shownRows_);
}

QVariant ScanListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() < 0 ||
        static_cast<std::size_t>(index.row()) >= shownRows_)
        return {};
    const std::string_view bytes = line(static_cast<std::size_t>(index.row()));
    QString text = platform::displayText(bytes);
    // A name may hold a line break or a tab; one row shows one line.
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QChar::ReplacementCharacter;
    }
    return text;
}

void ScanListModel::append(std::string_view line) {
    // A view counts its rows in int: a list that long refuses further lines.
    if (spans_.size() >= static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw Error("The list is full");
    if (chunks_.empty() || chunks_.back().capacity() - chunks_.back().size() < line.size()) {
        chunks_.emplace_back();
        chunks_.back().reserve(std::max(kChunkBytes, line.size()));
    }
    std::string& chunk = chunks_.back();
    spans_.push_back({static_cast<std::uint32_t>(chunks_.size() - 1),
                      static_cast<std::uint32_t>(chunk.size()),
                      static_cast<std::uint32_t>(line.size())});
    chunk.append(line); // within the reserved capacity: never moves the chunk
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
    if (shownRows_ == spans_.size())
        return;
    beginInsertRows(QModelIndex(), static_cast<int>(shownRows_),
                    static_cast<int>(spans_.size() - 1));
    shownRows_ = spans_.size();
    endInsertRows();
    emit linesShown();
}

void ScanListModel::clear() {
    beginResetModel();
    chunks_.clear();
    chunks_.shrink_to_fit();
    spans_.clear();
    spans_.shrink_to_fit();
    shownRows_ = 0;
    flushPending_ = false;
    endResetModel();
}

std::string_view ScanListModel::line(std::size_t index) const {
    const LineSpan& span = spans_[index];
    return std::string_view(chunks_[span.chunk]).substr(span.begin, span.size);
}

} // namespace katalox::widgets
