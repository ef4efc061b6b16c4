#pragma once
// "Update This Disk...": shows what changed on a disk since its scans (files added, removed,
// changed in size) and, on Apply, changes just those records. Cancel changes nothing.
#include "store/archives/ArchiveListing.h"

#include <QWidget>

#include <memory>
#include <optional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace katalox {
namespace store {
class Catalog;
class DiskUpdate;
} // namespace store
namespace widgets {
class TextListModel;
}
} // namespace katalox

class UpdateDiskWindow : public QWidget {
    Q_OBJECT
public:
    explicit UpdateDiskWindow(QWidget* parent = nullptr);
    ~UpdateDiskWindow() override;

    // Locates the Disk ID's disk through the catalogue's recorded scans, asks when another
    // volume is found there, walks it and shows the changes. Tells by a message when the disk
    // cannot be updated (no scan recorded, not connected).
    // `archives`: how archives added or changed are looked inside (none: they are not);
    // `fingerprints`: whether files added or changed get their content prints.
    void updateDisk(std::unique_ptr<katalox::store::DiskUpdate> update,
                    std::optional<katalox::store::ArchiveLimits> archives =
                        katalox::store::ArchiveLimits{katalox::store::defaultArchiveFormats()},
                    bool fingerprints = true);

    // The buttons' actions.
    void applyChanges();
    void cancel();

signals:
    // The changes were applied to the catalogue.
    void diskChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool readyToWalk(const katalox::store::DiskUpdate& update);
    void showChanges();

    QLabel* folders_;
    QLabel* summary_;
    QTabWidget* tabs_;
    katalox::widgets::TextListModel* added_;
    katalox::widgets::TextListModel* removed_;
    katalox::widgets::TextListModel* changed_;
    QProgressBar* progress_;
    QPushButton* apply_;
    QPushButton* cancel_;
    std::unique_ptr<katalox::store::DiskUpdate> update_;
    bool walking_ = false;
    bool stopped_ = false;
};
