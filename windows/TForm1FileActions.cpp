// The grid pop-up's ways to reach a found file: open its folder, copy its path, open it. The
// catalogue keeps paths upper-cased, so the real path is looked up on the live file system.
#include "windows/TForm1.h"

#include "platform/DisplayText.h"
#include "platform/Error.h"
#include "platform/RealPath.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ShellOpen.h"
#include "scanner/DirLister.h"
#include "store/catalog/Catalog.h"
#include "store/dataset/DataSet.h"
#include "store/dataset/DataSource.h"
#include "widgets/DBGrid.h"

#include <QClipboard>
#include <QGuiApplication>

#include <optional>

namespace {

using katalox::platform::displayText;

// The path and Disk ID of the record under the grid's cursor.
struct CatalogueFile {
    std::string storedPath;
    std::string diskId;
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
    return CatalogueFile{shown->valueAt(row, path).asString(),
                         shown->valueAt(row, diskId).asString()};
}

void say(const QString& text) {
    katalox::platform::Dialogs::instance().showMessage(text);
}

// Names the disk's volume when a scan of it is recorded, else the folder looked for.
void sayNotConnected(const TForm1& form, const CatalogueFile& file, const std::string& folder) {
    try {
        for (const katalox::store::DiskPresence& disk : form.catalog().disks()) {
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

// Where a path of the file's disk is now: through the mount point its volume has today when
// the scan that wrote it is recorded, else as stored.
std::optional<std::string> livePath(const TForm1& form, const CatalogueFile& file,
                                    const std::string& storedPath) {
    try {
        return form.catalog().livePath(file.diskId, storedPath);
    } catch (const katalox::Error&) {
        return katalox::platform::realPathOf(storedPath); // the recorded scans cannot be read
    }
}

} // namespace

void TForm1::openContainingFolder() {
    withFileUnderCursor(*this, [this](const CatalogueFile& file) {
        const std::string folder = katalox::scanner::ExtractDirPart(file.storedPath);
        if (const std::optional<std::string> real = livePath(*this, file, folder))
            katalox::platform::shellOpen(katalox::platform::localFileAddress(*real));
        else
            sayNotConnected(*this, file, folder);
    });
}

void TForm1::copyPath() {
    withFileUnderCursor(*this, [this](const CatalogueFile& file) {
        const std::string path = livePath(*this, file, file.storedPath).value_or(file.storedPath);
        QGuiApplication::clipboard()->setText(displayText(path));
    });
}

void TForm1::openFile() {
    withFileUnderCursor(*this, [this](const CatalogueFile& file) {
        if (const std::optional<std::string> real = livePath(*this, file, file.storedPath)) {
            katalox::platform::shellOpen(katalox::platform::localFileAddress(*real));
            return;
        }
        const std::string folder = katalox::scanner::ExtractDirPart(file.storedPath);
        if (const std::optional<std::string> realFolder = livePath(*this, file, folder))
            say(QStringLiteral("%1 is no longer in the folder %2.")
                    .arg(displayText(file.storedPath.substr(folder.size())),
                         displayText(*realFolder)));
        else
            sayNotConnected(*this, file, folder);
    });
}
