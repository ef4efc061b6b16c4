#include "store/catalog/DiskPlace.h"

#include "platform/Find.h"
#include "platform/Paths.h"
#include "platform/RealPath.h"
#include "platform/Utf8.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

namespace katalox::store {

namespace {

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isEmptyFolder(const std::string& path) {
    struct CloseDir {
        void operator()(DIR* dir) const { ::closedir(dir); }
    };
    const std::unique_ptr<DIR, CloseDir> dir(::opendir(path.c_str()));
    if (!dir)
        return true;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            return false;
    }
    return true;
}

// The folder text of `folder` below `mountPoint`, ending with the separator.
std::string folderText(const std::string& mountPoint, const std::string& folder) {
    std::string text = folder.empty() ? mountPoint : platform::joinPath(mountPoint, folder);
    if (text.empty() || text.back() != platform::kPathSeparator)
        text += platform::kPathSeparator;
    return text;
}

bool isSystemVolume(const platform::VolumeFacts& volume) {
    return volume.mountPoint == "/";
}

} // namespace

ScanPlace locateScan(const RecordedScan& scan) {
    const platform::VolumeFacts& recorded = scan.volume;
    ScanPlace place;
    // A scan whose volume could not be read when it was made can only be found where it was.
    if (recorded.type.empty()) {
        if (isFolder(scan.scannedFolder) && !isEmptyFolder(scan.scannedFolder)) {
            place.state = ScanPlace::State::Connected;
            place.folderNow = scan.scannedFolder;
            place.volumeNow = platform::volumeOf(scan.scannedFolder);
        }
        return place;
    }
    if (const auto mountPoint =
            platform::mountedNow(recorded.uuid, recorded.type, recorded.mountPoint)) {
        const std::string folder = folderText(*mountPoint, recorded.folder);
        const auto volume = isFolder(folder) ? platform::volumeOf(folder) : std::nullopt;
        if (volume && platform::sameVolume(recorded, *volume)) {
            place.state = ScanPlace::State::Connected;
            place.folderNow = folder;
            place.volumeNow = volume;
            return place;
        }
    }
    // Not connected. An empty folder (a mount point left behind) or one on the system volume
    // is never taken for the disk; files of another volume there are offered, with a question.
    if (isFolder(scan.scannedFolder) && !isEmptyFolder(scan.scannedFolder)) {
        const auto volume = platform::volumeOf(scan.scannedFolder);
        if (volume && !isSystemVolume(*volume) && !platform::sameVolume(recorded, *volume)) {
            place.state = ScanPlace::State::OtherVolume;
            place.folderNow = scan.scannedFolder;
            place.volumeNow = volume;
        }
    }
    return place;
}

std::string describeVolume(const platform::VolumeFacts& volume, bool lastMounted) {
    std::string text;
    const auto add = [&text](const std::string& part) {
        text += (text.empty() ? "" : ", ") + part;
    };
    if (!volume.label.empty())
        add("label " + volume.label);
    if (!volume.uuid.empty())
        add("UUID " + volume.uuid);
    if (!volume.mountPoint.empty())
        add((lastMounted ? "last mounted at " : "mounted at ") + volume.mountPoint);
    return text.empty() ? "a volume that could not be read" : text;
}

std::optional<std::string> livePathOf(Database& db, const std::string& diskId,
                                      const std::string& storedPath) {
    return livePathOf(recordedScans(db, diskId), storedPath);
}

std::optional<std::string> livePathOfScanned(const std::vector<RecordedScan>& scans,
                                             std::int64_t scanId, const std::string& realPath,
                                             const std::string& storedPath) {
    for (const RecordedScan& scan : scans) {
        if (scan.id != scanId)
            continue;
        const ScanPlace place = locateScan(scan);
        if (place.state != ScanPlace::State::Connected)
            return std::nullopt;
        std::string live = place.folderNow + realPath.substr(scan.scannedFolder.size());
        if (platform::FindOperation::lookUp(live))
            return live;
        return std::nullopt;
    }
    return livePathOf(scans, storedPath);
}

std::optional<std::string> livePathOf(const std::vector<RecordedScan>& scans,
                                      const std::string& storedPath) {
    // The scan whose folder holds the path most closely wrote it.
    const RecordedScan* writer = nullptr;
    std::string writerFolder;
    for (const RecordedScan& scan : scans) {
        const std::string folder = platform::upperCase(scan.scannedFolder);
        if (storedPath.compare(0, folder.size(), folder) == 0 &&
            folder.size() > writerFolder.size()) {
            writer = &scan;
            writerFolder = folder;
        }
    }
    if (!writer)
        return platform::realPathOf(storedPath);
    const ScanPlace place = locateScan(*writer);
    if (place.state != ScanPlace::State::Connected)
        return std::nullopt; // whatever lies at the old place belongs to another volume
    return platform::realPathUnder(place.folderNow, storedPath.substr(writerFolder.size()));
}

} // namespace katalox::store
