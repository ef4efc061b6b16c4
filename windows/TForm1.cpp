#include "windows/TForm1.h"

#include "platform/MountWatcher.h"
#include "platform/Paths.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/ShellOpen.h"
#include "store/catalog/Catalog.h"
#include "store/dataset/DataSource.h"
#include "store/dataset/Query.h"
#include "store/dataset/Table.h"
#include "store/postgres/ServerCatalogue.h"
#include "widgets/Anchors.h"
#include "widgets/DBGrid.h"
#include "widgets/DataSetModel.h"
#include "widgets/TreeLinesStyle.h"
#include "widgets/WindowHelpers.h"
#include "windows/CopiesWindow.h"
#include "windows/DiskBrowserWindow.h"
#include "windows/Forms.h"
#include "windows/OtherCopiesWindow.h"
#include "windows/ScanSettingsWindow.h"
#include "windows/TForm10.h"
#include "windows/TForm2.h"
#include "windows/TForm3.h"
#include "windows/UnwrittenRecords.h"
#include "windows/UpdateDiskWindow.h"
#include "windows/WebAddresses.h"

// The generated layout names its window Form1, as the window's instance is named.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
#include "ui_TForm1.h"
#pragma GCC diagnostic pop

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTimer>

namespace {

const QSize kClientSize(772, 448);
const QColor kCream(255, 251, 240);
constexpr int kTypingPauseMs = 300;

} // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent), Table1(new katalox::store::Table(this)),
      Query1(new katalox::store::Query(this)), DataSource1(new katalox::store::DataSource(this)),
      diskUpdateWindow(new UpdateDiskWindow(this)), diskBrowserWindow(new DiskBrowserWindow(this)),
      otherCopiesWindow(new OtherCopiesWindow(this)), copiesWindow(new CopiesWindow(this)),
      scanSettingsWindow(new ScanSettingsWindow(this)), ui(std::make_unique<Ui::TForm1>()),
      mountWatcher_(new katalox::platform::MountWatcher("/proc/self/mountinfo", this)) {
    ui->setupUi(this);
    Label1 = ui->Label1;
    Label2 = ui->Label2;
    Label3 = ui->Label3;
    Edit1 = ui->Edit1;
    Edit2 = ui->Edit2;
    ComboBox1 = ui->ComboBox1;
    TreeView1 = ui->TreeView1;
    DBGrid1 = ui->DBGrid1;
    Table1->setObjectName(QStringLiteral("Table1"));
    Query1->setObjectName(QStringLiteral("Query1"));
    DataSource1->setObjectName(QStringLiteral("DataSource1"));
    setUpWindow();
    setUpPopupMenus();
    setUpShortcuts();
    DataSource1->setDataSet(Table1);
    DBGrid1->setDataSource(DataSource1);
    connectHandlers();
    katalox::watchBackgroundWork(this);
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
    AppDir = katalox::platform::currentDirectory();
}

void TForm1::setUpWindow() {
    katalox::widgets::useWindowFont(this);
    // The layout's captions were drawn for a narrow face; the platform face, slightly
    // condensed, fits them in their frames.
    QFont condensed = font();
    condensed.setStretch(QFont::SemiCondensed);
    setFont(condensed);
    // Drop-down menus are windows of their own and do not inherit the window's font.
    for (QMenu* menu : findChildren<QMenu*>())
        menu->setFont(font());
    resize(kClientSize.width(), kClientSize.height() + menuBar()->sizeHint().height());
    katalox::widgets::installAnchors(this, centralWidget(), kClientSize);
    if (const QScreen* desktop = screen())
        move(desktop->availableGeometry().center() - rect().center());

    QPalette cream = ui->Shape1->palette();
    cream.setColor(QPalette::Window, kCream);
    ui->Shape1->setPalette(cream);
    // The last column takes the width the window gives the grid beyond its columns.
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    QPalette grid = DBGrid1->palette();
    grid.setColor(QPalette::Base, kCream);
    DBGrid1->setPalette(grid);
    QPalette tree = TreeView1->palette();
    tree.setColor(QPalette::Text, Qt::black);
    TreeView1->setPalette(tree);
    TreeView1->setAttribute(Qt::WA_Hover);
    // Parented to the window, so the style outlives the tree that uses it.
    auto* treeStyle = new katalox::widgets::TreeLinesStyle;
    treeStyle->setParent(this);
    TreeView1->setStyle(treeStyle);

    ui->SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DriveHDIcon));
    // Typed masks are taken as they stand: no completion from the list.
    ComboBox1->setCompleter(nullptr);
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(QString());
    // These two labels size themselves to their text, as the counts and totals grow.
    katalox::widgets::fitLabelToText(Label2);
    katalox::widgets::fitLabelToText(Label3);
    DBGrid1->setFocus();
}

void TForm1::setUpPopupMenus() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(ui->DeleteThisEntry1);
    // Our own items follow the one the grid's pop-up always had.
    PopupMenu1->addSeparator();
    const std::tuple<const char*, const char*, void (TForm1::*)()> fileItems[] = {
        {"openContainingFolder", "Open Containing Folder", &TForm1::openContainingFolder},
        {"copyPath", "Copy Path", &TForm1::copyPath},
        {"openFile", "Open File", &TForm1::openFile},
    };
    for (const auto& [name, caption, handler] : fileItems) {
        QAction* item = PopupMenu1->addAction(QString::fromLatin1(caption));
        item->setObjectName(QString::fromLatin1(name));
        katalox::platform::connectGuarded(item, &QAction::triggered, this, handler);
    }
    showInDiskBrowserAction = PopupMenu1->addAction(QStringLiteral("Show in Disk Browser"));
    showInDiskBrowserAction->setObjectName(QStringLiteral("showInDiskBrowser"));
    otherCopiesAction = PopupMenu1->addAction(tr("Other Copies..."));
    otherCopiesAction->setObjectName(QStringLiteral("otherCopies"));
    QMenu* copies = menuBar()->addMenu(tr("Copies"));
    copies->setObjectName(QStringLiteral("copiesMenu"));
    copiesAction = copies->addAction(tr("Copies..."));
    copiesAction->setObjectName(QStringLiteral("copies"));
    scanSettingsAction = copies->addAction(tr("Scan Settings..."));
    scanSettingsAction->setObjectName(QStringLiteral("scanSettings"));
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    PopupMenu2->addAction(ui->CheckSize1);
    PopupMenu2->addAction(ui->RenameCatalog1);
    PopupMenu2->addAction(ui->DeleteThisCatalogfromdatabase1);
    updateThisDiskAction = new QAction(QStringLiteral("Update This Disk..."), this);
    updateThisDiskAction->setObjectName(QStringLiteral("updateThisDisk"));
    PopupMenu2->addAction(updateThisDiskAction);
    browseThisDiskAction = new QAction(QStringLiteral("Browse This Disk..."), this);
    browseThisDiskAction->setObjectName(QStringLiteral("browseThisDisk"));
    PopupMenu2->addAction(browseThisDiskAction);
    verifyThisDiskAction = new QAction(tr("Verify This Disk..."), this);
    verifyThisDiskAction->setObjectName(QStringLiteral("verifyThisDisk"));
    PopupMenu2->addAction(verifyThisDiskAction);
    PopupMenu1->setFont(font());
    PopupMenu2->setFont(font());

    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGrid1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenu1->popup(DBGrid1->viewport()->mapToGlobal(pos));
    });
    // The tree's pop-up acts on the selected node: a right click must not move the selection,
    // so the tree never sees right-button presses; it only gets the context-menu request.
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    TreeView1->viewport()->installEventFilter(this);
    connect(TreeView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenu2->popup(TreeView1->viewport()->mapToGlobal(pos));
    });
}

// Keys of our own; the captions stay as they are, the menus show the keys beside them.
void TForm1::setUpShortcuts() {
    ui->Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    ui->WebHelp1->setShortcut(QKeySequence(Qt::Key_F1));
    ui->NewScan1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    // Delete removes the record only from the grid: in a filter box it deletes text.
    ui->DeleteThisEntry1->setShortcut(QKeySequence(Qt::Key_Delete));
    ui->DeleteThisEntry1->setShortcutContext(Qt::WidgetShortcut);
    DBGrid1->addAction(ui->DeleteThisEntry1);
    auto* findFileName = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(findFileName, &QShortcut::activated, this, [this] {
        Edit1->setFocus(Qt::ShortcutFocusReason);
        Edit1->selectAll();
    });
}

// Every command runs guarded: its error goes to the error box and the window carries on.
void TForm1::connectHandlers() {
    using katalox::platform::connectGuarded;
    const std::pair<QAction*, void (TForm1::*)()> commands[] = {
        {ui->Configuration1, &TForm1::Configuration1Click},
        {ui->Exit1, &TForm1::Exit1Click},
        {ui->RenameSelectedDiskID1, &TForm1::RenameSelectedDiskID1Click},
        {ui->DeleteAllEmptyDatabase1, &TForm1::DeleteAllEmptyDatabase1Click},
        {ui->DeleteCatalog1, &TForm1::DeleteCatalog1Click},
        {ui->DeleteEntries1, &TForm1::DeleteEntries1Click},
        {ui->NewScan1, &TForm1::NewScan1Click},
        {ui->WebHelp1, &TForm1::WebHelp1Click},
        {ui->Developerinfo1, &TForm1::Developerinfo1Click},
        {ui->DeleteThisEntry1, &TForm1::DeleteThisEntry1Click},
        {ui->CheckSize1, &TForm1::CheckSize1Click},
        {ui->RenameCatalog1, &TForm1::RenameCatalog1Click},
        {ui->DeleteThisCatalogfromdatabase1, &TForm1::DeleteThisCatalogfromdatabase1Click},
    };
    for (const auto& [action, handler] : commands)
        connectGuarded(action, &QAction::triggered, this, handler);
    connectGuarded(updateThisDiskAction, &QAction::triggered, this, &TForm1::updateThisDisk);
    connectGuarded(browseThisDiskAction, &QAction::triggered, this, &TForm1::browseThisDisk);
    connectGuarded(verifyThisDiskAction, &QAction::triggered, this, &TForm1::verifyThisDisk);
    connectGuarded(showInDiskBrowserAction, &QAction::triggered, this, &TForm1::showInDiskBrowser);
    connectGuarded(otherCopiesAction, &QAction::triggered, this, &TForm1::showOtherCopies);
    connectGuarded(copiesAction, &QAction::triggered, this, &TForm1::showCopies);
    connectGuarded(scanSettingsAction, &QAction::triggered, this, &TForm1::showScanSettings);
    // Enter or a double click on a Disk ID node opens its disk in the browser.
    connect(TreeView1, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* node) {
        if (node && node->parent())
            katalox::platform::guarded([this] { browseThisDisk(); });
    });
    // As after an insert, the tree is rebuilt once a disk's changes are applied.
    connectGuarded(diskUpdateWindow, &UpdateDiskWindow::diskChanged, this, &TForm1::Update);
    connectGuarded(mountWatcher_, &katalox::platform::MountWatcher::mountsChanged, this,
                   &TForm1::showDiskPresence);
    connectGuarded(ui->SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);
    connectGuarded(TreeView1, &QTreeWidget::itemSelectionChanged, this,
                   [this] { TreeView1Change(selectedNode()); });
    typedExtensionListing_ = new QTimer(this);
    typedExtensionListing_->setSingleShot(true);
    typedExtensionListing_->setInterval(kTypingPauseMs);
    connectGuarded(typedExtensionListing_, &QTimer::timeout, this, &TForm1::ComboBox1Change);
    connect(ComboBox1, &QComboBox::editTextChanged, this, [this] {
        if (katalox::store::isServerUri(Query1->filePath()))
            typedExtensionListing_->start();
        else
            katalox::platform::guarded([this] { ComboBox1Change(); });
    });
    // A catalogue on a server lost while its listing is read: the grid shows empty cells, the
    // user learns why, and the next listing connects again.
    connect(DBGrid1->dataSetModel(), &katalox::widgets::DataSetModel::readFailed, this,
            [this](const QString& message) {
                if (katalox::store::isServerUri(Query1->filePath()))
                    katalox::platform::Dialogs::instance().showMessage(
                        tr("The catalogue on the server cannot be read now (%1). The next "
                           "listing connects to it again.")
                            .arg(message));
            });
    Edit1->installEventFilter(this);
    Edit2->installEventFilter(this);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == TreeView1->viewport() &&
        (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
         type == QEvent::MouseButtonDblClick)) {
        return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
    }
    if (type == QEvent::KeyPress && (watched == Edit1 || watched == Edit2)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        katalox::platform::guarded([&] {
            if (watched == Edit1)
                Edit1KeyDown(key);
            else
                Edit2KeyDown(key);
        });
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::openCatalogue(const std::string& folder, const std::string& tableName) {
    Table1->close();
    Query1->close();
    Table1->setDatabaseName(folder);
    Table1->setTableName(tableName);
    Query1->setDatabaseName(folder);
    Table1->open();
}

katalox::store::Catalog TForm1::catalog() const {
    return katalox::store::Catalog(Query1->filePath());
}

void TForm1::Configuration1Click() {
    katalox::widgets::showForm(Form3);
}

void TForm1::Exit1Click() {
    close();
}

void TForm1::NewScan1Click() {
    katalox::widgets::showForm(Form2);
}

void TForm1::SpeedButton1Click() {
    katalox::widgets::showForm(Form2);
}

void TForm1::WebHelp1Click() {
    katalox::platform::shellOpen(katalox::webHelpAddress());
}

void TForm1::Developerinfo1Click() {
    katalox::widgets::showForm(Form10);
}

void TForm1::RenameSelectedDiskID1Click() {
    ui->RenameCatalog1->trigger();
}

void TForm1::DeleteThisCatalogfromdatabase1Click() {
    ui->DeleteCatalog1->trigger();
}
