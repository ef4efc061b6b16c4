// The main window's knowledge of disks: which Disk IDs' disks are connected now, and the
// update of one disk in place.
#include "windows/TForm1.h"

#include "platform/DisplayText.h"
#include "platform/gui/Dialogs.h"
#include "store/catalog/Catalog.h"
#include "windows/UpdateDiskWindow.h"

#include <QStyle>
#include <QTreeWidget>

#include <map>
#include <optional>

void TForm1::showDiskPresence() {
    QTreeWidgetItem* root = TreeView1->topLevelItem(0);
    if (!root)
        return;
    // Where each recorded Disk ID's disk is mounted now; no value for a disk not connected.
    std::map<std::string, std::optional<std::string>> places;
    try {
        for (const katalox::store::DiskPresence& disk : catalog().disks())
            places.emplace(disk.diskId, disk.mountedAt);
    } catch (const std::exception&) {
        // A catalogue that cannot be read now shows its Disk IDs without marks.
    }
    const QIcon drive = style()->standardIcon(QStyle::SP_DriveHDIcon);
    const QIcon offline(drive.pixmap(16, QIcon::Disabled));
    for (int i = 0; i < root->childCount(); ++i) {
        QTreeWidgetItem* node = root->child(i);
        const auto found = places.find(diskIdOfNode(node));
        if (found == places.end()) {
            node->setIcon(0, QIcon());
            node->setToolTip(0, QString());
        } else if (found->second) {
            node->setIcon(0, drive);
            node->setToolTip(0, QStringLiteral("Connected at ") +
                                    katalox::platform::displayText(*found->second));
        } else {
            node->setIcon(0, offline);
            node->setToolTip(0, QStringLiteral("Not connected"));
        }
    }
}

void TForm1::updateThisDisk() {
    QTreeWidgetItem* node = selectedNode();
    if (!node || !node->parent()) {
        katalox::platform::Dialogs::instance().showMessage(
            QStringLiteral("Select the Disk ID of the disk to update"));
        return;
    }
    diskUpdateWindow->updateDisk(catalog(), diskIdOfNode(node));
}
