#include "windows/CopiesWindow.h"

#include "platform/DisplayText.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ErrorBox.h"
#include "store/copies/CopyFolders.h"
#include "store/copies/CopyGroups.h"
#include "store/copies/CopySource.h"
#include "store/copies/DiskCoverage.h"
#include "widgets/SizeText.h"
#include "windows/CatalogueCopies.h"
#include "windows/VerifyDiskWindow.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

using katalox::platform::bytesOf;
using katalox::platform::connectGuarded;
using katalox::platform::displayText;
using katalox::widgets::sizeText;

namespace {

constexpr std::size_t kGroupsPerPage = 100;
constexpr std::size_t kFoldersShown = 1000;

QPushButton* button(QWidget* parent, const QString& text, const char* name) {
    auto* made = new QPushButton(text, parent);
    made->setObjectName(QString::fromLatin1(name));
    return made;
}

QString shareText(double share) {
    return QStringLiteral("%1%").arg(100.0 * share, 0, 'f', 1);
}

} // namespace

CopiesWindow::CopiesWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), diskFilter_(new QComboBox(this)), minSize_(new QLineEdit(this)),
      pathFilter_(new QLineEdit(this)), minCopies_(new QSpinBox(this)),
      groupList_(new QTreeWidget(this)), more_(button(this, tr("More"), "more")),
      copiedFolders_(new QTreeWidget(this)), disks_(new QTableWidget(this)),
      folders_(new QTreeWidget(this)), coverageSummary_(new QLabel(this)) {
    setObjectName(QStringLiteral("copies"));
    setWindowTitle(tr("Copies"));
    diskFilter_->setObjectName(QStringLiteral("diskFilter"));
    minSize_->setObjectName(QStringLiteral("minSize"));
    minSize_->setPlaceholderText(tr("bytes"));
    pathFilter_->setObjectName(QStringLiteral("pathFilter"));
    minCopies_->setObjectName(QStringLiteral("minCopies"));
    minCopies_->setRange(2, 1000000);
    auto* filters = new QFormLayout;
    filters->addRow(tr("Disk ID"), diskFilter_);
    filters->addRow(tr("At least (bytes)"), minSize_);
    filters->addRow(tr("Path holds"), pathFilter_);
    filters->addRow(tr("At least copies"), minCopies_);
    QPushButton* find = button(this, tr("Find"), "find");
    connectGuarded(find, &QPushButton::clicked, this, &CopiesWindow::findGroups);
    connectGuarded(more_, &QPushButton::clicked, this, &CopiesWindow::moreGroups);
    groupList_->setObjectName(QStringLiteral("groups"));
    groupList_->setHeaderLabels({tr("Copies"), tr("Size"), tr("Wasted"), tr("Match")});
    auto* groupsPage = new QWidget(this);
    auto* groupsLayout = new QVBoxLayout(groupsPage);
    groupsLayout->addWidget(groupList_, 1);
    groupsLayout->addWidget(more_);
    copiedFolders_->setObjectName(QStringLiteral("copiedFolders"));
    copiedFolders_->setRootIsDecorated(false);
    copiedFolders_->setHeaderLabels({tr("Folder"), tr("Disk ID"), tr("Copy of"), tr("Disk ID"),
                                     tr("Files"), tr("Size"), tr("Kind")});
    for (int column = 0; column < copiedFolders_->columnCount(); ++column)
        copiedFolders_->header()->setSectionResizeMode(column, column == 0 || column == 2
                                                                   ? QHeaderView::Stretch
                                                                   : QHeaderView::ResizeToContents);

    disks_->setObjectName(QStringLiteral("disks"));
    disks_->setColumnCount(4);
    disks_->setHorizontalHeaderLabels(
        {tr("Disk ID"), tr("Connected"), tr("Protected"), tr("Verified")});
    disks_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    disks_->setSelectionBehavior(QAbstractItemView::SelectRows);
    disks_->setSelectionMode(QAbstractItemView::SingleSelection);
    disks_->verticalHeader()->hide();
    disks_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    folders_->setObjectName(QStringLiteral("coverage"));
    folders_->setHeaderLabels({tr("Folder"), tr("Single copies"), tr("Copied elsewhere")});
    coverageSummary_->setObjectName(QStringLiteral("coverageSummary"));
    coverageSummary_->setWordWrap(true);
    QPushButton* cover = button(this, tr("Coverage"), "showCoverage");
    QPushButton* exportList = button(this, tr("Export Single Copies..."), "exportSingleCopies");
    connectGuarded(cover, &QPushButton::clicked, this, &CopiesWindow::showCoverage);
    connectGuarded(exportList, &QPushButton::clicked, this, &CopiesWindow::exportSingleCopies);
    auto* coverPage = new QWidget(this);
    auto* coverLayout = new QVBoxLayout(coverPage);
    coverLayout->addWidget(disks_, 1);
    auto* coverButtons = new QHBoxLayout;
    coverButtons->addWidget(cover);
    coverButtons->addWidget(exportList);
    coverButtons->addStretch(1);
    coverLayout->addLayout(coverButtons);
    coverLayout->addWidget(coverageSummary_);
    coverLayout->addWidget(folders_, 2);

    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabs"));
    tabs->addTab(groupsPage, tr("Groups of Copies"));
    tabs->addTab(copiedFolders_, tr("Copied Folders"));
    tabs->addTab(coverPage, tr("Disk Coverage"));
    // The filters choose the groups and the folders alike.
    auto* findRow = new QHBoxLayout;
    findRow->addLayout(filters, 1);
    findRow->addWidget(find, 0, Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(findRow);
    layout->addWidget(tabs, 1);
    resize(900, 650);
}

CopiesWindow::~CopiesWindow() = default;

void CopiesWindow::showCatalogue(const std::string& location, const std::string& table) {
    copies_ = std::make_unique<CatalogueCopies>(location, table);
    listDisks();
    findGroups();
    show();
    raise();
    activateWindow();
}

void CopiesWindow::listDisks() {
    const std::vector<katalox::store::DiskPresence> disks = copies_->disks();
    diskFilter_->clear();
    diskFilter_->addItem(QString());
    disks_->setRowCount(static_cast<int>(disks.size()));
    for (int row = 0; row < static_cast<int>(disks.size()); ++row) {
        const katalox::store::DiskPresence& disk = disks[static_cast<std::size_t>(row)];
        diskFilter_->addItem(displayText(disk.diskId));
        const auto share = katalox::store::keptProtectedShare(*copies_->source(), disk.diskId);
        disks_->setItem(row, 0, new QTableWidgetItem(displayText(disk.diskId)));
        disks_->setItem(row, 1, new QTableWidgetItem(disk.mountedAt ? tr("yes") : tr("no")));
        disks_->setItem(row, 2, new QTableWidgetItem(share ? shareText(*share) : tr("not known")));
        const QString verified = lastVerificationText(copies_->lastCheck(disk.diskId));
        disks_->setItem(row, 3, new QTableWidgetItem(verified.isEmpty() ? tr("never") : verified));
    }
}

void CopiesWindow::findGroups() {
    katalox::store::CopyFilter filter;
    filter.diskId = bytesOf(diskFilter_->currentText());
    filter.minSize = std::max<qlonglong>(1, minSize_->text().toLongLong());
    filter.pathPart = katalox::platform::upperCase(bytesOf(pathFilter_->text()));
    filter.minCopies = minCopies_->value();
    groups_ = std::make_unique<katalox::store::CopyGroups>(copies_->source(), filter);
    groupList_->clear();
    moreGroups();
    copiedFolders_->clear();
    for (const katalox::store::CopiedFolder& folder : copies_->copiedFolders(filter, kFoldersShown))
        new QTreeWidgetItem(copiedFolders_,
                            {displayText(folder.path), displayText(folder.diskId),
                             displayText(folder.otherPath), displayText(folder.otherDiskId),
                             QString::number(folder.files),
                             sizeText(static_cast<double>(folder.bytes)),
                             folder.same ? tr("same files") : tr("all inside the other")});
}

void CopiesWindow::moreGroups() {
    if (!groups_)
        return;
    for (const katalox::store::CopyGroup& group : groups_->next(kGroupsPerPage)) {
        auto* item = new QTreeWidgetItem(
            groupList_,
            {QString::number(group.members.size()), sizeText(static_cast<double>(group.size)),
             sizeText(static_cast<double>(group.waste())),
             group.members.front().sure ? tr("same") : tr("probable")});
        for (const katalox::store::KnownCopy& member : group.members)
            new QTreeWidgetItem(item, {displayText(member.diskId), displayText(member.path)});
    }
    more_->setEnabled(!groups_->atEnd());
}

void CopiesWindow::showCoverage() {
    const QList<QTableWidgetItem*> selected = disks_->selectedItems();
    if (selected.isEmpty()) {
        katalox::platform::Dialogs::instance().showMessage(tr("Select the disk to cover"));
        return;
    }
    if (coverageRunning_)
        return; // the windows answer while a large disk is covered: one at a time
    const int row = selected.front()->row();
    const std::string diskId = bytesOf(disks_->item(row, 0)->text());
    coverageRunning_ = true;
    coverageSummary_->setText(tr("Working out the coverage of \"%1\"...").arg(displayText(diskId)));
    coverageSummary_->repaint(); // shown before the work, which takes a second or two
    std::unique_ptr<katalox::store::DiskCoverage> coverage;
    try {
        coverage = std::make_unique<katalox::store::DiskCoverage>(copies_->coverage(diskId));
    } catch (...) {
        coverageRunning_ = false;
        coverageSummary_->clear();
        throw;
    }
    coverageRunning_ = false;
    coverage_ = std::move(coverage);
    katalox::store::keepProtectedShare(*copies_->source(), diskId, *coverage_);
    // The list may have been filled anew meanwhile: the disk's row is found again.
    if (QTableWidgetItem* share = disks_->item(row, 2);
        share && bytesOf(disks_->item(row, 0)->text()) == diskId)
        share->setText(shareText(coverage_->protectedShare()));
    coverageSummary_->setText(
        tr("%1 protected: %2 in %3 files have a copy on another disk; %4 in %5 files are single "
           "copies; %6 in %7 files have no fingerprint yet.")
            .arg(shareText(coverage_->protectedShare()),
                 sizeText(static_cast<double>(coverage_->copied.bytes)))
            .arg(coverage_->copied.files)
            .arg(sizeText(static_cast<double>(coverage_->single.bytes)))
            .arg(coverage_->single.files)
            .arg(sizeText(static_cast<double>(coverage_->unknown.bytes)))
            .arg(coverage_->unknown.files));
    folders_->clear();
    auto* root = new QTreeWidgetItem(folders_);
    addFolderItems(root, 0);
    root->setExpanded(true);
}

// One item per folder, most single bytes first; a deep tree is filled as far as it is opened.
void CopiesWindow::addFolderItems(QTreeWidgetItem* item, std::size_t index) {
    const katalox::store::CoverageFolder& folder = coverage_->folders[index];
    item->setText(0, displayText(folder.path));
    item->setText(1, sizeText(static_cast<double>(folder.single.bytes)));
    item->setText(2, sizeText(static_cast<double>(folder.copied.bytes)));
    for (const std::size_t child : folder.children) {
        auto* childItem = new QTreeWidgetItem(item);
        const katalox::store::CoverageFolder& sub = coverage_->folders[child];
        childItem->setText(0, displayText(sub.path));
        childItem->setText(1, sizeText(static_cast<double>(sub.single.bytes)));
        childItem->setText(2, sizeText(static_cast<double>(sub.copied.bytes)));
        if (!sub.children.empty() && item == folders_->topLevelItem(0))
            addFolderItems(childItem, child);
    }
}

void CopiesWindow::exportSingleCopies() {
    if (!coverage_) {
        katalox::platform::Dialogs::instance().showMessage(tr("Show a disk's coverage first"));
        return;
    }
    const auto path = katalox::platform::Dialogs::instance().inputLine(
        tr("Export Single Copies"), tr("File to write the paths of the single copies to:"),
        QString());
    if (!path || path->isEmpty())
        return;
    std::sort(coverage_->singlePaths.begin(), coverage_->singlePaths.end());
    katalox::platform::writeTextLines(bytesOf(*path), coverage_->singlePaths);
}
