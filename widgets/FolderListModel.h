#pragma once
// What one folder of a disk holds, for a table view: its subfolders (with the size and number
// of files of all below them) first, then its files with their real names, sizes, times and
// kinds. Sorted by any column, and filtered by a text typed by the user.
#include "store/catalog/DiskContents.h"

#include <QAbstractTableModel>
#include <QCollatorSortKey>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace katalox::widgets {

class FolderListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, Size, Files, Modified, Kind, ColumnCount };

    explicit FolderListModel(QObject* parent = nullptr);

    // Shows `folder` of `contents`, reading its files. Throws EngineError.
    void showFolder(std::shared_ptr<const store::DiskContents> contents, std::uint32_t folder);
    // Rows whose name holds `text` (case ignored); an empty text shows every row.
    void setFilterText(const QString& text);

    struct Entry {
        bool isFolder = false;
        std::uint32_t folder = 0;                  // the subfolder, for a folder row
        const store::ContentsFile* file = nullptr; // for a file row
    };
    Entry entryAt(int row) const;
    std::optional<int> rowOfRecord(std::int64_t record) const;
    std::optional<int> rowOfFolder(std::uint32_t folder) const;
    std::uint32_t folder() const { return folder_; }
    const std::vector<store::ContentsFile>& files() const { return files_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    struct Row {
        bool isFolder;
        std::uint32_t index; // into the folder's children or files_
        QString name;
    };
    void arrange();
    bool before(const Row& a, const Row& b) const;
    std::int64_t sizeOf(const Row& row) const;

    std::shared_ptr<const store::DiskContents> contents_;
    std::uint32_t folder_ = 0;
    std::vector<store::ContentsFile> files_;
    std::vector<Row> all_;
    std::vector<const Row*> shown_;
    std::vector<QCollatorSortKey> keys_; // by name, made when first sorted by name
    QString filter_;
    int sortColumn_ = Name;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

} // namespace katalox::widgets
