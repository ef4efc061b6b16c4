#pragma once
// The main window: the Disk ID tree, the filter boxes and the grid over the catalogue, the
// menus that lead to every command, and the catalogue components the whole program uses.
#include <QMainWindow>

#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QTimer;
class QLabel;
class QLineEdit;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
class CopiesWindow;
class DiskBrowserWindow;
class OtherCopiesWindow;
class ScanSettingsWindow;
class UpdateDiskWindow;
class VerifyDiskWindow;

namespace Ui {
class TForm1;
}

namespace katalox {
namespace platform {
class MountWatcher;
}
namespace widgets {
class DBGrid;
}
namespace store {
class Catalog;
struct DiskPresence;
class DataSource;
class Query;
class Table;
} // namespace store
} // namespace katalox

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Runs once the window exists: captures the start directory.
    void FormCreate();

    // The catalogue: table cursor, statement object and the grid's data link.
    katalox::store::Table* Table1;
    katalox::store::Query* Query1;
    katalox::store::DataSource* DataSource1;
    // The current directory when the program started.
    std::string AppDir;

    // Rebuilds the Disk ID tree from the catalogue and resets the selection caption.
    void Update();
    // Lists the records matching the filter boxes and the selected Disk ID.
    void update2();

    // Points the catalogue components at the table file `tableName` in `folder`: closes the
    // table cursor and the statement object, sets their folder (the statements address
    // Files.db there) and the table cursor's file, and opens the table cursor. When opening
    // fails the components keep the new setting and the table cursor stays closed.
    void openCatalogue(const std::string& folder, const std::string& tableName);
    // The catalogue service on the file the tree and the listings show. Throws EngineError
    // when it cannot be opened.
    katalox::store::Catalog catalog() const;
    // Every Disk ID with a recorded scan, and where it is connected to this machine now, from
    // the catalogue file or the server. Throws Error when they cannot be read.
    std::vector<katalox::store::DiskPresence> disks() const;

    // Menu commands.
    void Configuration1Click();
    void Exit1Click();
    void RenameSelectedDiskID1Click();
    void DeleteAllEmptyDatabase1Click();
    void DeleteCatalog1Click();
    void DeleteEntries1Click();
    void NewScan1Click();
    void WebHelp1Click();
    void Developerinfo1Click();
    void DeleteThisEntry1Click();
    void CheckSize1Click();
    void RenameCatalog1Click();
    void DeleteThisCatalogfromdatabase1Click();
    void SpeedButton1Click();

    // Our own tree pop-up item "Update This Disk...": compares the selected Disk ID's records
    // with its disk and offers to bring them up to date.
    void updateThisDisk();
    // Our own tree pop-up item "Browse This Disk..." (also Enter or a double click on a Disk ID
    // node) and grid pop-up item "Show in Disk Browser": the disk browser on the selected Disk
    // ID, or on the disk of the record under the grid's cursor, at that file.
    void browseThisDisk();
    void verifyThisDisk();
    void showInDiskBrowser();
    // Marks each Disk ID node whose disk is connected now, and each whose disk is not; nodes
    // of Disk IDs without a recorded scan get no mark. Runs after every rebuild of the tree and
    // whenever a volume is mounted or unmounted.
    void showDiskPresence();

    // Our own grid pop-up items, after "Delete This Entry": they reach the file of the record
    // under the grid's cursor on the live file system (the catalogue keeps paths upper-cased).
    void openContainingFolder();
    void copyPath();
    void openFile();
    // Our own grid pop-up item "Other Copies...": the records on any disk with the same content
    // as the record under the grid's cursor.
    void showOtherCopies();
    // Our own menu "Copies": the groups of copies and the disks' coverage, and our scan settings.
    void showCopies();
    void showScanSettings();

    // Filters and tree.
    void TreeView1Change(QTreeWidgetItem* node);
    void ComboBox1Change();
    void Edit1KeyDown(int key);
    void Edit2KeyDown(int key);

    // Controls the commands work with.
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QComboBox* ComboBox1;
    QTreeWidget* TreeView1;
    katalox::widgets::DBGrid* DBGrid1;
    QMenu* PopupMenu1;
    QMenu* PopupMenu2;
    QAction* updateThisDiskAction;
    QAction* browseThisDiskAction;
    QAction* verifyThisDiskAction;
    QAction* showInDiskBrowserAction;
    QAction* otherCopiesAction;
    QAction* copiesAction;
    QAction* scanSettingsAction;
    UpdateDiskWindow* diskUpdateWindow;
    VerifyDiskWindow* verifyDiskWindow = nullptr;
    DiskBrowserWindow* diskBrowserWindow;
    OtherCopiesWindow* otherCopiesWindow;
    CopiesWindow* copiesWindow;
    ScanSettingsWindow* scanSettingsWindow;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setUpWindow();
    void setUpPopupMenus();
    void setUpShortcuts();
    void connectHandlers();
    QTreeWidgetItem* selectedNode() const;
    std::string selectedDiskId() const;
    // A Disk ID node's Disk ID as stored, byte for byte.
    static std::string diskIdOfNode(const QTreeWidgetItem* node);

    std::unique_ptr<Ui::TForm1> ui;
    katalox::platform::MountWatcher* mountWatcher_;
    // On a catalogue on a server, the extension typed lists once typing pauses: each listing
    // there counts its records on the server, too long to wait for at every key.
    QTimer* typedExtensionListing_;
};
