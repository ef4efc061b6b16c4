// "Insert To DataBase": writes the scan window's list into the catalogue through the main
// window's table cursor.
#include "windows/TForm2.h"

#include "ui_TForm2.h"

#include "platform/DisplayText.h"
#include "platform/Error.h"
#include "platform/Find.h"
#include "platform/Utf8.h"
#include "platform/Volume.h"
#include "platform/gui/Dialogs.h"
#include "store/catalog/CatalogFile.h"
#include "store/catalog/RecordedDisks.h"
#include "store/dataset/Table.h"
#include "store/sqlite/Database.h"
#include "widgets/ScanListModel.h"
#include "windows/Forms.h"
#include "windows/TForm1.h"
#include "windows/UnwrittenRecords.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <limits>

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
    const std::string diskId = katalox::platform::bytesOf(ui->Edit3->text());
    const Inserted inserted = insertListedFiles(table, diskId);
    std::string unrecorded;
    try {
        recordScan(table, diskId, inserted);
    } catch (const std::exception& error) {
        unrecorded = error.what();
    }
    hide();
    Form1->Update();
    if (!unrecorded.empty())
        throw katalox::Error("The files were inserted, but the disk they came from could not be "
                             "recorded: " +
                             unrecorded);
}

void TForm2::recordScan(katalox::store::Table& table, const std::string& diskId,
                        const Inserted& inserted) {
    if (!katalox::store::keepsRecordedScans(katalox::store::tableNameOf(table.tableName())))
        return;
    katalox::store::RecordedScan scan;
    scan.diskId = diskId;
    // A medium taken out since the scan leaves the volume's facts empty.
    if (const auto volume = katalox::platform::volumeOf(scanRules_.startFolder))
        scan.volume = *volume;
    scan.scannedFolder = scanRules_.startFolder;
    scan.namePattern = scanRules_.namePattern;
    scan.extensionPattern = scanRules_.extensionPattern;
    scan.scannedAt = katalox::store::scanTimeNow();
    scan.recordCount = inserted.records;
    scan.totalSize = inserted.totalSize;
    katalox::store::recordScan(*katalox::store::Database::open(table.filePath()), scan);
}

TForm2::Inserted TForm2::insertListedFiles(katalox::store::Table& table,
                                           const std::string& diskId) {
    Inserted inserted;
    std::exception_ptr failure;
    try {
        const std::size_t count = lines_->lineCount();
        std::string path;
        for (std::size_t i = 0; i < count; ++i) {
            path.assign(lines_->line(i));
            // A file deleted or moved since the scan, or on a medium taken out, is skipped.
            const auto found = katalox::platform::FindOperation::lookUp(path);
            if (!found)
                continue;
            table.insert();
            table.setFieldText("File Name", katalox::platform::upperCase(found->name));
            table.setFieldText("File Path", katalox::platform::upperCase(path));
            table.setFieldText("Disk ID", diskId);
            // The whole 64-bit size, so files of 2 GiB and more keep their true size.
            const auto size = static_cast<std::int64_t>(
                std::min<std::uint64_t>(found->size, std::numeric_limits<std::int64_t>::max()));
            table.setFieldInteger("File Size", size);
            table.post();
            ++inserted.records;
            inserted.totalSize += size;
            ui->ProgressBar1->setPosition(static_cast<int>(i), CheckedProgressBar::Redraw::Now);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    // Whatever stopped the loop, the records posted before it stay in the catalogue.
    ui->ProgressBar1->showPosition();
    try {
        table.flushPosted();
    } catch (const katalox::EngineBusyError& busy) {
        // Another program reads the catalogue: the records wait and are written as soon as it
        // lets go; the user learns how many are waiting.
        if (!failure)
            failure = std::make_exception_ptr(katalox::EngineError(
                std::string(busy.what()) + ". " + katalox::recordCountText(table.unwrittenCount()) +
                " not written yet; they will be written as soon as the other program lets go "
                "of the catalogue"));
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    Form1->catalogueChanged();
    if (failure)
        std::rethrow_exception(failure);
    return inserted;
}
