#include "platform/Find.h"

#include "platform/Text.h"
#include "platform/UniqueFd.h"

#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <linux/magic.h>
#include <mutex>
#include <sstream>
#include <string_view>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unordered_map>

namespace katalox::platform {

namespace {

// Kernel file systems that hold no user files; a folder on one of them is a system folder.
bool isPseudoFileSystem(unsigned long magic) {
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
bool isDevtmpfs(dev_t device) {
    static std::mutex mutex;
    static std::unordered_map<dev_t, bool> known;
    std::lock_guard lock(mutex);
    if (auto it = known.find(device); it != known.end())
        return it->second;
    known.clear();
    std::ifstream table("/proc/self/mountinfo");
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string id, parent, numbers;
        fields >> id >> parent >> numbers;
        const auto colon = numbers.find(':');
        const auto separator = line.find(" - ");
        if (colon == std::string::npos || separator == std::string::npos)
            continue;
        const dev_t mounted =
            ::makedev(std::stoul(numbers.substr(0, colon)), std::stoul(numbers.substr(colon + 1)));
        std::istringstream tail(line.substr(separator + 3));
        std::string type;
        tail >> type;
        known[mounted] = type == "devtmpfs";
    }
    auto [it, inserted] = known.try_emplace(device, false);
    return it->second;
}

bool isOnPseudoFileSystem(int fd, dev_t device) {
    struct statfs info {};
    if (::fstatfs(fd, &info) != 0)
        return false;
    const auto magic = static_cast<unsigned long>(info.f_type);
    if (magic == TMPFS_MAGIC)
        return isDevtmpfs(device);
    return isPseudoFileSystem(magic);
}

bool isDotOrDotDot(const std::string& name) {
    return name == "." || name == "..";
}

bool isHiddenName(const std::string& name) {
    return !name.empty() && name[0] == '.' && !isDotOrDotDot(name);
}

// "*" and "?" over UTF-8 characters of two upper-cased texts.
bool wildcardMatch(std::string_view name, std::string_view mask) {
    std::size_t n = 0, m = 0;
    std::size_t starMask = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = ++m;
            starName = n;
            continue;
        }
        if (m < mask.size() && mask[m] == '?') {
            n += characterLength(name, n);
            ++m;
            continue;
        }
        if (m < mask.size()) {
            const std::size_t length = characterLength(mask, m);
            if (name.substr(n, length) == mask.substr(m, length)) {
                n += length;
                m += length;
                continue;
            }
        }
        if (starMask == std::string_view::npos)
            return false;
        starName += characterLength(name, starName);
        n = starName;
        m = starMask;
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

// The classic rules on top of the wildcards: "X.*" also takes names without a dot that match
// X, and "X." takes only names without a dot.
bool matchesUpper(std::string_view name, std::string_view mask) {
    const bool hasDot = name.find('.') != std::string_view::npos;
    if (mask.ends_with(".*")) {
        return wildcardMatch(name, mask) ||
               (!hasDot && wildcardMatch(name, mask.substr(0, mask.size() - 2)));
    }
    if (mask.ends_with('.'))
        return !hasDot && wildcardMatch(name, mask.substr(0, mask.size() - 1));
    return wildcardMatch(name, mask);
}

bool matchesEverything(const std::string& mask) {
    return mask == "*.*" || mask.find_first_not_of('*') == std::string::npos;
}

FileIdentity identityOf(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

enum class StatState { NotRead, Followed, LinkOnly, Failed };

} // namespace

struct FindOperation::State {
    // The folder is read with getdents64 into a buffer of our own: a DIR stream would cost an
    // extra fcntl, fstat and allocation per folder, which a walk over thousands of folders feels.
    UniqueFd dir;
    alignas(struct dirent64) char buffer[32768];
    std::size_t bufferUsed = 0;
    std::size_t bufferAt = 0;
    FindRequest request = FindRequest::AnyKind;
    std::string mask; // upper-cased
    bool matchAll = false;
    std::string upperName; // reused for every entry, so matching allocates nothing per entry

    struct stat folderInfo {};
    bool folderInfoRead = false;
    int folderPseudo = -1; // not known yet

    std::string name;
    unsigned char type = DT_UNKNOWN;
    StatState statState = StatState::NotRead;
    struct stat info {};

    int fd() const { return dir.get(); }

    // The next raw entry of the folder, or nullptr once it has run out (the folder is closed).
    const struct dirent64* readEntry() {
        while (bufferAt >= bufferUsed) {
            if (!dir.valid())
                return nullptr;
            const ssize_t got = ::getdents64(dir.get(), buffer, sizeof buffer);
            if (got <= 0) {
                dir.reset();
                return nullptr;
            }
            bufferUsed = static_cast<std::size_t>(got);
            bufferAt = 0;
        }
        const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + bufferAt);
        bufferAt += entry->d_reclen;
        return entry;
    }

    const struct stat& folder() {
        if (!folderInfoRead && ::fstat(fd(), &folderInfo) != 0)
            folderInfo = {};
        folderInfoRead = true;
        return folderInfo;
    }

    // Reads the entry's status once, following links; a broken link gives the link's own.
    StatState readStatus() {
        if (statState != StatState::NotRead || !dir.valid())
            return dir.valid() ? statState : StatState::Failed;
        if (::fstatat(fd(), name.c_str(), &info, 0) == 0)
            statState = StatState::Followed;
        else if (::fstatat(fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0)
            statState = StatState::LinkOnly;
        else
            statState = StatState::Failed;
        return statState;
    }

    bool directory() {
        if (type == DT_DIR)
            return true;
        if (type != DT_LNK && type != DT_UNKNOWN)
            return false;
        return readStatus() == StatState::Followed && S_ISDIR(info.st_mode);
    }

    bool folderOnPseudo() {
        if (folderPseudo < 0)
            folderPseudo = isOnPseudoFileSystem(fd(), folder().st_dev) ? 1 : 0;
        return folderPseudo == 1;
    }

    // Only a folder can be a system entry. A folder on the same device as the enumerated folder
    // shares its file system, so only mount points need a file system query of their own.
    bool system() {
        if (!directory() || readStatus() != StatState::Followed)
            return false;
        if (info.st_dev == folder().st_dev)
            return folderOnPseudo();
        UniqueFd entry(::openat(fd(), name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        return entry.valid() && isOnPseudoFileSystem(entry.get(), info.st_dev);
    }

    bool matches() {
        if (matchAll)
            return true;
        upperName.clear();
        appendUpperCase(name, upperName);
        return matchesUpper(upperName, mask);
    }

    bool accepted() {
        if (!matches())
            return false;
        if (request == FindRequest::AnyKind || isDotOrDotDot(name))
            return true;
        return !isHiddenName(name) && !system();
    }
};

FindOperation::FindOperation(const std::string& pattern, FindRequest request)
    : state_(std::make_unique<State>()) {
    state_->request = request;
    const auto slash = pattern.rfind(kPathSeparator);
    if (pattern.empty() || pattern[0] != kPathSeparator || slash + 1 == pattern.size())
        return;
    state_->mask = upperCase(pattern.substr(slash + 1));
    state_->matchAll = matchesEverything(state_->mask);
    const std::string folder = pattern.substr(0, slash + 1);
    state_->dir = UniqueFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

FindOperation::~FindOperation() = default;

bool FindOperation::next() {
    State& s = *state_;
    while (const struct dirent64* entry = s.readEntry()) {
        s.name.assign(entry->d_name);
        s.type = entry->d_type;
        s.statState = StatState::NotRead;
        if (s.accepted())
            return true;
    }
    return false;
}

const std::string& FindOperation::name() const {
    return state_->name;
}

bool FindOperation::isDirectory() {
    return state_->directory();
}

FileAttributes FindOperation::attributes() {
    State& s = *state_;
    FileAttributes result;
    result.directory = s.directory();
    result.hidden = isHiddenName(s.name);
    result.system = s.system();
    result.readOnly = s.readStatus() != StatState::Failed && (s.info.st_mode & S_IWUSR) == 0;
    return result;
}

std::uint64_t FindOperation::size() {
    State& s = *state_;
    if (s.readStatus() == StatState::Failed)
        return 0;
    return static_cast<std::uint64_t>(s.info.st_size);
}

std::optional<FileIdentity> FindOperation::identity() {
    State& s = *state_;
    if (s.readStatus() != StatState::Followed)
        return std::nullopt;
    return identityOf(s.info);
}

std::optional<FoundFile> FindOperation::lookUp(const std::string& fullPath) {
    const auto slash = fullPath.rfind(kPathSeparator);
    if (fullPath.empty() || fullPath[0] != kPathSeparator || slash + 1 == fullPath.size())
        return std::nullopt;
    struct stat info {};
    const bool followed = ::stat(fullPath.c_str(), &info) == 0;
    if (!followed && ::lstat(fullPath.c_str(), &info) != 0)
        return std::nullopt;
    FoundFile found;
    found.name = fullPath.substr(slash + 1);
    found.attributes.directory = followed && S_ISDIR(info.st_mode);
    found.attributes.hidden = isHiddenName(found.name);
    found.attributes.readOnly = (info.st_mode & S_IWUSR) == 0;
    if (found.attributes.directory) {
        UniqueFd fd(::open(fullPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        found.attributes.system = fd.valid() && isOnPseudoFileSystem(fd.get(), info.st_dev);
    }
    found.size = static_cast<std::uint64_t>(info.st_size);
    found.identity = identityOf(info);
    return found;
}

bool FindOperation::matchesMask(const std::string& name, const std::string& mask) {
    return matchesUpper(upperCase(name), upperCase(mask));
}

} // namespace katalox::platform
