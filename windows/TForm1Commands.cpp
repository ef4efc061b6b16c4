// The catalogue maintenance commands of the main window: delete one record, delete or rename
// a Disk ID, empty the catalogue and total the listed sizes.
#include "windows/TForm1.h"

#include "platform/DisplayText.h"
#include "platform/Error.h"
#include "platform/gui/Dialogs.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/CatalogFile.h"
#include "store/catalog/MaintenanceStatements.h"
#include "store/dataset/DataSource.h"
#include "store/dataset/Query.h"
#include "store/dataset/Table.h"
#include "store/dialect/StatementSyntax.h"
#include "store/postgres/ServerCatalogue.h"
#include "widgets/DBGrid.h"
#include "widgets/WindowHelpers.h"

#include <QLabel>
#include <QTreeWidget>

#include <functional>
#include <optional>

namespace {

const QString kNoEntry = QStringLiteral("No entry to delete");
const QString kNoDiskId = QStringLiteral("No valid Disk ID selected");

katalox::platform::Dialogs& dialogs() {
    return katalox::platform::Dialogs::instance();
}

std::string deleteDiskIdQuestion(const std::string& diskId) {
    return "Delete all entires with catalog Id " + diskId + "?";
}

std::string renameDiskIdQuestion(const std::string& diskId, const std::string& newName) {
    return "Rename entires with catalog Id \"" + diskId + "\" to \"" + newName + "\"?";
}

std::string sizeCaption(std::int64_t megabytes) {
    return "Size: " + std::to_string(megabytes) + " MB ";
}

using katalox::platform::DefaultButton;

// A question before a deletion has Cancel as its default button: Enter must not delete.
bool confirmed(const std::string& question, DefaultButton defaultButton) {
    return dialogs().confirm(katalox::platform::displayText(question), defaultButton);
}

// The "Id" of the record under the grid's cursor. None when the grid shows no record, or shows
// a result whose first column is not "Id" (the Disk ID list after a tree rebuild): a Disk ID
// must never be taken for an Id.
std::optional<std::int64_t> gridRecordId(const katalox::store::DataSource& link,
                                         const katalox::widgets::DBGrid& grid) {
    const katalox::store::DataSet* shown = link.dataSet();
    const int row = grid.currentRecord();
    if (!shown || !shown->active() || row < 0 || shown->fields().empty())
        return std::nullopt;
    const QString first = QString::fromStdString(shown->fields().front().name);
    if (first.compare(QLatin1String("Id"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return shown->valueAt(row, 0).asInteger();
}

// The delete and the rename of a Disk ID run under one guard: any failure, a missing
// selection included, ends the command with one message, and what ran before it stays done.
template <typename Command> void underDiskIdGuard(Command&& command) {
    try {
        command();
    } catch (const std::exception&) {
        dialogs().showMessage(kNoDiskId);
    }
}

// Asks, and on OK runs the statement in place through the catalogue service, which keeps the
// Disk ID's recorded scans in step in the same transaction, then rebuilds the tree and the
// listing. `onServer` does the same for a catalogue on a server, given the statement.
template <typename Change, typename ServerChange>
void confirmAndRun(TForm1& form, const std::string& question, DefaultButton defaultButton,
                   Change&& change, ServerChange&& onServer) {
    if (!confirmed(question, defaultButton))
        return; // the statement object stays closed, holding a statement that never ran
    form.Query1->close();
    if (katalox::store::isServerUri(form.Query1->filePath()))
        onServer(form.Query1->filePath(), katalox::store::tableNameOf(form.Table1->tableName()),
                 katalox::store::parseStatement(form.Query1->sql()).server);
    else
        change(form.catalog(), [&form] { form.Query1->execSQL(); });
    form.Update();
    form.update2();
}

} // namespace

void TForm1::DeleteThisEntry1Click() {
    if (Query1->recordCount() < 1) {
        dialogs().showMessage(kNoEntry);
        return;
    }
    // The Id is taken before the question, from the row the user pointed at.
    const std::optional<std::int64_t> id = gridRecordId(*DataSource1, *DBGrid1);
    if (!id) {
        dialogs().showMessage(kNoEntry);
        return;
    }
    if (!confirmed(" Delete single entry ?", DefaultButton::Cancel))
        return;
    Query1->setSql(katalox::store::deleteEntryStatement(*id));
    Query1->close();
    Query1->execSQL();
    update2();
}

void TForm1::DeleteAllEmptyDatabase1Click() {
    DeleteThisEntry1Click();
}

void TForm1::DeleteCatalog1Click() {
    underDiskIdGuard([this] {
        Query1->clearSql();
        if (!selectedNode())
            throw katalox::Error("No Disk ID is selected");
        const std::string diskId = selectedDiskId();
        Query1->setSql(katalox::store::deleteDiskIdStatement(diskId));
        confirmAndRun(
            *this, deleteDiskIdQuestion(diskId), DefaultButton::Cancel,
            [&](katalox::store::Catalog catalog, const std::function<void()>& execute) {
                catalog.deleteDisk(diskId, execute);
            },
            [&](const std::string& uri, const std::string& table, const std::string& statement) {
                katalox::store::deleteServerDisk(uri, table, diskId, statement);
            });
    });
}

void TForm1::RenameCatalog1Click() {
    const std::optional<QString> typed = dialogs().inputLine(
        QStringLiteral("Input Name"), QStringLiteral("Type a new name for this catalog"), {});
    if (!typed)
        return;
    // Stored exactly as typed: not trimmed, not upper-cased, an empty name included.
    const std::string newName = katalox::platform::bytesOf(*typed);
    underDiskIdGuard([this, &newName] {
        Query1->clearSql();
        if (!selectedNode())
            throw katalox::Error("No Disk ID is selected");
        const std::string diskId = selectedDiskId();
        Query1->setSql(katalox::store::renameDiskIdStatement(diskId, newName));
        confirmAndRun(
            *this, renameDiskIdQuestion(diskId, newName), DefaultButton::Ok,
            [&](katalox::store::Catalog catalog, const std::function<void()>& execute) {
                catalog.renameDisk(diskId, newName, execute);
            },
            [&](const std::string& uri, const std::string& table, const std::string& statement) {
                katalox::store::renameServerDisk(uri, table, diskId, newName, statement);
            });
    });
}

void TForm1::DeleteEntries1Click() {
    if (!confirmed("Are you sure you want to delete ALL data?", DefaultButton::Cancel))
        return;
    Table1->close();
    Query1->close();
    Table1->setExclusive(true);
    // Removes every record at once or, when another program holds the catalogue, nothing.
    Table1->emptyTable();
    Update();
}

void TForm1::CheckSize1Click() {
    katalox::store::SizeTotal total;
    const std::string sizeField = "File Size";
    // A server adds up its records itself, rather than sending them all.
    if (const auto kilobytes = Query1->summedKilobytes(sizeField)) {
        total.addKilobytes(*kilobytes);
    } else {
        const std::int64_t count = Query1->recordCount();
        for (std::int64_t recNo = 1; recNo <= count; ++recNo) {
            Query1->setRecNo(recNo);
            total.add(Query1->fieldByName(sizeField).asInteger());
        }
    }
    katalox::widgets::setFittedText(Label3,
                                    katalox::platform::displayText(sizeCaption(total.megabytes())));
}
