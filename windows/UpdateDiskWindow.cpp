#include "windows/UpdateDiskWindow.h"

#include "platform/DisplayText.h"
#include "platform/Error.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ErrorBox.h"
#include "scanner/DirLister.h"
#include "store/catalog/Catalog.h"
#include "widgets/TextListModel.h"
#include "widgets/WindowHelpers.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

using katalox::platform::displayText;

namespace {

katalox::platform::Dialogs& dialogs() {
    return katalox::platform::Dialogs::instance();
}

QString quoted(const std::string& text) {
    return QLatin1Char('"') + displayText(text) + QLatin1Char('"');
}

QListView* listOf(katalox::widgets::TextListModel* model, QWidget* parent) {
    auto* view = new QListView(parent);
    view->setModel(model);
    view->setUniformItemSizes(true);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return view;
}

QString sizeChange(const katalox::store::ResizedRecord& change) {
    return QStringLiteral("%1  (%2 -> %3 bytes)")
        .arg(displayText(change.record.path))
        .arg(change.record.size)
        .arg(change.newSize);
}

} // namespace

UpdateDiskWindow::UpdateDiskWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), folders_(new QLabel(this)), summary_(new QLabel(this)),
      tabs_(new QTabWidget(this)), added_(new katalox::widgets::TextListModel(this)),
      removed_(new katalox::widgets::TextListModel(this)),
      changed_(new katalox::widgets::TextListModel(this)), progress_(new QProgressBar(this)),
      apply_(new QPushButton(QStringLiteral("Apply"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
    setObjectName(QStringLiteral("updateDiskWindow"));
    katalox::widgets::useWindowFont(this);
    folders_->setObjectName(QStringLiteral("foldersLabel"));
    folders_->setWordWrap(true);
    folders_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    summary_->setObjectName(QStringLiteral("summaryLabel"));
    tabs_->setObjectName(QStringLiteral("changeTabs"));
    tabs_->addTab(listOf(added_, tabs_), QStringLiteral("Added"));
    tabs_->addTab(listOf(removed_, tabs_), QStringLiteral("Removed"));
    tabs_->addTab(listOf(changed_, tabs_), QStringLiteral("Changed"));
    progress_->setObjectName(QStringLiteral("applyProgress"));
    progress_->setVisible(false);
    apply_->setObjectName(QStringLiteral("applyButton"));
    cancel_->setObjectName(QStringLiteral("cancelButton"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(progress_, 1);
    buttons->addStretch();
    buttons->addWidget(apply_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(folders_);
    layout->addWidget(summary_);
    layout->addWidget(tabs_, 1);
    layout->addLayout(buttons);
    resize(560, 420);

    katalox::platform::connectGuarded(apply_, &QPushButton::clicked, this,
                                      &UpdateDiskWindow::applyChanges);
    katalox::platform::connectGuarded(cancel_, &QPushButton::clicked, this,
                                      &UpdateDiskWindow::cancel);
}

UpdateDiskWindow::~UpdateDiskWindow() = default;

void UpdateDiskWindow::updateDisk(std::unique_ptr<katalox::store::DiskUpdate> update,
                                  std::optional<katalox::store::ArchiveLimits> archives,
                                  bool fingerprints) {
    if (walking_)
        return; // one walk at a time; this window is already busy with one
    const std::string diskId = update->diskId();
    update->setArchives(std::move(archives));
    update->setFingerprints(fingerprints);
    if (!readyToWalk(*update))
        return;
    update_ = std::move(update);
    setWindowTitle(QStringLiteral("Update Disk ") + quoted(diskId));
    QStringList folders;
    for (const katalox::store::DiskUpdate::Place& place : update_->places())
        if (place.state != katalox::store::ScanPlace::State::NotConnected)
            folders << displayText(place.folderNow);
    folders_->setText(QStringLiteral("Reading ") + folders.join(QStringLiteral(", ")));
    summary_->setText(QStringLiteral("Looking for changes..."));
    for (auto* model : {added_, removed_, changed_})
        model->show(0, {});
    apply_->setEnabled(false);
    progress_->setVisible(false);
    if (!isVisible())
        katalox::widgets::centreOverMainWindow(this);
    katalox::widgets::showForm(this);

    walking_ = true;
    stopped_ = false;
    bool finished = false;
    try {
        finished = update_->compare(stopped_);
    } catch (...) {
        walking_ = false;
        hide();
        throw;
    }
    walking_ = false;
    if (finished)
        showChanges();
}

// Says why the disk cannot be walked, or asks when another volume lies at its recorded place.
bool UpdateDiskWindow::readyToWalk(const katalox::store::DiskUpdate& update) {
    if (update.scans().empty()) {
        dialogs().showMessage(QStringLiteral("No scan of the Disk ID %1 is recorded, so it cannot "
                                             "be updated in place. Delete it and insert it again.")
                                  .arg(quoted(update.diskId())));
        return false;
    }
    using State = katalox::store::ScanPlace::State;
    const auto& places = update.places();
    if (std::none_of(places.begin(), places.end(),
                     [](const auto& place) { return place.state != State::NotConnected; })) {
        dialogs().showMessage(
            QStringLiteral("The disk %1 is not connected (%2). Connect it and choose Update This "
                           "Disk... again.")
                .arg(quoted(update.diskId()), displayText(katalox::store::describeVolume(
                                                  update.scans().front().volume, true))));
        return false;
    }
    for (std::size_t i = 0; i < places.size(); ++i) {
        const katalox::store::ScanPlace& place = places[i];
        if (place.state != State::OtherVolume)
            continue;
        const QString question =
            QStringLiteral("%1 now holds another volume (%2), not the disk %3 (%4). Compare its "
                           "files with the records of %3 anyway? The disk's volume stays "
                           "recorded as it is.")
                .arg(quoted(place.folderNow),
                     displayText(katalox::store::describeVolume(*place.volumeNow, false)),
                     quoted(update.diskId()),
                     displayText(katalox::store::describeVolume(update.scans()[i].volume, true)));
        if (!dialogs().confirm(question, katalox::platform::DefaultButton::Cancel))
            return false;
    }
    return true;
}

void UpdateDiskWindow::showChanges() {
    const katalox::store::DiskChanges& changes = update_->changes();
    summary_->setText(
        changes.none()
            ? QStringLiteral("Nothing has changed: %1 files as recorded.").arg(changes.unchanged)
            : QStringLiteral("%1 added, %2 removed, %3 changed, %4 unchanged.")
                  .arg(changes.added.size())
                  .arg(changes.removed.size())
                  .arg(changes.changed.size())
                  .arg(changes.unchanged));
    added_->show(static_cast<int>(changes.added.size()),
                 [&changes](int row) { return displayText(changes.added[row].path); });
    removed_->show(static_cast<int>(changes.removed.size()),
                   [&changes](int row) { return displayText(changes.removed[row].path); });
    changed_->show(static_cast<int>(changes.changed.size()),
                   [&changes](int row) { return sizeChange(changes.changed[row]); });
    tabs_->setTabText(0, QStringLiteral("Added (%1)").arg(changes.added.size()));
    tabs_->setTabText(1, QStringLiteral("Removed (%1)").arg(changes.removed.size()));
    tabs_->setTabText(2, QStringLiteral("Changed (%1)").arg(changes.changed.size()));
    if (update_->completesScans())
        summary_->setText(summary_->text() +
                          QStringLiteral(" Apply also marks the interrupted insert complete."));
    apply_->setEnabled(!changes.none() || update_->completesScans());
}

void UpdateDiskWindow::applyChanges() {
    if (!update_ || walking_)
        return;
    const katalox::store::DiskChanges& changes = update_->changes();
    const std::size_t total =
        changes.added.size() + changes.removed.size() + changes.changed.size();
    progress_->setRange(0, static_cast<int>(std::min<std::size_t>(total, INT_MAX)));
    progress_->setValue(0);
    progress_->setVisible(true);
    apply_->setEnabled(false);
    try {
        update_->apply([this](std::size_t done) {
            progress_->setValue(static_cast<int>(std::min<std::size_t>(done, INT_MAX)));
            progress_->repaint();
        });
    } catch (...) {
        apply_->setEnabled(true); // nothing was changed; the user may try again
        throw;
    }
    update_.reset();
    hide();
    emit diskChanged();
}

void UpdateDiskWindow::cancel() {
    stopped_ = true;
    if (walking_)
        katalox::scanner::stopWalk();
    hide();
}

void UpdateDiskWindow::closeEvent(QCloseEvent* event) {
    cancel();
    event->accept();
}
