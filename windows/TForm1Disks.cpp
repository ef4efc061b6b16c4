// The main window's knowledge of disks: which Disk IDs' disks are connected now, and the
// update of one disk in place.
#include "windows/TForm1.h"

#include "platform/DisplayText.h"
#include "platform/Volume.h"
#include "platform/gui/Dialogs.h"
#include "store/catalog/RecordedDisks.h"
#include "store/dataset/Query.h"
#include "store/sqlite/Database.h"
#include "windows/UpdateDiskWindow.h"

#include <QStyle>
#include <QTreeWidget>

#include <map>
#include <optional>

namespace {

// Where each recorded Disk ID's disk is mounted now; no value for a disk not connected.
std::map<std::string, std::optional<std::string>> diskPlaces(const std::string& catalogue) {
    std::map<std::string, std::optional<std::string>> places;
    const auto mounts =
        katalox::platform::readMountTable(katalox::platform::volumeSources().mountTable);
    const auto db = katalox::store::Database::open(catalogue);
    for (const katalox::store::RecordedScan& scan : katalox::store::allRecordedScans(*db)) {
        std::optional<std::string>& place = places[scan.diskId];
        if (!place)
            place = katalox::platform::mountedNow(scan.volume.uuid, scan.volume.type,
                                                  scan.volume.mountPoint, mounts);
    }
    return places;
}

} // namespace

void TForm1::showDiskPresence() {
    QTreeWidgetItem* root = TreeView1->topLevelItem(0);
    if (!root)
        return;
    std::map<std::string, std::optional<std::string>> places;
    try {
        places = diskPlaces(Query1->filePath());
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
    diskUpdateWindow->updateDisk(Query1->filePath(), diskIdOfNode(node));
}
