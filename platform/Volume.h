#pragma once
// Volumes: which file system a folder lies on (its UUID, label, type, mount point, size and
// free space), and where a volume known by those facts is mounted now.
#include "platform/MountTable.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace katalox::platform {

// Where the facts come from. Tests point them at fakes of their own.
struct VolumeSources {
    std::string mountTable = "/proc/self/mountinfo";
    std::string byUuid = "/dev/disk/by-uuid";   // links named by UUID to the block devices
    std::string byLabel = "/dev/disk/by-label"; // links named by label, "\x20" for a space
};

// The sources in use: the system's unless a test changed them.
VolumeSources& volumeSources();

struct VolumeFacts {
    std::string uuid;  // empty when the file system has none (tmpfs) or it cannot be found
    std::string label; // empty without one
    std::string type;  // "ext4", "vfat", "tmpfs", ...
    std::string mountPoint;
    std::string folder; // the folder below the mount point, without separators at its ends
    std::uint64_t capacity = 0;
    std::uint64_t freeSpace = 0; // what an ordinary user may still write
};

// The volume an existing folder lies on; none when the folder cannot be read or lies on no
// mount of the table.
std::optional<VolumeFacts> volumeOf(const std::string& folder);

// True when a volume found now is the one recorded: the same UUID when both have one, else the
// same label, file-system type and capacity.
bool sameVolume(const VolumeFacts& recorded, const VolumeFacts& found);

// Where the volume is mounted now: by its UUID when it has one (through udev's links, else by
// reading each mounted device), else its recorded mount point when a file system of the same
// type is mounted there. None when it is not connected.
std::optional<std::string> mountedNow(const std::string& uuid, const std::string& type,
                                      const std::string& mountPoint);
std::optional<std::string> mountedNow(const std::string& uuid, const std::string& type,
                                      const std::string& mountPoint,
                                      const std::vector<MountedFileSystem>& mounts);

} // namespace katalox::platform
