#include "widgets/FolderListModel.h"

#include "platform/DisplayText.h"
#include "widgets/FileKinds.h"
#include "widgets/FolderIcon.h"
#include "widgets/SizeText.h"

#include <QApplication>
#include <QCollator>
#include <QDateTime>
#include <QLocale>
#include <QStyle>

#include <algorithm>

namespace katalox::widgets {

namespace {

QCollator fileManagerCollator() {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    return collator;
}

QString timeText(std::int64_t seconds) {
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(seconds), QLocale::ShortFormat);
}

} // namespace

FolderListModel::FolderListModel(QObject* parent) : QAbstractTableModel(parent) {}

void FolderListModel::showFolder(std::shared_ptr<const store::DiskContents> contents,
                                 std::uint32_t folder) {
    std::vector<store::ContentsFile> files = contents->filesIn(folder);
    beginResetModel();
    contents_ = std::move(contents);
    folder_ = folder;
    files_ = std::move(files);
    all_.clear();
    keys_.clear();
    const auto& children = contents_->folders()[folder].children;
    all_.reserve(children.size() + files_.size());
    for (std::uint32_t i = 0; i < children.size(); ++i)
        all_.push_back({true, i, platform::displayText(contents_->folders()[children[i]].name)});
    for (std::uint32_t i = 0; i < files_.size(); ++i)
        all_.push_back({false, i, platform::displayText(files_[i].name)});
    arrange();
    endResetModel();
}

void FolderListModel::setFilterText(const QString& text) {
    beginResetModel();
    filter_ = text;
    arrange();
    endResetModel();
}

std::int64_t FolderListModel::sizeOf(const Row& row) const {
    if (row.isFolder)
        return contents_->folders()[contents_->folders()[folder_].children[row.index]].totalBytes;
    return files_[row.index].size;
}

bool FolderListModel::before(const Row& a, const Row& b) const {
    if (a.isFolder != b.isFolder)
        return a.isFolder; // folders first, whichever the order
    const auto ordered = [this](auto x, auto y) {
        return sortOrder_ == Qt::AscendingOrder ? x < y : y < x;
    };
    const auto nameKey = [this](const Row& row) -> const QCollatorSortKey& {
        return keys_[&row - all_.data()];
    };
    switch (sortColumn_) {
    case Size:
        if (sizeOf(a) != sizeOf(b))
            return ordered(sizeOf(a), sizeOf(b));
        break;
    case Files:
        if (a.isFolder) {
            const auto& folders = contents_->folders();
            const auto& children = folders[folder_].children;
            const std::int64_t x = folders[children[a.index]].totalFiles;
            const std::int64_t y = folders[children[b.index]].totalFiles;
            if (x != y)
                return ordered(x, y);
        }
        break;
    case Modified:
        if (!a.isFolder) {
            const std::int64_t x = files_[a.index].modified.value_or(0);
            const std::int64_t y = files_[b.index].modified.value_or(0);
            if (x != y)
                return ordered(x, y);
        }
        break;
    case Kind:
        if (!a.isFolder) {
            const QString x = fileKindText(files_[a.index].name);
            const QString y = fileKindText(files_[b.index].name);
            if (x != y)
                return ordered(x, y);
        }
        break;
    default:
        return sortOrder_ == Qt::AscendingOrder ? nameKey(a).compare(nameKey(b)) < 0
                                                : nameKey(b).compare(nameKey(a)) < 0;
    }
    return nameKey(a).compare(nameKey(b)) < 0; // ties by name
}

void FolderListModel::arrange() {
    if (keys_.size() != all_.size()) {
        const QCollator collator = fileManagerCollator();
        keys_.clear();
        keys_.reserve(all_.size());
        for (const Row& row : all_)
            keys_.push_back(collator.sortKey(row.name));
    }
    std::vector<const Row*> rows;
    rows.reserve(all_.size());
    for (const Row& row : all_)
        if (filter_.isEmpty() || row.name.contains(filter_, Qt::CaseInsensitive))
            rows.push_back(&row);
    std::stable_sort(rows.begin(), rows.end(),
                     [this](const Row* a, const Row* b) { return before(*a, *b); });
    shown_ = std::move(rows);
}

void FolderListModel::sort(int column, Qt::SortOrder order) {
    beginResetModel();
    sortColumn_ = column;
    sortOrder_ = order;
    if (contents_)
        arrange();
    endResetModel();
}

FolderListModel::Entry FolderListModel::entryAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= shown_.size())
        return {};
    const Row& at = *shown_[static_cast<std::size_t>(row)];
    if (at.isFolder)
        return {true, contents_->folders()[folder_].children[at.index], nullptr};
    return {false, 0, &files_[at.index]};
}

std::optional<int> FolderListModel::rowOfRecord(std::int64_t record) const {
    for (std::size_t i = 0; i < shown_.size(); ++i)
        if (!shown_[i]->isFolder && files_[shown_[i]->index].record == record)
            return static_cast<int>(i);
    return std::nullopt;
}

std::optional<int> FolderListModel::rowOfFolder(std::uint32_t folder) const {
    for (std::size_t i = 0; i < shown_.size(); ++i)
        if (shown_[i]->isFolder &&
            contents_->folders()[folder_].children[shown_[i]->index] == folder)
            return static_cast<int>(i);
    return std::nullopt;
}

int FolderListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int FolderListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FolderListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= shown_.size())
        return {};
    const Row& row = *shown_[static_cast<std::size_t>(index.row())];
    const store::ContentsFolder* folder =
        row.isFolder ? &contents_->folders()[contents_->folders()[folder_].children[row.index]]
                     : nullptr;
    const store::ContentsFile* file = row.isFolder ? nullptr : &files_[row.index];
    if (role == Qt::DecorationRole && index.column() == Name)
        return folder ? folderIcon(*folder)
                      : QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    if (role == Qt::TextAlignmentRole && (index.column() == Size || index.column() == Files))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Name:
        return row.name;
    case Size:
        return sizeText(static_cast<double>(sizeOf(row)));
    case Files:
        return folder ? QLocale().toString(static_cast<qlonglong>(folder->totalFiles)) : QString();
    case Modified:
        return file && file->modified ? timeText(*file->modified) : QString();
    case Kind:
        return folder ? fileKindName(FileKind::Folder) : fileKindText(file->name);
    default:
        return {};
    }
}

QVariant FolderListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Name:
        return tr("Name");
    case Size:
        return tr("Size");
    case Files:
        return tr("Files");
    case Modified:
        return tr("Modified");
    case Kind:
        return tr("Kind");
    default:
        return {};
    }
}

} // namespace katalox::widgets
