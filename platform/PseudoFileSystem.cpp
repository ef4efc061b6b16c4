#include "platform/PseudoFileSystem.h"

#include "platform/MountTable.h"

#include <linux/magic.h>
#include <mutex>
#include <sys/statfs.h>
#include <unordered_map>

namespace katalox::platform {

namespace {

bool isPseudoFileSystemType(unsigned long magic) {
    switch (magic) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case SECURITYFS_MAGIC:
    case SELINUX_MAGIC:
    case TRACEFS_MAGIC:
    case PSTOREFS_MAGIC:
    case BPF_FS_MAGIC:
    case 0x62656570: // configfs
    case 0x65735543: // fusectl
    case 0x19800202: // mqueue
    case HUGETLBFS_MAGIC:
    case EFIVARFS_MAGIC:
    case BINFMTFS_MAGIC:
    case AUTOFS_SUPER_MAGIC:
    case NSFS_MAGIC:
    case 0x67596969: // rpc_pipefs
        return true;
    default:
        return false;
    }
}

// devtmpfs reports tmpfs's magic number; only the mount table tells the two apart. The table is
// read again whenever a device it did not know turns up, so new mounts are seen.
bool isDevtmpfs(std::uint64_t device) {
    static std::mutex mutex;
    static std::unordered_map<std::uint64_t, bool> known;
    std::lock_guard lock(mutex);
    if (auto it = known.find(device); it != known.end())
        return it->second;
    known.clear();
    for (const MountedFileSystem& mount : readMountTable())
        known[mount.device] = mount.type == "devtmpfs";
    auto [it, inserted] = known.try_emplace(device, false);
    return it->second;
}

} // namespace

bool isOnPseudoFileSystem(int fd, std::uint64_t device) {
    struct statfs info {};
    if (::fstatfs(fd, &info) != 0)
        return false;
    const auto magic = static_cast<unsigned long>(info.f_type);
    if (magic == TMPFS_MAGIC)
        return isDevtmpfs(device);
    return isPseudoFileSystemType(magic);
}

} // namespace katalox::platform
