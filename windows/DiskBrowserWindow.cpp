#include "windows/DiskBrowserWindow.h"

#include "store/copies/DiskCoverage.h"
#include "windows/ArchiveMemberOpener.h"
#include "windows/CatalogueCopies.h"
#include "windows/Forms.h"
#include "windows/OtherCopiesWindow.h"
#include "windows/TForm1.h"
#include "windows/VerifyDiskWindow.h"

#include "platform/DisplayText.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/ShellOpen.h"
#include "store/archives/ArchiveMembers.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/DiskContents.h"
#include "store/catalog/DiskPlace.h"
#include "store/postgres/PgArchiveMembers.h"
#include "store/postgres/PgContents.h"
#include "store/postgres/ServerCatalogue.h"
#include "store/settings/ScanSettings.h"
#include "store/sqlite/Database.h"
#include "widgets/FileKinds.h"
#include "widgets/FolderListModel.h"
#include "widgets/FolderTreeModel.h"
#include "widgets/SizeText.h"
#include "widgets/TreemapView.h"
#include "widgets/WindowHelpers.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

using katalox::platform::connectGuarded;
using katalox::platform::displayText;
using katalox::store::ContentsFolder;
using katalox::widgets::sizeText;

namespace {

constexpr std::uint32_t kNoFolder = ContentsFolder::kNoParent;
constexpr int kOtherProgramsCheckMs = 1000;

QToolButton* navigationButton(QWidget* parent, QStyle::StandardPixmap icon, const QString& tip,
                              const char* name) {
    auto* button = new QToolButton(parent);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolTip(tip);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoRaise(true);
    return button;
}

} // namespace

DiskBrowserWindow::DiskBrowserWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), header_(new QLabel(this)),
      backButton_(navigationButton(this, QStyle::SP_ArrowBack, tr("Back (Alt+Left)"), "back")),
      forwardButton_(
          navigationButton(this, QStyle::SP_ArrowForward, tr("Forward (Alt+Right)"), "forward")),
      upButton_(navigationButton(this, QStyle::SP_ArrowUp, tr("Up (Alt+Up)"), "up")),
      breadcrumbs_(new QWidget(this)), breadcrumbsLayout_(new QHBoxLayout(breadcrumbs_)),
      filter_(new QLineEdit(this)), tree_(new QTreeView(this)), list_(new QTableView(this)),
      totals_(new QLabel(this)), treemap_(new katalox::widgets::TreemapView(this)),
      treeModel_(new katalox::widgets::FolderTreeModel(this)),
      listModel_(new katalox::widgets::FolderListModel(this)), otherPrograms_(new QTimer(this)) {
    setObjectName(QStringLiteral("diskBrowser"));
    buildLayout();
    setUpKeys();
    connectGuarded(otherPrograms_, &QTimer::timeout, this,
                   &DiskBrowserWindow::checkForOtherPrograms);
    resize(1000, 700);
}

DiskBrowserWindow::~DiskBrowserWindow() {
    if (db_ && watch_)
        db_->unwatchChanges(watch_);
}

void DiskBrowserWindow::buildLayout() {
    header_->setObjectName(QStringLiteral("diskFacts"));
    header_->setTextFormat(Qt::RichText);
    header_->setWordWrap(true);
    auto* headerRow = new QHBoxLayout;
    headerRow->addWidget(header_, 1);
    const std::pair<QString, void (DiskBrowserWindow::*)()> actions[] = {
        {tr("Open"), &DiskBrowserWindow::openSelected},
        {tr("Open Containing Folder"), &DiskBrowserWindow::openContainingFolder},
        {tr("Copy Path"), &DiskBrowserWindow::copyPath},
        {tr("Other Copies..."), &DiskBrowserWindow::showOtherCopies},
    };
    const char* names[] = {"open", "openContainingFolder", "copyPath", "otherCopies"};
    for (std::size_t i = 0; i < std::size(actions); ++i) {
        auto* button = new QPushButton(actions[i].first, this);
        button->setObjectName(QString::fromLatin1(names[i]));
        connectGuarded(button, &QPushButton::clicked, this, actions[i].second);
        headerRow->addWidget(button);
        if (i < 2) // Copy Path works on a disk that is not connected too
            liveActions_.push_back(button);
    }

    breadcrumbs_->setObjectName(QStringLiteral("pathBar"));
    breadcrumbsLayout_->setContentsMargins(0, 0, 0, 0);
    breadcrumbsLayout_->setSpacing(0);
    filter_->setObjectName(QStringLiteral("filter"));
    filter_->setPlaceholderText(tr("Filter this folder"));
    filter_->setClearButtonEnabled(true);
    filter_->hide();
    auto* navigation = new QHBoxLayout;
    for (QToolButton* button : {backButton_, forwardButton_, upButton_})
        navigation->addWidget(button);
    navigation->addWidget(breadcrumbs_, 1);
    navigation->addWidget(filter_);
    connectGuarded(backButton_, &QToolButton::clicked, this, &DiskBrowserWindow::goBack);
    connectGuarded(forwardButton_, &QToolButton::clicked, this, &DiskBrowserWindow::goForward);
    connectGuarded(upButton_, &QToolButton::clicked, this, &DiskBrowserWindow::goUp);
    connect(filter_, &QLineEdit::textChanged, listModel_,
            &katalox::widgets::FolderListModel::setFilterText);

    tree_->setObjectName(QStringLiteral("folderTree"));
    tree_->setModel(treeModel_);
    tree_->setHeaderHidden(true);
    tree_->setUniformRowHeights(true);
    list_->setObjectName(QStringLiteral("folderList"));
    list_->setModel(listModel_);
    list_->setSortingEnabled(true);
    list_->sortByColumn(katalox::widgets::FolderListModel::Name, Qt::AscendingOrder);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setShowGrid(false);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
    list_->horizontalHeader()->setSectionResizeMode(katalox::widgets::FolderListModel::Name,
                                                    QHeaderView::Stretch);
    list_->setWordWrap(false);
    treemap_->setObjectName(QStringLiteral("treemap"));
    totals_->setObjectName(QStringLiteral("folderTotals"));

    auto* right = new QSplitter(Qt::Vertical, this);
    right->addWidget(list_);
    right->addWidget(treemap_);
    right->setStretchFactor(0, 3);
    right->setStretchFactor(1, 2);
    auto* panes = new QSplitter(Qt::Horizontal, this);
    panes->addWidget(tree_);
    panes->addWidget(right);
    panes->setStretchFactor(1, 3);
    panes->setSizes({260, 740});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(headerRow);
    layout->addLayout(navigation);
    layout->addWidget(panes, 1);
    layout->addWidget(totals_);

    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) {
                const std::uint32_t folder = treeModel_->folderAt(index);
                if (folder != kNoFolder && folder != current_)
                    katalox::platform::guarded([&] { goToFolder(folder); });
            });
    connect(list_, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        katalox::platform::guarded([&] { activateRow(index.row()); });
    });
    connect(treemap_, &katalox::widgets::TreemapView::entryActivated, this, [this](int key) {
        katalox::platform::guarded([&] {
            if (key >= 0) {
                goToFolder(static_cast<std::uint32_t>(key));
            } else if (const auto& files = listModel_->files();
                       static_cast<std::size_t>(-1 - key) < files.size()) {
                if (const auto row =
                        listModel_->rowOfRecord(files[static_cast<std::size_t>(-1 - key)].record))
                    list_->selectRow(*row);
            }
        });
    });
}

void DiskBrowserWindow::setUpKeys() {
    const std::pair<QKeySequence, void (DiskBrowserWindow::*)()> keys[] = {
        {QKeySequence(Qt::ALT | Qt::Key_Left), &DiskBrowserWindow::goBack},
        {QKeySequence(Qt::ALT | Qt::Key_Right), &DiskBrowserWindow::goForward},
        {QKeySequence(Qt::ALT | Qt::Key_Up), &DiskBrowserWindow::goUp},
    };
    for (const auto& [key, handler] : keys)
        connectGuarded(new QShortcut(key, this), &QShortcut::activated, this, handler);
    // Backspace goes up from the lists, never while the filter is being typed in.
    for (QWidget* view : std::initializer_list<QWidget*>{tree_, list_}) {
        auto* up = new QShortcut(QKeySequence(Qt::Key_Backspace), view);
        up->setContext(Qt::WidgetShortcut);
        connectGuarded(up, &QShortcut::activated, this, &DiskBrowserWindow::goUp);
    }
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        filter_->show();
        filter_->setFocus(Qt::ShortcutFocusReason);
        filter_->selectAll();
    });
    auto* clear = new QShortcut(QKeySequence(Qt::Key_Escape), filter_);
    clear->setContext(Qt::WidgetShortcut);
    connect(clear, &QShortcut::activated, this, [this] {
        filter_->clear();
        filter_->hide();
        list_->setFocus();
    });
}

void DiskBrowserWindow::browse(const katalox::store::Catalog& catalog, const std::string& diskId,
                               std::optional<std::int64_t> record) {
    std::shared_ptr<katalox::store::Database> db = catalog.database().shared_from_this();
    location_ = db->path();
    start(
        [db, table = catalog.table(), diskId] {
            return std::make_shared<const katalox::store::DiskContents>(db, table, diskId);
        },
        db, catalog.table(), diskId, record);
}

void DiskBrowserWindow::browseServer(const std::string& uri, const std::string& table,
                                     const std::string& diskId,
                                     std::optional<std::int64_t> record) {
    location_ = uri;
    // A connection lost meanwhile is made again at the next reading.
    start(
        [uri, table, diskId] {
            return std::make_shared<const katalox::store::DiskContents>(
                std::make_shared<katalox::store::ServerContentsRows>(
                    katalox::store::serverConnection(uri), table),
                diskId);
        },
        nullptr, table, diskId, record);
}

void DiskBrowserWindow::start(ContentsReader read, std::shared_ptr<katalox::store::Database> db,
                              const std::string& table, const std::string& diskId,
                              std::optional<std::int64_t> record) {
    auto contents = read();
    if (db_ && watch_)
        db_->unwatchChanges(watch_);
    watch_ = 0;
    read_ = std::move(read);
    db_ = std::move(db);
    table_ = table;
    diskId_ = diskId;
    dataVersion_ = changeCount();
    if (db_) {
        // Our own changes come through the connection at once; another program's are checked
        // for.
        watch_ = db_->watchChanges([this] {
            QTimer::singleShot(0, this, [this] { katalox::platform::guarded([&] { reload(); }); });
        });
    }
    contents_ = std::move(contents);
    treeModel_->setContents(contents_);
    back_.clear();
    forward_.clear();
    setWindowTitle(tr("Disk %1").arg(displayText(diskId)));
    showHeader();
    std::optional<std::uint32_t> at;
    if (record)
        at = contents_->folderOfRecord(*record);
    current_ = kNoFolder;
    if (at || !contents_->roots().empty())
        show(at ? *at : treeModel_->folderAt(treeModel_->index(0, 0)));
    if (record && at)
        if (const auto row = listModel_->rowOfRecord(*record)) {
            list_->selectRow(*row);
            list_->scrollTo(listModel_->index(*row, 0));
        }
    otherPrograms_->start(kOtherProgramsCheckMs);
    katalox::widgets::showForm(this);
}

void DiskBrowserWindow::reload() {
    if (!read_)
        return;
    const std::string shownPath =
        current_ != kNoFolder ? contents_->pathOf(current_) : std::string();
    auto contents = read_();
    dataVersion_ = changeCount();
    // The folder shown stays when it still holds files; else the nearest one above it.
    std::uint32_t again = kNoFolder;
    if (!shownPath.empty())
        again = contents->folderAt(shownPath).value_or(kNoFolder);
    contents_ = std::move(contents);
    treeModel_->setContents(contents_);
    back_.clear();
    forward_.clear();
    showHeader();
    current_ = kNoFolder;
    if (again == kNoFolder && !contents_->roots().empty())
        again = treeModel_->folderAt(treeModel_->index(0, 0));
    if (again != kNoFolder) {
        show(again);
    } else {
        // Every record of the disk is gone: nothing left to show.
        listModel_->setFilterText(QString());
        treemap_->setEntries({});
        totals_->clear();
    }
}

void DiskBrowserWindow::checkForOtherPrograms() {
    if (!isVisible() || location_.empty())
        return;
    if (changeCount() != dataVersion_)
        reload();
}

std::int64_t DiskBrowserWindow::changeCount() const {
    return db_ ? db_->dataVersion() : katalox::store::serverChangeCount(location_, table_);
}

void DiskBrowserWindow::goToFolder(std::uint32_t folder) {
    if (folder == current_ || !contents_ || folder >= contents_->folders().size())
        return;
    if (current_ != kNoFolder)
        back_.push_back(current_);
    forward_.clear();
    show(folder);
}

void DiskBrowserWindow::goBack() {
    if (back_.empty())
        return;
    forward_.push_back(current_);
    const std::uint32_t folder = back_.back();
    back_.pop_back();
    show(folder);
}

void DiskBrowserWindow::goForward() {
    if (forward_.empty())
        return;
    back_.push_back(current_);
    const std::uint32_t folder = forward_.back();
    forward_.pop_back();
    show(folder);
}

void DiskBrowserWindow::goUp() {
    if (contents_ && current_ != kNoFolder) {
        const std::uint32_t parent = contents_->folders()[current_].parent;
        if (parent != kNoFolder)
            goToFolder(parent);
    }
}

void DiskBrowserWindow::show(std::uint32_t folder) {
    const std::uint32_t before = current_;
    listModel_->showFolder(contents_, folder);
    current_ = folder;
    if (const QModelIndex at = treeModel_->indexOfFolder(folder); at.isValid()) {
        tree_->setCurrentIndex(at);
        tree_->expand(at);
        tree_->scrollTo(at);
    }
    // The folder the user came up from stays selected, as a file manager does it.
    if (before != kNoFolder && contents_->folders()[before].parent == folder)
        if (const auto row = listModel_->rowOfFolder(before))
            list_->selectRow(*row);
    backButton_->setEnabled(!back_.empty());
    forwardButton_->setEnabled(!forward_.empty());
    upButton_->setEnabled(contents_->folders()[folder].parent != kNoFolder);
    showBreadcrumbs();
    showTreemap();
    showFolderTotals();
}

void DiskBrowserWindow::showBreadcrumbs() {
    while (QLayoutItem* item = breadcrumbsLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    std::vector<std::uint32_t> chain;
    for (std::uint32_t at = current_; at != kNoFolder; at = contents_->folders()[at].parent)
        chain.push_back(at);
    for (std::size_t i = chain.size(); i-- > 0;) {
        const std::uint32_t folder = chain[i];
        auto* crumb = new QToolButton(breadcrumbs_);
        crumb->setText(displayText(contents_->folders()[folder].name));
        crumb->setAutoRaise(true);
        crumb->setCheckable(folder == current_);
        crumb->setChecked(folder == current_);
        connectGuarded(crumb, &QToolButton::clicked, this, [this, folder] { goToFolder(folder); });
        breadcrumbsLayout_->addWidget(crumb);
        if (i > 0)
            breadcrumbsLayout_->addWidget(new QLabel(QStringLiteral("›"), breadcrumbs_));
    }
    breadcrumbsLayout_->addStretch(1);
}

namespace {

// A folder and the subfolders below it big enough to be seen in the treemap.
katalox::widgets::TreemapEntry folderEntry(const katalox::store::DiskContents& contents,
                                           std::uint32_t folder, const std::string& path,
                                           std::int64_t smallest) {
    const ContentsFolder& shown = contents.folders()[folder];
    katalox::widgets::TreemapEntry entry{displayText(shown.name),
                                         displayText(path),
                                         static_cast<double>(shown.totalBytes),
                                         katalox::widgets::FileKind::Folder,
                                         true,
                                         static_cast<int>(folder),
                                         {}};
    for (const std::uint32_t child : shown.children)
        if (contents.folders()[child].totalBytes >= smallest)
            entry.children.push_back(folderEntry(
                contents, child, path + contents.folders()[child].name + "/", smallest));
    return entry;
}

} // namespace

void DiskBrowserWindow::showTreemap() {
    const auto& folders = contents_->folders();
    const ContentsFolder& shown = folders[current_];
    const std::string path = contents_->pathOf(current_);
    // Below a few pixels of the whole map a folder cannot be seen: its subfolders are left out.
    const std::int64_t smallest = std::max<std::int64_t>(shown.totalBytes / 50000, 1);
    std::vector<katalox::widgets::TreemapEntry> entries;
    const auto& files = listModel_->files();
    entries.reserve(shown.children.size() + files.size());
    for (const std::uint32_t child : shown.children)
        entries.push_back(
            folderEntry(*contents_, child, path + folders[child].name + "/", smallest));
    for (std::size_t i = 0; i < files.size(); ++i)
        entries.push_back({displayText(files[i].name),
                           displayText(path + files[i].name),
                           static_cast<double>(files[i].size),
                           katalox::widgets::fileKindOf(files[i].name),
                           false,
                           -1 - static_cast<int>(i),
                           {}});
    treemap_->setEntries(std::move(entries));
}

void DiskBrowserWindow::showFolderTotals() {
    const ContentsFolder& folder = contents_->folders()[current_];
    totals_->setText(tr("%1: %n file(s), %2, in %3 folder(s) and below", nullptr,
                        static_cast<int>(std::min<std::int64_t>(folder.totalFiles, INT32_MAX)))
                         .arg(displayText(contents_->pathOf(current_)),
                              sizeText(static_cast<double>(folder.totalBytes)))
                         .arg(folder.children.size()));
}

void DiskBrowserWindow::activateRow(int row) {
    const auto entry = listModel_->entryAt(row);
    if (entry.isFolder)
        goToFolder(entry.folder);
    else if (entry.file)
        openSelected();
}

void DiskBrowserWindow::showHeader() {
    const auto& scans = contents_->scans();
    QString text = QStringLiteral("<b>%1</b>").arg(displayText(diskId_).toHtmlEscaped());
    std::optional<std::string> connectedAt;
    for (const auto& scan : scans) {
        const katalox::store::ScanPlace place = katalox::store::locateScan(scan);
        if (place.state == katalox::store::ScanPlace::State::Connected && !connectedAt)
            connectedAt = place.folderNow;
    }
    if (!scans.empty()) {
        // The latest scan knows the volume best.
        const auto& volume = scans.back().volume;
        const auto fact = [](const QString& name, const std::string& value) {
            return value.empty() ? QString()
                                 : QStringLiteral(" &nbsp; %1 <b>%2</b>")
                                       .arg(name, displayText(value).toHtmlEscaped());
        };
        text += fact(tr("Label"), volume.label) + fact(tr("UUID"), volume.uuid) +
                fact(tr("File system"), volume.type);
        if (volume.capacity > 0)
            text += tr(" &nbsp; Capacity <b>%1</b>, free <b>%2</b> at the last scan (%3)")
                        .arg(sizeText(static_cast<double>(volume.capacity)),
                             sizeText(static_cast<double>(volume.freeSpace)),
                             displayText(scans.back().scannedAt).toHtmlEscaped());
    }
    text += QStringLiteral("<br>") +
            tr("%n file(s), %1", nullptr,
               static_cast<int>(std::min<std::int64_t>(contents_->totalFiles(), INT32_MAX)))
                .arg(sizeText(static_cast<double>(contents_->totalBytes())));
    if (contents_->totalArchivedBytes() > 0)
        text += tr(", and %1 inside archives")
                    .arg(sizeText(static_cast<double>(contents_->totalArchivedBytes())));
    text += QStringLiteral(" &nbsp; ") +
            (connectedAt ? tr("Connected at %1").arg(displayText(*connectedAt).toHtmlEscaped())
                         : tr("Not connected"));
    // Worked out by the copies window's coverage, when it was.
    if (const auto share = db_ ? katalox::store::keptProtectedShare(*db_, diskId_) : std::nullopt)
        text += QStringLiteral(" &nbsp; ") +
                tr("%1% of its bytes have a copy on another disk").arg(100.0 * *share, 0, 'f', 1);
    if (const QString verified = db_ ? lastVerificationText(*db_, diskId_) : QString();
        !verified.isEmpty())
        text += QStringLiteral(" &nbsp; ") + verified.toHtmlEscaped();
    header_->setText(text);
    for (QWidget* action : liveActions_)
        action->setEnabled(connectedAt.has_value());
}

std::pair<std::uint32_t, std::string> DiskBrowserWindow::selectedTarget() const {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return {current_, {}};
    const auto entry = listModel_->entryAt(rows.front().row());
    if (entry.isFolder)
        return {entry.folder, {}};
    return {current_, entry.file ? entry.file->name : std::string()};
}

std::optional<std::string> DiskBrowserWindow::liveTarget(bool containingFolder) const {
    if (!contents_ || current_ == kNoFolder)
        return std::nullopt;
    auto [folder, name] = selectedTarget();
    if (containingFolder) {
        if (name.empty() && folder != current_)
            folder = current_; // a selected subfolder lies in the folder shown
        name.clear();
    }
    return contents_->livePath(folder, name);
}

void DiskBrowserWindow::openSelected() {
    if (contents_ && current_ != kNoFolder) {
        const auto [folder, name] = selectedTarget();
        if (const auto archive = contents_->archiveHolding(folder)) {
            openInsideArchive(*archive, folder, name.empty());
            return;
        }
    }
    if (const auto live = liveTarget(false))
        katalox::platform::shellOpen(katalox::platform::localFileAddress(*live));
    else
        katalox::platform::Dialogs::instance().showMessage(
            tr("The disk \"%1\" is not connected, or the file is no longer there.")
                .arg(displayText(diskId_)));
}

void DiskBrowserWindow::openInsideArchive(std::uint32_t archive, std::uint32_t folder,
                                          bool isFolder) {
    const auto& folders = contents_->folders();
    // The archive's inside stands for the archive, which lies in the parent folder.
    const std::optional<std::string> archivePath =
        contents_->livePath(folders[archive].parent, folders[archive].name);
    const auto say = [](const QString& text) {
        katalox::platform::Dialogs::instance().showMessage(text);
    };
    if (isFolder && folder == archive) {
        if (archivePath)
            katalox::platform::shellOpen(katalox::platform::localFileAddress(*archivePath));
        else
            say(tr("The disk \"%1\" is not connected, or the file is no longer there.")
                    .arg(displayText(diskId_)));
        return;
    }
    if (isFolder) {
        say(tr("A folder inside an archive cannot be opened: open a file in it, or the archive "
               "itself."));
        return;
    }
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    const auto entry = listModel_->entryAt(rows.front().row());
    std::optional<katalox::store::ArchivedRecord> member;
    if (entry.file)
        member =
            db_ ? katalox::store::archivedRecord(*db_, table_, entry.file->record)
                : katalox::store::archivedServerRecord(*katalox::store::serverConnection(location_),
                                                       table_, entry.file->record);
    if (!member)
        ArchiveMemberOpener::sayNotRecorded(contents_->pathOf(folder) +
                                            (entry.file ? entry.file->name : std::string()));
    else if (!archivePath)
        say(tr("The disk \"%1\" is not connected, or the file is no longer there.")
                .arg(displayText(diskId_)));
    else
        ArchiveMemberOpener::open(*archivePath, *member, decompressLimit());
}

std::uint64_t DiskBrowserWindow::decompressLimit() const {
    const std::string appDir = Form1 ? Form1->AppDir : std::string();
    return (appDir.empty() ? katalox::store::ScanSettings()
                           : katalox::store::ScanSettings::readFrom(appDir))
               .decompressLimitMiB
           << 20;
}

void DiskBrowserWindow::openContainingFolder() {
    std::optional<std::string> live;
    if (contents_ && current_ != kNoFolder) {
        // Inside an archive, the folder that holds the archive on the disk.
        if (const auto archive = contents_->archiveHolding(current_))
            live = contents_->livePath(contents_->folders()[*archive].parent);
        else
            live = liveTarget(true);
    }
    if (live)
        katalox::platform::shellOpen(katalox::platform::localFileAddress(*live));
    else
        katalox::platform::Dialogs::instance().showMessage(
            tr("The disk \"%1\" is not connected, or the folder is no longer there.")
                .arg(displayText(diskId_)));
}

void DiskBrowserWindow::showOtherCopies() {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    if (!contents_ || rows.isEmpty())
        return;
    const auto entry = listModel_->entryAt(rows.front().row());
    if (!entry.file)
        return;
    if (!otherCopies_)
        otherCopies_ = new OtherCopiesWindow(this);
    otherCopies_->showCopiesOf(CatalogueCopies(location_, table_), entry.file->record,
                               displayText(entry.file->name));
}

void DiskBrowserWindow::copyPath() {
    if (!contents_ || current_ == kNoFolder)
        return;
    const auto [folder, name] = selectedTarget();
    // Where it is now when the disk is connected, else where it was scanned.
    const std::string path = liveTarget(false).value_or(contents_->pathOf(folder) + name);
    QGuiApplication::clipboard()->setText(displayText(path));
}
