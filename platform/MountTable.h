#pragma once
// The system's table of mounted file systems (/proc/self/mountinfo).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace katalox::platform {

struct MountedFileSystem {
    std::uint64_t device = 0; // the device number its files report
    std::string mountPoint;   // where it is mounted, unescaped
    std::string type;         // "ext4", "tmpfs", "devtmpfs", ...
    std::string source;       // the device or name it was mounted from, unescaped
};

// The mounts listed in a text of the mountinfo format, in order; lines that do not read as
// one are skipped.
std::vector<MountedFileSystem> parseMountTable(std::string_view text);

// The mounts this process sees now.
std::vector<MountedFileSystem> readMountTable();
// The mounts listed in a file of the mountinfo format; none when it cannot be read.
std::vector<MountedFileSystem> readMountTable(const std::string& path);

} // namespace katalox::platform
