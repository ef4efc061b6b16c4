#include "store/catalog/DiskPlace.h"

#include "platform/Paths.h"
#include "platform/RealPath.h"
#include "platform/Utf8.h"

#include <sys/stat.h>

namespace katalox::store {

namespace {

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The folder text of `folder` below `mountPoint`, ending with the separator.
std::string folderText(const std::string& mountPoint, const std::string& folder) {
    std::string text = folder.empty() ? mountPoint : platform::joinPath(mountPoint, folder);
    if (text.empty() || text.back() != platform::kPathSeparator)
        text += platform::kPathSeparator;
    return text;
}

} // namespace

ScanPlace locateScan(const RecordedScan& scan) {
    const platform::VolumeFacts& volume = scan.volume;
    ScanPlace place;
    if (const auto mountPoint = platform::mountedNow(volume.uuid, volume.type, volume.mountPoint))
        place.folderNow = folderText(*mountPoint, volume.folder);
    else if (isFolder(scan.scannedFolder))
        place.folderNow = scan.scannedFolder; // another volume, or one without a UUID
    if (place.folderNow.empty() || !isFolder(place.folderNow)) {
        place.folderNow.clear();
        return place;
    }
    place.volumeNow = platform::volumeOf(place.folderNow);
    place.otherVolume =
        !volume.uuid.empty() && place.volumeNow && place.volumeNow->uuid != volume.uuid;
    return place;
}

std::optional<std::string> livePathOf(Database& db, const std::string& diskId,
                                      const std::string& storedPath) {
    // The scan whose folder holds the path most closely wrote it.
    const RecordedScan* writer = nullptr;
    std::string writerFolder;
    const std::vector<RecordedScan> scans = recordedScans(db, diskId);
    for (const RecordedScan& scan : scans) {
        const std::string folder = platform::upperCase(scan.scannedFolder);
        if (storedPath.compare(0, folder.size(), folder) == 0 &&
            folder.size() > writerFolder.size()) {
            writer = &scan;
            writerFolder = folder;
        }
    }
    if (writer) {
        const ScanPlace place = locateScan(*writer);
        if (!place.folderNow.empty() && !place.otherVolume)
            if (auto found = platform::realPathUnder(place.folderNow,
                                                     storedPath.substr(writerFolder.size())))
                return found;
    }
    return platform::realPathOf(storedPath);
}

} // namespace katalox::store
