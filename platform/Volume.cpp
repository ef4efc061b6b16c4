#include "platform/Volume.h"

#include <blkid/blkid.h>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cctype>
#include <cstdlib>
#include <memory>

namespace katalox::platform {

namespace {

std::string realPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

bool isPathPrefix(const std::string& prefix, const std::string& path) {
    if (prefix == "/")
        return !path.empty() && path.front() == '/';
    return path.compare(0, prefix.size(), prefix) == 0 &&
           (path.size() == prefix.size() || path[prefix.size()] == '/');
}

// udev writes unsafe bytes of a label as "\xHH".
std::string decodedLinkName(const std::string& name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name.compare(i, 2, "\\x") == 0 && i + 3 < name.size() &&
            std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
            out += static_cast<char>(std::stoi(name.substr(i + 2, 2), nullptr, 16));
            i += 3;
            continue;
        }
        out += name[i];
    }
    return out;
}

// True when the link names the mount's device: the same block device number, or (for a fake
// or a file system without one) the same file as the mount's source.
bool linkNamesDevice(const std::string& link, const MountedFileSystem& mount) {
    struct stat target {};
    if (::stat(link.c_str(), &target) != 0)
        return false;
    if (S_ISBLK(target.st_mode) && target.st_rdev == mount.device)
        return true;
    if (mount.source.empty() || mount.source.front() != '/')
        return false; // "tmpfs", "none": no device to compare with
    const std::string source = realPath(mount.source);
    return !source.empty() && realPath(link) == source;
}

// The name of the first link in `folder` that names the mount's device; empty when none does.
std::string linkNameFor(const std::string& folder, const MountedFileSystem& mount) {
    struct CloseDir {
        void operator()(DIR* dir) const { ::closedir(dir); }
    };
    const std::unique_ptr<DIR, CloseDir> dir(::opendir(folder.c_str()));
    if (!dir)
        return {};
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && linkNamesDevice(folder + "/" + name, mount))
            return name;
    }
    return {};
}

// What the device's own superblock says, read with libblkid: for a system without udev, whose
// /dev/disk folders are empty. Empty when the device cannot be read.
struct ProbedVolume {
    std::string uuid;
    std::string label;
};

ProbedVolume probeDevice(const std::string& device) {
    ProbedVolume probed;
    if (device.compare(0, 5, "/dev/") != 0)
        return probed; // "tmpfs", "none", a fake: nothing to probe
    blkid_probe probe = blkid_new_probe_from_filename(device.c_str());
    if (!probe)
        return probed;
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_UUID | BLKID_SUBLKS_LABEL);
    if (blkid_do_safeprobe(probe) == 0) {
        const char* value = nullptr;
        if (blkid_probe_lookup_value(probe, "UUID", &value, nullptr) == 0 && value)
            probed.uuid = value;
        if (blkid_probe_lookup_value(probe, "LABEL", &value, nullptr) == 0 && value)
            probed.label = value;
    }
    blkid_free_probe(probe);
    return probed;
}

// The UUID and label of a mounted file system: from the /dev/disk links udev makes, else from
// the device itself.
ProbedVolume identityOf(const MountedFileSystem& mount) {
    const VolumeSources& sources = volumeSources();
    ProbedVolume identity{linkNameFor(sources.byUuid, mount),
                          decodedLinkName(linkNameFor(sources.byLabel, mount))};
    if (identity.uuid.empty() && identity.label.empty())
        identity = probeDevice(mount.source);
    return identity;
}

// The mount a real path lies on: among those of its device the one with the longest mount
// point above it, else (a table that does not list the device) the longest of any.
const MountedFileSystem* mountOf(const std::string& real, std::uint64_t device,
                                 const std::vector<MountedFileSystem>& mounts) {
    const MountedFileSystem* best = nullptr;
    bool bestOnDevice = false;
    for (const MountedFileSystem& mount : mounts) {
        if (!isPathPrefix(mount.mountPoint, real))
            continue;
        const bool onDevice = mount.device == device;
        if (!best || (onDevice && !bestOnDevice) ||
            (onDevice == bestOnDevice && mount.mountPoint.size() >= best->mountPoint.size())) {
            best = &mount;
            bestOnDevice = onDevice;
        }
    }
    return best;
}

std::string belowMountPoint(const std::string& real, const std::string& mountPoint) {
    std::string rest = real.substr(mountPoint == "/" ? 0 : mountPoint.size());
    while (!rest.empty() && rest.front() == '/')
        rest.erase(0, 1);
    while (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    return rest;
}

} // namespace

VolumeSources& volumeSources() {
    static VolumeSources sources;
    return sources;
}

std::optional<VolumeFacts> volumeOf(const std::string& folder) {
    const std::string real = realPath(folder);
    struct stat info {};
    struct statvfs space {};
    if (real.empty() || ::stat(real.c_str(), &info) != 0 || ::statvfs(real.c_str(), &space) != 0)
        return std::nullopt;
    const VolumeSources& sources = volumeSources();
    const std::vector<MountedFileSystem> mounts = readMountTable(sources.mountTable);
    const MountedFileSystem* mount = mountOf(real, info.st_dev, mounts);
    if (!mount)
        return std::nullopt;
    VolumeFacts facts;
    const ProbedVolume identity = identityOf(*mount);
    facts.uuid = identity.uuid;
    facts.label = identity.label;
    facts.type = mount->type;
    facts.mountPoint = mount->mountPoint;
    facts.folder = belowMountPoint(real, mount->mountPoint);
    facts.capacity = static_cast<std::uint64_t>(space.f_blocks) * space.f_frsize;
    facts.freeSpace = static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize;
    return facts;
}

std::optional<std::string> mountedNow(const std::string& uuid, const std::string& type,
                                      const std::string& mountPoint) {
    return mountedNow(uuid, type, mountPoint, readMountTable(volumeSources().mountTable));
}

std::optional<std::string> mountedNow(const std::string& uuid, const std::string& type,
                                      const std::string& mountPoint,
                                      const std::vector<MountedFileSystem>& mounts) {
    if (!uuid.empty()) {
        const std::string link = volumeSources().byUuid + "/" + uuid;
        for (const MountedFileSystem& mount : mounts)
            if (linkNamesDevice(link, mount))
                return mount.mountPoint;
        struct stat info {};
        if (::lstat(link.c_str(), &info) == 0)
            return std::nullopt; // udev names the volume, and it is not mounted
        for (const MountedFileSystem& mount : mounts)
            if (probeDevice(mount.source).uuid == uuid)
                return mount.mountPoint;
        return std::nullopt;
    }
    for (const MountedFileSystem& mount : mounts)
        if (mount.mountPoint == mountPoint && mount.type == type)
            return mount.mountPoint;
    return std::nullopt;
}

bool sameVolume(const VolumeFacts& recorded, const VolumeFacts& found) {
    if (!recorded.uuid.empty() && !found.uuid.empty())
        return recorded.uuid == found.uuid;
    return !recorded.type.empty() && recorded.label == found.label && recorded.type == found.type &&
           recorded.capacity == found.capacity;
}

} // namespace katalox::platform
