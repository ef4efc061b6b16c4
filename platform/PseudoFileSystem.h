#pragma once
// Kernel pseudo file systems (proc, sysfs, devtmpfs, ...): they hold no user files, so a folder
// on one of them counts as a system folder. tmpfs is not one: it holds ordinary files.
#include <cstdint>

namespace katalox::platform {

// Whether the open file or folder `fd`, whose files report the device `device`, lies on a
// kernel pseudo file system.
bool isOnPseudoFileSystem(int fd, std::uint64_t device);

} // namespace katalox::platform
