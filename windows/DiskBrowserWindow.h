#pragma once
// A disk browser of our own: one Disk ID's folders and files as a file manager shows them,
// whether its disk is connected or not. The folder tree on the left; the selected folder's
// subfolders and files on the right with a treemap of where its space goes; the disk's facts
// on top, with the ways to reach a file on the disk when it is connected. Follows changes made
// to the catalogue, by this program or another.
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QTableView;
class QTimer;
class QToolButton;
class QTreeView;
class QHBoxLayout;

namespace katalox {
namespace store {
class Catalog;
class Database;
class DiskContents;
} // namespace store
namespace widgets {
class FolderListModel;
class FolderTreeModel;
class TreemapView;
} // namespace widgets
} // namespace katalox

class OtherCopiesWindow;

class DiskBrowserWindow : public QWidget {
    Q_OBJECT
public:
    explicit DiskBrowserWindow(QWidget* parent = nullptr);
    ~DiskBrowserWindow() override;

    // Shows the disk of `diskId`, at its first folder or at the file of `record` (selected).
    // Throws EngineError when the catalogue cannot be read.
    void browse(const katalox::store::Catalog& catalog, const std::string& diskId,
                std::optional<std::int64_t> record = std::nullopt);
    // The same on the catalogue table `table` on the server `uri`. What a server does not keep
    // yet (members of archives, copies, verifications) is left out.
    void browseServer(const std::string& uri, const std::string& table, const std::string& diskId,
                      std::optional<std::int64_t> record = std::nullopt);
    // Reads the disk again, staying in the folder shown when it is still there.
    void reload();

    // Navigation, as the buttons and keys do it.
    void goToFolder(std::uint32_t folder);
    void goBack();
    void goForward();
    void goUp();
    // The ways to the selected entry (else the folder shown) on the live disk.
    void openSelected();
    void openContainingFolder();
    void copyPath();
    // The records on any disk with the same content as the file selected.
    void showOtherCopies();

    // Draws the treemap of the folder shown anew (the benchmarks time it).
    void showTreemap();

    std::uint32_t currentFolder() const { return current_; }
    const katalox::store::DiskContents* contents() const { return contents_.get(); }

private:
    using ContentsReader = std::function<std::shared_ptr<const katalox::store::DiskContents>()>;
    // Shows what `read` reads; `db` is the catalogue file's, null on a server.
    void start(ContentsReader read, std::shared_ptr<katalox::store::Database> db,
               const std::string& table, const std::string& diskId,
               std::optional<std::int64_t> record);
    void buildLayout();
    void setUpKeys();
    void show(std::uint32_t folder);
    void showHeader();
    void showBreadcrumbs();
    void showFolderTotals();
    void activateRow(int row);
    void checkForOtherPrograms();
    // Changes whenever the catalogue was written, by this program or another.
    std::int64_t changeCount() const;
    // The selected entry's folder and real name (empty for a folder).
    std::pair<std::uint32_t, std::string> selectedTarget() const;
    std::optional<std::string> liveTarget(bool containingFolder) const;
    // Opens what is selected (`folder`, a folder or the folder of the file selected) inside
    // `archive`, the outermost archive it lies in: the archive itself for its inside, a copy of
    // a member taken out of it.
    void openInsideArchive(std::uint32_t archive, std::uint32_t folder, bool isFolder);
    // The most bytes of a member taken out of an archive: the Scan Settings' limit.
    std::uint64_t decompressLimit() const;

    ContentsReader read_;
    std::shared_ptr<katalox::store::Database> db_;
    // The catalogue file, or the URI of the server holding the catalogue.
    std::string location_;
    std::string table_;
    std::string diskId_;
    std::shared_ptr<const katalox::store::DiskContents> contents_;
    std::uint32_t current_ = 0;
    std::vector<std::uint32_t> back_;
    std::vector<std::uint32_t> forward_;
    std::int64_t watch_ = 0;
    std::int64_t dataVersion_ = 0;

    QLabel* header_;
    OtherCopiesWindow* otherCopies_ = nullptr;
    QToolButton* backButton_;
    QToolButton* forwardButton_;
    QToolButton* upButton_;
    QWidget* breadcrumbs_;
    QHBoxLayout* breadcrumbsLayout_;
    QLineEdit* filter_;
    QTreeView* tree_;
    QTableView* list_;
    QLabel* totals_;
    katalox::widgets::TreemapView* treemap_;
    katalox::widgets::FolderTreeModel* treeModel_;
    katalox::widgets::FolderListModel* listModel_;
    QTimer* otherPrograms_;
    std::vector<QWidget*> liveActions_;
};
