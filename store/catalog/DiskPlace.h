#pragma once
// Where a recorded scan's folder is now: the volume is found by its UUID wherever it is
// mounted today, so a disk mounted at /media/ann/PHOTOS when scanned and at
// /run/media/ann/PHOTOS now is still reached; catalogue paths are mapped onto that place.
#include "platform/Volume.h"
#include "store/catalog/RecordedDisks.h"

#include <optional>
#include <string>

namespace katalox::store {

class Database;

struct ScanPlace {
    std::string folderNow; // a folder text; empty when the disk is not connected
    std::optional<platform::VolumeFacts> volumeNow;
    bool otherVolume = false; // the folder is there, but on a volume of another UUID
};

ScanPlace locateScan(const RecordedScan& scan);

// The real path of a catalogue path of `diskId` (upper-cased, as stored) on the live file
// system: through the place where the volume of the scan that wrote it is mounted now, else
// the path as stored. None when neither leads to it.
std::optional<std::string> livePathOf(Database& db, const std::string& diskId,
                                      const std::string& storedPath);

} // namespace katalox::store
