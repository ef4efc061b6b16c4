#include "windows/WebAddresses.h"

#include "platform/Error.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>
#include <mutex>

// Outside any namespace: Q_INIT_RESOURCE declares the resource's registration function.
static void registerAboutResources() {
    Q_INIT_RESOURCE(katalox);
}

namespace katalox {
namespace {

const char* const kHelpResource = ":/about/help.html";
const char* const kHelpFileName = "katalox-help.html";

// Writes the page as a whole: a reader never sees half a page, and a failed write keeps the
// previous copy. Returns false when the folder cannot take it.
bool writePage(const QString& folder, const QByteArray& page, QString& written, QString& reason) {
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return false;
    QSaveFile file(QDir(folder).filePath(kHelpFileName));
    if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size() || !file.commit()) {
        reason = file.errorString();
        written = file.fileName();
        return false;
    }
    written = file.fileName();
    return true;
}

// A folder of our own for the rest of the run, for when the cache folder cannot be written.
QString privateTemporaryFolder() {
    static std::unique_ptr<QTemporaryDir> folder;
    if (!folder)
        folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/katalox-help-XXXXXX");
    return folder->isValid() ? folder->path() : QString();
}

} // namespace

QString makerName() {
    return QStringLiteral("Katalox Team");
}
QString makerWebAddress() {
    // Short enough to be shown whole, scheme included, in the developer-information window.
    return QStringLiteral("https://katalox.example");
}

void initAboutResources() {
    static std::once_flag once;
    std::call_once(once, registerAboutResources);
}

QString webHelpAddress() {
    initAboutResources();
    QFile resource(kHelpResource);
    if (!resource.open(QIODevice::ReadOnly))
        throw Error("The help page is missing from the program");
    const QByteArray page = resource.readAll();

    QString written;
    QString reason;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (writePage(cache, page, written, reason) ||
        writePage(privateTemporaryFolder(), page, written, reason))
        return QUrl::fromLocalFile(written).toString();
    throw FileError(QStringLiteral("Cannot create file \"%1\". %2")
                        .arg(written.isEmpty() ? QString(kHelpFileName) : written, reason)
                        .toStdString());
}

} // namespace katalox
