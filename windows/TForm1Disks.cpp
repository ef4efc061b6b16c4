// The main window's knowledge of disks: which Disk IDs' disks are connected now, and the
// update of one disk in place.
#include "windows/TForm1.h"

#include "platform/DisplayText.h"
#include "platform/gui/Dialogs.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/CatalogFile.h"
#include "store/catalog/DiskUpdate.h"
#include "store/dataset/Query.h"
#include "store/dataset/Table.h"
#include "store/postgres/PgUpdateStore.h"
#include "store/postgres/ServerCatalogue.h"
#include "store/settings/ScanSettings.h"
#include "windows/CatalogueCopies.h"
#include "windows/DiskBrowserWindow.h"
#include "windows/UpdateDiskWindow.h"
#include "windows/VerifyDiskWindow.h"

#include <QStyle>
#include <QTreeWidget>

#include <map>
#include <optional>

namespace {

// What the tree says of a disk: connected or not, and an insert that did not run to its end.
struct DiskMark {
    std::optional<std::string> mountedAt;
    const katalox::store::RecordedScan* incomplete = nullptr;
};

QString incompleteText(const katalox::store::RecordedScan& scan) {
    return QStringLiteral("Incomplete: the insert of %1 stopped after %2 of %3 files. Update This "
                          "Disk... completes it.")
        .arg(katalox::platform::displayText(scan.scannedFolder))
        .arg(scan.recordCount)
        .arg(scan.listedFiles);
}

} // namespace

std::vector<katalox::store::DiskPresence> TForm1::disks() const {
    // On a server, the disks scanned from any machine, and where they are connected to this one.
    if (katalox::store::isServerUri(Query1->filePath()))
        return katalox::store::serverDiskPresence(Query1->filePath(),
                                                  katalox::store::tableNameOf(Table1->tableName()));
    return catalog().disks();
}

void TForm1::showDiskPresence() {
    QTreeWidgetItem* root = TreeView1->topLevelItem(0);
    if (!root)
        return;
    std::vector<katalox::store::DiskPresence> disks;
    std::map<std::string, DiskMark> marks;
    try {
        disks = this->disks();
    } catch (const std::exception&) {
        // A catalogue that cannot be read now shows its Disk IDs without marks.
    }
    for (const katalox::store::DiskPresence& disk : disks) {
        DiskMark& mark = marks[disk.diskId];
        mark.mountedAt = disk.mountedAt;
        for (const katalox::store::RecordedScan& scan : disk.scans)
            if (!scan.complete)
                mark.incomplete = &scan;
    }
    const QIcon drive = style()->standardIcon(QStyle::SP_DriveHDIcon);
    const QIcon offline(drive.pixmap(16, QIcon::Disabled));
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (int i = 0; i < root->childCount(); ++i) {
        QTreeWidgetItem* node = root->child(i);
        const auto found = marks.find(diskIdOfNode(node));
        if (found == marks.end()) {
            node->setIcon(0, QIcon());
            node->setToolTip(0, QString());
            continue;
        }
        const DiskMark& mark = found->second;
        QString tip = mark.mountedAt ? QStringLiteral("Connected at ") +
                                           katalox::platform::displayText(*mark.mountedAt)
                                     : QStringLiteral("Not connected");
        if (mark.incomplete)
            tip += QLatin1Char('\n') + incompleteText(*mark.incomplete);
        node->setIcon(0, mark.incomplete ? warning : mark.mountedAt ? drive : offline);
        node->setToolTip(0, tip);
    }
}

void TForm1::updateThisDisk() {
    QTreeWidgetItem* node = selectedNode();
    if (!node || !node->parent()) {
        katalox::platform::Dialogs::instance().showMessage(
            QStringLiteral("Select the Disk ID of the disk to update"));
        return;
    }
    const auto settings = katalox::store::ScanSettings::readFrom(AppDir);
    const std::string diskId = diskIdOfNode(node);
    const std::string& location = Query1->filePath();
    diskUpdateWindow->updateDisk(
        katalox::store::isServerUri(location)
            ? std::make_unique<katalox::store::DiskUpdate>(
                  katalox::store::serverUpdateStore(
                      location, katalox::store::tableNameOf(Table1->tableName())),
                  diskId)
            : catalog().diskUpdate(diskId),
        settings.archiveLimits(), settings.fingerprints);
}

void TForm1::verifyThisDisk() {
    QTreeWidgetItem* node = selectedNode();
    if (!node || !node->parent()) {
        katalox::platform::Dialogs::instance().showMessage(
            tr("Select the Disk ID of the disk to verify"));
        return;
    }
    if (!verifyDiskWindow)
        verifyDiskWindow = new VerifyDiskWindow(this);
    verifyDiskWindow->verifyDisk(
        CatalogueCopies(Query1->filePath(), katalox::store::tableNameOf(Table1->tableName())),
        diskIdOfNode(node));
}

void TForm1::browseThisDisk() {
    QTreeWidgetItem* node = selectedNode();
    if (!node || !node->parent()) {
        katalox::platform::Dialogs::instance().showMessage(
            QStringLiteral("Select the Disk ID of the disk to browse"));
        return;
    }
    if (katalox::store::isServerUri(Query1->filePath()))
        diskBrowserWindow->browseServer(Query1->filePath(),
                                        katalox::store::tableNameOf(Table1->tableName()),
                                        diskIdOfNode(node));
    else
        diskBrowserWindow->browse(catalog(), diskIdOfNode(node));
}
