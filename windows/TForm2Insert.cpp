// "Insert To DataBase": writes the scan window's list into the catalogue that the main
// window's table cursor is open on.
#include "windows/TForm2.h"

#include "ui_TForm2.h"

#include "platform/DisplayText.h"
#include "platform/Error.h"
#include "platform/gui/Dialogs.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/CatalogFile.h"
#include "store/dataset/Table.h"
#include "store/postgres/PgListInsert.h"
#include "store/postgres/ServerCatalogue.h"
#include "store/settings/ScanSettings.h"
#include "widgets/ScanListModel.h"
#include "windows/Forms.h"
#include "windows/TForm1.h"

#include <exception>

using katalox::widgets::CheckedProgressBar;

void TForm2::BitBtn1Click() {
    // The list is still being filled by a running scan.
    if (scanRunning_)
        return;
    if (!katalox::platform::Dialogs::instance().confirm(
            QStringLiteral("Insert all files into database?")))
        return;
    if (!Form1)
        throw katalox::Error("The catalogue is not open");
    katalox::store::Table& table = *Form1->Table1;
    table.close();
    table.setExclusive(false);
    table.open();
    // The list holds at most INT_MAX lines; an empty one asks for the maximum -1 and fails.
    ui->ProgressBar1->setMaximumChecked(static_cast<int>(lines_->lineCount()) - 1);
    const auto settings = katalox::store::ScanSettings::readFrom(Form1->AppDir);
    const katalox::store::ScanToInsert scan{katalox::platform::bytesOf(ui->Edit3->text()),
                                            scanRules_, settings.fingerprints,
                                            settings.archiveLimits()};
    const auto pathAt = [this](std::size_t i) { return lines_->line(i); };
    const auto progress = [this](std::size_t i) {
        ui->ProgressBar1->setPosition(static_cast<int>(i), CheckedProgressBar::Redraw::Now);
        return true;
    };
    std::exception_ptr unrecorded;
    katalox::store::InsertFigures figures;
    try {
        // A catalogue on a server takes the records, their prints, the members of archives and
        // the scan.
        if (katalox::store::isServerUri(table.filePath())) {
            const katalox::store::ListInsertFigures written = katalox::store::insertListOnServer(
                *katalox::store::serverConnection(table.filePath()),
                katalox::store::tableNameOf(table.tableName()),
                katalox::store::scanStarting(scan.diskId, scan.rules, lines_->lineCount()),
                lines_->lineCount(), pathAt, progress, scan.fingerprints, scan.archives);
            figures.unreadable = written.unreadable;
            figures.changing = written.changing;
            figures.unreadArchives = written.members.unreadArchives;
            figures.membersLeftOut = written.members.membersLeftOut;
        } else
            figures = katalox::store::Catalog(table.filePath())
                          .insert(scan, lines_->lineCount(), pathAt, progress);
    } catch (const katalox::store::UnrecordedScanError&) {
        unrecorded = std::current_exception();
    } catch (...) {
        // The records posted before the failure stay; the window stays open.
        ui->ProgressBar1->showPosition();
        throw;
    }
    ui->ProgressBar1->showPosition();
    hide();
    Form1->Update();
    if (unrecorded)
        std::rethrow_exception(unrecorded);
    // One line for all the files that got no print, never a box for each.
    if (figures.unreadable + figures.changing > 0)
        katalox::platform::Dialogs::instance().showMessage(
            QObject::tr("%1 files could not be read and %2 changed while they were read: they "
                        "were inserted without a fingerprint.")
                .arg(figures.unreadable)
                .arg(figures.changing));
    if (figures.unreadArchives + figures.membersLeftOut > 0)
        katalox::platform::Dialogs::instance().showMessage(
            QObject::tr("%1 archives could not be read and %2 members of archives were left "
                        "out; the archives themselves were inserted.")
                .arg(figures.unreadArchives)
                .arg(figures.membersLeftOut));
}
