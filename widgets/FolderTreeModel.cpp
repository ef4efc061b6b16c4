#include "widgets/FolderTreeModel.h"

#include "platform/DisplayText.h"
#include "store/catalog/DiskContents.h"
#include "widgets/FolderIcon.h"
#include "widgets/SizeText.h"

#include <QApplication>
#include <QCollator>
#include <QIcon>
#include <QStyle>

#include <algorithm>

namespace katalox::widgets {

namespace {

constexpr std::uint32_t kNone = UINT32_MAX;

// The internal id of an index is its folder + 1 (0 is no folder).
quintptr idOf(std::uint32_t folder) {
    return quintptr{folder} + 1;
}

const QCollator& fileManagerCollator() {
    static const QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(true);
        return c;
    }();
    return collator;
}

} // namespace

bool namesInOrder(const QString& a, const QString& b) {
    return fileManagerCollator().compare(a, b) < 0;
}

FolderTreeModel::FolderTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

void FolderTreeModel::setContents(std::shared_ptr<const store::DiskContents> contents) {
    beginResetModel();
    contents_ = std::move(contents);
    const std::size_t folders = contents_ ? contents_->folders().size() : 0;
    sortedChildren_.assign(folders, {});
    sorted_.assign(folders + 1, false);
    rowOf_.assign(folders, 0);
    sortedRoots_.clear();
    endResetModel();
}

// Sorted the first time the view asks, so a disk of many folders opens at once.
const std::vector<std::uint32_t>& FolderTreeModel::childrenOf(std::uint32_t folder) const {
    const std::size_t slot = folder == kNone ? sorted_.size() - 1 : folder;
    std::vector<std::uint32_t>& into = folder == kNone ? sortedRoots_ : sortedChildren_[folder];
    if (!sorted_[slot]) {
        const auto& folders = contents_->folders();
        const std::vector<std::uint32_t>& from =
            folder == kNone ? contents_->roots() : folders[folder].children;
        std::vector<std::pair<QString, std::uint32_t>> named;
        named.reserve(from.size());
        for (const std::uint32_t child : from)
            named.emplace_back(platform::displayText(folders[child].name), child);
        std::sort(named.begin(), named.end(),
                  [](const auto& a, const auto& b) { return namesInOrder(a.first, b.first); });
        into.clear();
        for (const auto& [name, child] : named) {
            rowOf_[child] = static_cast<int>(into.size());
            into.push_back(child);
        }
        sorted_[slot] = true;
    }
    return into;
}

QModelIndex FolderTreeModel::indexOfFolder(std::uint32_t folder) const {
    if (!contents_ || folder >= rowOf_.size())
        return {};
    childrenOf(contents_->folders()[folder].parent); // gives the folder its row
    return createIndex(rowOf_[folder], 0, idOf(folder));
}

std::uint32_t FolderTreeModel::folderAt(const QModelIndex& index) const {
    return index.isValid() && index.model() == this
               ? static_cast<std::uint32_t>(index.internalId() - 1)
               : kNone;
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (!contents_ || column != 0 || row < 0)
        return {};
    const std::vector<std::uint32_t>& children = childrenOf(folderAt(parent));
    if (static_cast<std::size_t>(row) >= children.size())
        return {};
    return createIndex(row, 0, idOf(children[static_cast<std::size_t>(row)]));
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
    const std::uint32_t folder = folderAt(child);
    if (folder == kNone)
        return {};
    return indexOfFolder(contents_->folders()[folder].parent);
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (!contents_ || parent.column() > 0)
        return 0;
    return static_cast<int>(childrenOf(folderAt(parent)).size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
    const std::uint32_t at = folderAt(index);
    if (at == kNone)
        return {};
    const store::ContentsFolder& folder = contents_->folders()[at];
    switch (role) {
    case Qt::DisplayRole:
        return platform::displayText(folder.name);
    case Qt::ToolTipRole:
        return tr("%1\n%2 in %n file(s)", nullptr, static_cast<int>(folder.totalFiles))
            .arg(platform::displayText(contents_->pathOf(at)),
                 sizeText(static_cast<double>(folder.totalBytes)));
    case Qt::DecorationRole:
        return folderIcon(folder);
    default:
        return {};
    }
}

} // namespace katalox::widgets
