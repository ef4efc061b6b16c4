#pragma once
// Where a recorded scan's folder is now: the volume is found by its UUID wherever it is
// mounted today, so a disk mounted at /media/ann/PHOTOS when scanned and at
// /run/media/ann/PHOTOS now is still reached; catalogue paths are mapped onto that place. A
// folder is only taken for the disk when the volume it lies on is the recorded one.
#include "platform/Volume.h"
#include "store/catalog/RecordedDisks.h"

#include <optional>
#include <string>

namespace katalox::store {

class Database;

struct ScanPlace {
    enum class State {
        Connected,    // the recorded volume is mounted, with the scanned folder on it
        NotConnected, // the recorded volume is not mounted
        OtherVolume,  // not mounted, but another volume holds files at the recorded place
    };
    State state = State::NotConnected;
    std::string folderNow; // a folder text: where the scan's folder is, or the other volume's
    std::optional<platform::VolumeFacts> volumeNow; // the volume at folderNow
};

ScanPlace locateScan(const RecordedScan& scan);

// "label PHOTOS, UUID 1234-ABCD, last mounted at /media/ann/PHOTOS": what tells the user
// which disk a scan was made on.
std::string describeVolume(const platform::VolumeFacts& volume, bool lastMounted);

// The real path of a catalogue path of `diskId` (upper-cased, as stored) on the live file
// system: through the place where the volume of the scan that wrote it is mounted now. None
// when that volume is not connected or the file is not there; a path of a Disk ID without a
// recorded scan is looked for where it was stored.
std::optional<std::string> livePathOf(Database& db, const std::string& diskId,
                                      const std::string& storedPath);
// The same among `scans`, the recorded scans of the path's Disk ID.
std::optional<std::string> livePathOf(const std::vector<RecordedScan>& scans,
                                      const std::string& storedPath);
// Where a file found by the scan `scanId` at `realPath` (as scanned) is now, among `scans`:
// none when its volume is not connected or the file is gone. Facts of a scan that is not
// among them are not trusted: the file is looked for by `storedPath`.
std::optional<std::string> livePathOfScanned(const std::vector<RecordedScan>& scans,
                                             std::int64_t scanId, const std::string& realPath,
                                             const std::string& storedPath);

} // namespace katalox::store
