#include "windows/OtherCopiesWindow.h"

#include "platform/DisplayText.h"
#include "store/copies/CopySource.h"
#include "store/copies/OtherCopies.h"
#include "widgets/SizeText.h"
#include "windows/CatalogueCopies.h"

#include <QHeaderView>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include <map>

using katalox::platform::displayText;

OtherCopiesWindow::OtherCopiesWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), summary_(new QLabel(this)), model_(new QStandardItemModel(this)),
      view_(new QTableView(this)) {
    setObjectName(QStringLiteral("otherCopies"));
    summary_->setObjectName(QStringLiteral("summary"));
    summary_->setWordWrap(true);
    model_->setHorizontalHeaderLabels(
        {tr("Disk ID"), tr("Path"), tr("Size"), tr("Disk"), tr("Match")});
    view_->setObjectName(QStringLiteral("copies"));
    view_->setModel(model_);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->verticalHeader()->hide();
    view_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(view_, 1);
    resize(800, 360);
}

void OtherCopiesWindow::showCopiesOf(const CatalogueCopies& catalogue, std::int64_t record,
                                     const QString& name) {
    setWindowTitle(tr("Other Copies of %1").arg(name));
    const std::vector<katalox::store::KnownCopy> copies =
        katalox::store::otherCopies(*catalogue.source(), record);
    std::map<std::string, bool> connected;
    for (const katalox::store::DiskPresence& disk : catalogue.disks())
        connected[disk.diskId] = disk.mountedAt.has_value();
    model_->removeRows(0, model_->rowCount());
    for (const katalox::store::KnownCopy& copy : copies) {
        const auto found = connected.find(copy.diskId);
        QList<QStandardItem*> row{
            new QStandardItem(displayText(copy.diskId)), new QStandardItem(displayText(copy.path)),
            new QStandardItem(katalox::widgets::sizeText(static_cast<double>(copy.size))),
            new QStandardItem(found == connected.end() ? tr("unknown")
                              : found->second          ? tr("connected")
                                                       : tr("not connected")),
            new QStandardItem(copy.sure ? tr("same") : tr("probable"))};
        model_->appendRow(row);
    }
    summary_->setText(
        copies.empty()
            ? tr("No other copy of %1 is known. Files get a fingerprint when they "
                 "are inserted, updated or verified.")
                  .arg(name)
            : tr("%n other copies of %1 are known.", nullptr, static_cast<int>(copies.size()))
                  .arg(name));
    view_->resizeColumnsToContents();
    show();
    raise();
    activateWindow();
}
