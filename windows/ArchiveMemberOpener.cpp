#include "windows/ArchiveMemberOpener.h"

#include "platform/DisplayText.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ShellOpen.h"
#include "store/archives/ArchiveMembers.h"
#include "store/archives/MemberExtraction.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>

#include <memory>

using katalox::platform::displayText;

namespace {

// The folder of this run's copies, with a fresh folder inside for each copy (so that two
// members of one name never meet), all mode 0700. The opened program reads its copy after
// shellOpen() returns, so copies stay until the program ends: the folder goes with the
// application object. A run that crashes leaves it in the temporary folder, for the system's
// own cleaning of it.
class CopiesFolder : public QObject {
public:
    explicit CopiesFolder(QObject* parent)
        : QObject(parent), folder(QDir::tempPath() + QStringLiteral("/katalox-opened-XXXXXX")) {}
    QTemporaryDir folder;
};

QPointer<CopiesFolder> copies;

// A new empty folder for one copy; empty when none could be made.
QString freshFolder() {
    if (!copies) {
        if (!QCoreApplication::instance())
            return {};
        copies = new CopiesFolder(QCoreApplication::instance());
    }
    if (!copies->folder.isValid())
        return {};
    QTemporaryDir one(copies->folder.path() + QStringLiteral("/XXXXXX"));
    one.setAutoRemove(false);
    return one.isValid() ? one.path() : QString();
}

void say(const QString& text) {
    katalox::platform::Dialogs::instance().showMessage(text);
}

} // namespace

QString ArchiveMemberOpener::copiesFolder() {
    return copies && copies->folder.isValid() ? copies->folder.path() : QString();
}

void ArchiveMemberOpener::sayNotRecorded(const std::string& storedPath) {
    say(tr("%1 lies inside an archive, but which archive holds it is not recorded, so it cannot "
           "be opened. Update the disk to list the archive again.")
            .arg(displayText(storedPath)));
}

void ArchiveMemberOpener::open(const std::string& archiveLivePath,
                               const katalox::store::ArchivedRecord& member, std::uint64_t limit) {
    using katalox::store::Extracted;
    const QString name = displayText(member.realPath);
    const QString archive = displayText(archiveLivePath);
    const QString tooLarge =
        tr("%1 is too large to be taken out of the archive %2 and opened: the most is the "
           "decompression limit of the Scan Settings.")
            .arg(name, archive);
    if (member.size > limit) {
        say(tooLarge);
        return;
    }
    const QString folder = freshFolder();
    if (folder.isEmpty()) {
        say(tr("No temporary folder could be made to take %1 out of the archive %2.")
                .arg(name, archive));
        return;
    }
    const katalox::store::Extraction copy =
        katalox::store::extractMember(archiveLivePath, {member.realPath, member.size}, limit,
                                      QFile::encodeName(folder).toStdString());
    switch (copy.outcome) {
    case Extracted::Written:
        katalox::platform::shellOpen(katalox::platform::localFileAddress(copy.file));
        return;
    case Extracted::ArchiveUnreadable:
    case Extracted::Missing:
    case Extracted::Changed:
        say(tr("The archive %1 has changed since it was scanned: %2 is no longer in it as it was "
               "listed. Update the disk to list the archive again.")
                .arg(archive, name));
        break;
    case Extracted::TooLarge:
        say(tooLarge);
        break;
    case Extracted::Damaged:
        say(tr("%1 cannot be read from the archive %2: the archive is damaged, or the member is "
               "encrypted.")
                .arg(name, archive));
        break;
    case Extracted::CannotWrite:
        say(tr("%1 could not be written into the temporary folder %2.").arg(name, folder));
        break;
    }
    QDir(folder).removeRecursively(); // nothing was written in it
}
