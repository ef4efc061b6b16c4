#pragma once
// The folder tree of one disk for a tree view: the disk's scan roots at the top, each folder's
// subfolders below it by name. Nodes are made only as the view asks for them, so a disk of
// many thousand folders opens at once.
#include <QAbstractItemModel>

#include <cstdint>
#include <memory>
#include <vector>

namespace katalox::store {
class DiskContents;
}

namespace katalox::widgets {

class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit FolderTreeModel(QObject* parent = nullptr);

    // Shows `contents` (null: nothing), kept alive by the model.
    void setContents(std::shared_ptr<const store::DiskContents> contents);
    const store::DiskContents* contents() const { return contents_.get(); }

    QModelIndex indexOfFolder(std::uint32_t folder) const;
    // The folder of `index`, or UINT32_MAX for none.
    std::uint32_t folderAt(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;

private:
    const std::vector<std::uint32_t>& childrenOf(std::uint32_t folder) const;

    std::shared_ptr<const store::DiskContents> contents_;
    // Each folder's children sorted by name (the roots last), and each folder's row among its
    // siblings once they are sorted.
    mutable std::vector<std::vector<std::uint32_t>> sortedChildren_;
    mutable std::vector<std::uint32_t> sortedRoots_;
    mutable std::vector<bool> sorted_;
    mutable std::vector<int> rowOf_;
};

// Folders and names compare as a file manager lists them: case ignored, numbers in order.
bool namesInOrder(const QString& a, const QString& b);

} // namespace katalox::widgets
