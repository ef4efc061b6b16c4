// The grid pop-up's ways to reach a found file: open its folder, copy its path, open it, show
// it in the disk browser. The catalogue keeps paths upper-cased: a record inserted with its
// facts reaches its file by the real path recorded, any other by looking the path up on the
// live file system.
#include "windows/TForm1.h"

#include "platform/DisplayText.h"
#include "platform/Error.h"
#include "platform/RealPath.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ShellOpen.h"
#include "scanner/DirLister.h"
#include "store/archives/ArchiveMembers.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/CatalogFile.h"
#include "store/catalog/DiskPlace.h"
#include "store/dataset/DataSet.h"
#include "store/dataset/DataSource.h"
#include "store/dataset/Query.h"
#include "store/dataset/Table.h"
#include "store/postgres/PgArchiveMembers.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgFacts.h"
#include "store/postgres/PgText.h"
#include "store/postgres/ServerCatalogue.h"
#include "store/settings/ScanSettings.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"
#include "widgets/DBGrid.h"
#include "windows/ArchiveMemberOpener.h"
#include "windows/CatalogueCopies.h"
#include "windows/CopiesWindow.h"
#include "windows/DiskBrowserWindow.h"
#include "windows/OtherCopiesWindow.h"
#include "windows/ScanSettingsWindow.h"

#include <QClipboard>
#include <QGuiApplication>

#include <algorithm>
#include <optional>

namespace {

using katalox::platform::displayText;

// The path and Disk ID of the record under the grid's cursor.
struct CatalogueFile {
    std::string storedPath;
    std::string diskId;
    std::optional<std::int64_t> record; // its row id, when the listing shows it
};

std::optional<CatalogueFile> fileUnderCursor(const katalox::store::DataSource& link,
                                             const katalox::widgets::DBGrid& grid) {
    const katalox::store::DataSet* shown = link.dataSet();
    const int row = grid.currentRecord();
    if (!shown || !shown->active() || row < 0)
        return std::nullopt;
    const int path = katalox::store::fieldIndexOf(shown->fields(), "File Path");
    const int diskId = katalox::store::fieldIndexOf(shown->fields(), "Disk ID");
    if (path < 0 || diskId < 0) // the Disk ID list shown after a tree rebuild
        return std::nullopt;
    CatalogueFile file{shown->valueAt(row, path).asString(), shown->valueAt(row, diskId).asString(),
                       std::nullopt};
    if (const int id = katalox::store::fieldIndexOf(shown->fields(), "Id"); id >= 0)
        if (const katalox::store::Value value = shown->valueAt(row, id); value.isInteger())
            file.record = value.asInteger();
    return file;
}

void say(const QString& text) {
    katalox::platform::Dialogs::instance().showMessage(text);
}

// Names the disk's volume when a scan of it is recorded, else the folder looked for.
void sayNotConnected(const TForm1& form, const CatalogueFile& file, const std::string& folder) {
    try {
        for (const katalox::store::DiskPresence& disk : form.disks()) {
            if (disk.diskId == file.diskId && !disk.scans.empty()) {
                say(QStringLiteral("The disk \"%1\" is not connected (%2). Connect it and try "
                                   "again.")
                        .arg(displayText(file.diskId), displayText(katalox::store::describeVolume(
                                                           disk.scans.back().volume, true))));
                return;
            }
        }
    } catch (const katalox::Error&) {
        // The recorded scans cannot be read: the folder is named instead.
    }
    say(QStringLiteral("The disk \"%1\" is not connected: the folder %2 was not found.")
            .arg(displayText(file.diskId), displayText(folder)));
}

// Runs `reach` on the record under the cursor, or says that there is none.
template <typename Reach> void withFileUnderCursor(const TForm1& form, Reach&& reach) {
    if (const std::optional<CatalogueFile> file = fileUnderCursor(*form.DataSource1, *form.DBGrid1))
        reach(*file);
    else
        say(QStringLiteral("Select a file in the list first."));
}

// The facts of a record of the catalogue on a server.
std::optional<katalox::store::RecordedPath> serverRecordedPath(const TForm1& form,
                                                               std::int64_t record) {
    return katalox::store::serverRecordedPath(
        *katalox::store::serverConnection(form.Query1->filePath()),
        katalox::store::tableNameOf(form.Table1->tableName()), record);
}

// Where a path of the file's disk is now: through the mount point its volume has today when
// the scan that wrote it is recorded, else as stored.
std::optional<std::string> livePath(const TForm1& form, const CatalogueFile& file,
                                    const std::string& storedPath) {
    try {
        // On a server the file is found through the place of the scan that wrote it, by its
        // real path when its facts are kept.
        if (katalox::store::isServerUri(form.Query1->filePath())) {
            const auto recorded = file.record && storedPath == file.storedPath
                                      ? serverRecordedPath(form, *file.record)
                                      : std::nullopt;
            for (const katalox::store::DiskPresence& disk : form.disks())
                if (disk.diskId == file.diskId)
                    return recorded ? katalox::store::livePathOfScanned(
                                          disk.scans, recorded->scanId, recorded->path, storedPath)
                                    : katalox::store::livePathOf(disk.scans, storedPath);
            return katalox::platform::realPathOf(storedPath);
        }
        if (file.record && storedPath == file.storedPath)
            return form.catalog().livePathOfRecord(*file.record, file.diskId, storedPath);
        return form.catalog().livePath(file.diskId, storedPath);
    } catch (const katalox::Error&) {
        return katalox::platform::realPathOf(storedPath); // the recorded scans cannot be read
    }
}

// The record's real path as scanned, when its facts are known.
std::optional<std::string> recordedPath(const TForm1& form, const CatalogueFile& file) {
    try {
        if (file.record && katalox::store::isServerUri(form.Query1->filePath())) {
            if (const auto recorded = serverRecordedPath(form, *file.record))
                return recorded->path;
        } else if (file.record) {
            return form.catalog().recordedRealPath(*file.record);
        }
    } catch (const katalox::Error&) {
        // The facts cannot be read: the stored path is used.
    }
    return std::nullopt;
}

// The record of a file under the grid's cursor; a listing without the Id column finds it by
// its Disk ID and path.
std::optional<std::int64_t> recordOf(const katalox::store::Catalog& shown,
                                     const CatalogueFile& file) {
    if (file.record)
        return file.record;
    if (const std::int64_t id = shown.database().integerOf(
            "SELECT rowid FROM " + katalox::store::quoteIdentifier(shown.table()) +
                " WHERE \"Disk ID\" = ?1 AND \"File Path\" = ?2 LIMIT 1",
            {katalox::store::Value(file.diskId), katalox::store::Value(file.storedPath)}))
        return id;
    return std::nullopt;
}

bool isMember(const CatalogueFile& file) {
    return file.storedPath.find(katalox::store::kMemberSeparator) != std::string::npos;
}

// The same on a server, where the record is found by its Disk ID and path when the listing
// does not show its Id.
std::optional<katalox::store::ArchivedRecord> serverMemberOf(const TForm1& form,
                                                             const CatalogueFile& file) {
    const std::shared_ptr<katalox::store::PgConnection> db =
        katalox::store::serverConnection(form.Query1->filePath());
    const std::string table = katalox::store::tableNameOf(form.Table1->tableName());
    std::optional<std::int64_t> record = file.record;
    if (!record) {
        const katalox::store::PgResult found =
            db->execute("SELECT \"Id\" FROM " + katalox::store::quoteIdentifier(table) +
                            " WHERE \"Disk ID\" = $1 AND \"File Path\" = $2 LIMIT 1",
                        {katalox::store::toServerText(file.diskId),
                         katalox::store::toServerText(file.storedPath)});
        if (found.rows() == 0)
            return std::nullopt;
        record = found.integer(0, 0);
    }
    return katalox::store::archivedServerRecord(*db, table, *record);
}

// The member of an archive under the cursor, as its row of ours tells it.
std::optional<katalox::store::ArchivedRecord> memberOf(const TForm1& form,
                                                       const CatalogueFile& file) {
    try {
        if (katalox::store::isServerUri(form.Query1->filePath()))
            return serverMemberOf(form, file);
        const katalox::store::Catalog shown = form.catalog();
        if (const auto record = recordOf(shown, file))
            return katalox::store::archivedRecord(shown.database(), shown.table(), *record);
    } catch (const katalox::Error&) {
        // Not readable: the member is placed by its stored path alone.
    }
    return std::nullopt;
}

// The archive on the disk that holds a member (the outermost for a member of an archive
// inside one); any other file is itself.
CatalogueFile onTheDisk(const TForm1& form, const CatalogueFile& file) {
    if (!isMember(file))
        return file;
    if (const auto member = memberOf(form, file))
        return {member->archiveStoredPath, file.diskId, member->archive};
    return {file.storedPath.substr(0, file.storedPath.find(katalox::store::kMemberSeparator)),
            file.diskId, std::nullopt};
}

// A member's real path: its archive's real path, the separator and its own.
std::optional<std::string> recordedMemberPath(const TForm1& form, const CatalogueFile& file) {
    try {
        if (katalox::store::isServerUri(form.Query1->filePath())) {
            const auto member = serverMemberOf(form, file);
            const auto archive = member ? serverRecordedPath(form, member->archive) : std::nullopt;
            return archive ? std::optional(katalox::store::memberFactsOf(*archive, *member).path)
                           : std::nullopt;
        }
        const katalox::store::Catalog shown = form.catalog();
        if (const auto record = recordOf(shown, file)) {
            katalox::store::RecordedFactsReader facts(shown.database());
            if (const auto recorded =
                    katalox::store::MemberFactsReader(shown.database(), shown.table())
                        .factsOf(*record, facts))
                return recorded->path;
        }
    } catch (const katalox::Error&) {
        // The facts cannot be read: the stored path is used.
    }
    return std::nullopt;
}

// Says that a file (or archive) is not where it was scanned, or that its disk is away.
void sayNotThere(const TForm1& form, const CatalogueFile& file) {
    const std::string folder = katalox::scanner::ExtractDirPart(file.storedPath);
    if (const std::optional<std::string> realFolder = livePath(form, file, folder))
        say(QStringLiteral("%1 is no longer in the folder %2.")
                .arg(displayText(file.storedPath.substr(folder.size())), displayText(*realFolder)));
    else
        sayNotConnected(form, file, folder);
}

// Takes the member out of its archive and opens it, when the archive's disk is connected.
void openMember(const TForm1& form, const CatalogueFile& file) {
    const std::optional<katalox::store::ArchivedRecord> member = memberOf(form, file);
    if (!member) {
        ArchiveMemberOpener::sayNotRecorded(file.storedPath);
        return;
    }
    const CatalogueFile archive{member->archiveStoredPath, file.diskId, member->archive};
    if (const std::optional<std::string> real = livePath(form, archive, archive.storedPath))
        ArchiveMemberOpener::open(
            *real, *member,
            katalox::store::ScanSettings::readFrom(form.AppDir).decompressLimitMiB << 20);
    else
        sayNotThere(form, archive);
}

} // namespace

void TForm1::openContainingFolder() {
    withFileUnderCursor(*this, [this](const CatalogueFile& found) {
        // A member of an archive lies in the archive's folder.
        const CatalogueFile file = onTheDisk(*this, found);
        const std::string folder = katalox::scanner::ExtractDirPart(file.storedPath);
        std::optional<std::string> real;
        if (const auto liveFile = livePath(*this, file, file.storedPath))
            real = liveFile->substr(0, std::max<std::size_t>(liveFile->rfind('/'), 1));
        else
            real = livePath(*this, file, folder);
        if (real)
            katalox::platform::shellOpen(katalox::platform::localFileAddress(*real));
        else
            sayNotConnected(*this, file, folder);
    });
}

void TForm1::copyPath() {
    withFileUnderCursor(*this, [this](const CatalogueFile& file) {
        // Where it is now when its disk is connected, else where it was scanned; a member of an
        // archive is no file of the disk: its real path within its archive's.
        const std::string path = (isMember(file) ? recordedMemberPath(*this, file)
                                                 : livePath(*this, file, file.storedPath))
                                     .value_or(recordedPath(*this, file).value_or(file.storedPath));
        QGuiApplication::clipboard()->setText(displayText(path));
    });
}

void TForm1::openFile() {
    withFileUnderCursor(*this, [this](const CatalogueFile& file) {
        if (isMember(file)) {
            openMember(*this, file);
            return;
        }
        if (const std::optional<std::string> real = livePath(*this, file, file.storedPath))
            katalox::platform::shellOpen(katalox::platform::localFileAddress(*real));
        else
            sayNotThere(*this, file);
    });
}

void TForm1::showInDiskBrowser() {
    withFileUnderCursor(*this, [this](const CatalogueFile& file) {
        if (katalox::store::isServerUri(Query1->filePath()))
            diskBrowserWindow->browseServer(Query1->filePath(),
                                            katalox::store::tableNameOf(Table1->tableName()),
                                            file.diskId, file.record);
        else
            diskBrowserWindow->browse(catalog(), file.diskId, recordOf(catalog(), file));
    });
}

void TForm1::showOtherCopies() {
    withFileUnderCursor(*this, [this](const CatalogueFile& file) {
        const CatalogueCopies shown(Query1->filePath(),
                                    katalox::store::tableNameOf(Table1->tableName()));
        if (const auto record =
                file.record ? file.record : shown.recordOf(file.diskId, file.storedPath))
            otherCopiesWindow->showCopiesOf(shown, *record,
                                            katalox::platform::displayText(file.storedPath.substr(
                                                file.storedPath.rfind('/') + 1)));
    });
}

void TForm1::showCopies() {
    copiesWindow->showCatalogue(Query1->filePath(),
                                katalox::store::tableNameOf(Table1->tableName()));
}

void TForm1::showScanSettings() {
    scanSettingsWindow->showSettings(AppDir);
}
