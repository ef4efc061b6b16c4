#pragma once
// "Copies...": the groups of identical files across the catalogue, most wasted bytes first,
// filtered by Disk ID, size, path and number of copies; the folders that are copies of one
// another; and each disk's coverage: what has a
// copy on another disk and what lies on it alone, rolled up by folder, with the single copies
// exported as a list of paths.
#include <QWidget>

#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;

class CatalogueCopies;

namespace katalox::store {
class CopyGroups;
struct DiskCoverage;
} // namespace katalox::store

class CopiesWindow : public QWidget {
    Q_OBJECT
public:
    explicit CopiesWindow(QWidget* parent = nullptr);
    ~CopiesWindow() override;

    // The catalogue at `location` (a file, or a server's URI holding catalogue table `table`).
    void showCatalogue(const std::string& location, const std::string& table);
    // The buttons' actions.
    void findGroups();
    void moreGroups();
    void showCoverage();
    void exportSingleCopies();

private:
    void listDisks();
    void addFolderItems(QTreeWidgetItem* parent, std::size_t folder);

    std::unique_ptr<CatalogueCopies> copies_;
    std::unique_ptr<katalox::store::CopyGroups> groups_;
    std::unique_ptr<katalox::store::DiskCoverage> coverage_;
    QComboBox* diskFilter_;
    QLineEdit* minSize_;
    QLineEdit* pathFilter_;
    QSpinBox* minCopies_;
    QTreeWidget* groupList_;
    QPushButton* more_;
    QTreeWidget* copiedFolders_;
    QTableWidget* disks_;
    QTreeWidget* folders_;
    QLabel* coverageSummary_;
    bool coverageRunning_ = false;
};
