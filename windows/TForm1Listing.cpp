// The Disk ID tree and the listing of the main window.
#include "windows/TForm1.h"

#include "platform/DisplayText.h"
#include "store/catalog/ListingStatements.h"
#include "store/dataset/DataSource.h"
#include "store/dataset/Query.h"
#include "widgets/DBGrid.h"
#include "widgets/WindowHelpers.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>

namespace {

const QString kSelectedPrefix = QStringLiteral("Selected : ");
const QString kAllDisks = QStringLiteral("All Disks");
// A node keeps its Disk ID as stored, byte for byte, beside the text it shows.
constexpr int kDiskIdRole = Qt::UserRole;
constexpr int kListingWidths[] = {40, 160, 110};

} // namespace

void TForm1::Update() {
    Query1->setSql(katalox::store::diskIdTreeStatement());
    Query1->close();
    Query1->open();
    const std::int64_t count = Query1->recordCount();
    std::vector<std::string> diskIds;
    diskIds.reserve(static_cast<std::size_t>(count));
    for (std::int64_t recNo = 1; recNo <= count; ++recNo) {
        Query1->setRecNo(recNo);
        diskIds.push_back(Query1->fieldByName("Disk ID").asString());
    }

    QList<QTreeWidgetItem*> children;
    children.reserve(static_cast<qsizetype>(diskIds.size()));
    for (const std::string& diskId : diskIds) {
        auto* child = new QTreeWidgetItem(QStringList{katalox::platform::displayText(diskId)});
        child->setData(0, kDiskIdRole, QByteArray::fromStdString(diskId));
        children.append(child);
    }
    // Clearing reports a change to no node at all, which lists nothing.
    TreeView1->clear();
    auto* root = new QTreeWidgetItem(TreeView1, QStringList{kAllDisks});
    root->addChildren(children);
    Label1->setText(kSelectedPrefix + kAllDisks);
    showDiskPresence();
}

void TForm1::update2() {
    typedExtensionListing_->stop(); // this listing reads the extension as it stands
    Query1->close();
    Query1->clearSql();
    katalox::store::ListingFilters filters{katalox::platform::bytesOf(Edit1->text()),
                                           katalox::platform::bytesOf(ComboBox1->currentText()),
                                           katalox::platform::bytesOf(Edit2->text()), std::nullopt};
    if (Label1->text() != kSelectedPrefix + kAllDisks)
        filters.diskId = selectedDiskId();
    Query1->setSql(katalox::store::listingStatement(filters));
    Query1->open();
    DataSource1->setDataSet(Query1);
    katalox::widgets::setFittedText(Label2,
                                    QStringLiteral("Record Count: %1").arg(Query1->recordCount()));
    const int columns = DBGrid1->model()->columnCount();
    for (int column = 0; column < std::min(columns, 3); ++column)
        DBGrid1->setColumnWidth(column, kListingWidths[column]);
}

QTreeWidgetItem* TForm1::selectedNode() const {
    const QList<QTreeWidgetItem*> selected = TreeView1->selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

std::string TForm1::diskIdOfNode(const QTreeWidgetItem* node) {
    const QVariant stored = node->data(0, kDiskIdRole);
    return stored.isValid() ? stored.toByteArray().toStdString()
                            : katalox::platform::bytesOf(node->text(0));
}

std::string TForm1::selectedDiskId() const {
    if (const QTreeWidgetItem* node = selectedNode())
        return diskIdOfNode(node);
    // The caption names the last node selected; it stands in should the selection be gone.
    return katalox::platform::bytesOf(Label1->text().mid(kSelectedPrefix.size()));
}

void TForm1::TreeView1Change(QTreeWidgetItem* node) {
    // Clearing the tree reports a change to no node; there is nothing to list then.
    if (!node)
        return;
    Label1->setText(kSelectedPrefix + node->text(0));
    update2();
}

void TForm1::ComboBox1Change() {
    update2();
}

void TForm1::Edit1KeyDown(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        update2();
}

void TForm1::Edit2KeyDown(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        update2();
}
