#include "platform/Find.h"

#include "platform/DeepPath.h"
#include "platform/FindListings.h"
#include "platform/Paths.h"
#include "platform/PseudoFileSystem.h"
#include "platform/UniqueFd.h"
#include "platform/Utf8.h"
#include "platform/Wildcard.h"

#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>

namespace katalox::platform {

namespace {

// Only absolute paths are looked at; a NUL byte would silently cut the path short and name
// another file, so such a text finds nothing.
bool isUsablePath(const std::string& path) {
    return !path.empty() && path[0] == kPathSeparator && path.find('\0') == std::string::npos;
}

bool isDotOrDotDot(const std::string& name) {
    return name == "." || name == "..";
}

bool isHiddenName(const std::string& name) {
    return !name.empty() && name[0] == '.' && !isDotOrDotDot(name);
}

FileIdentity identityOf(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

enum class StatState { NotRead, Followed, LinkOnly, Failed };

} // namespace

struct FindOperation::State {
    // The folder is read with getdents64 into a buffer of our own: a DIR stream would cost an
    // extra fcntl, fstat and allocation per folder, which a walk over thousands of folders feels.
    std::string folderText;
    bool alive = false; // entries remain to be stepped through
    UniqueFd dir;       // with a kept listing, opened only when an entry needs a stat
    alignas(struct dirent64) char buffer[32768];
    std::size_t bufferUsed = 0;
    std::size_t bufferAt = 0;
    FindRequest request = FindRequest::AnyKind;
    std::string mask; // upper-cased
    bool matchAll = false;
    std::string upperName; // reused for every entry, so matching allocates nothing per entry

    bool fromListing = false; // the entries come from a listing the walk kept
    std::string listing;      // packed entries: type byte, name, NUL
    std::size_t listingAt = 0;
    bool recordListing = false; // this read is kept for the search that follows the walk
    timespec readStarted{};

    struct stat folderInfo {};
    bool folderInfoRead = false;
    int folderPseudo = -1; // not known yet

    std::string name;
    unsigned char type = DT_UNKNOWN;
    StatState statState = StatState::NotRead;
    struct stat info {};

    int fd() {
        if (!dir.valid() && fromListing && alive)
            dir = openDeep(folderText, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        return dir.get();
    }

    void finish() {
        alive = false;
        dir.reset();
        std::string().swap(listing);
    }

    // Steps to the next raw entry (name and type); false once the folder has run out, which
    // releases it.
    bool readEntry() {
        if (!alive)
            return false;
        if (fromListing) {
            if (listingAt >= listing.size()) {
                finish();
                return false;
            }
            type = static_cast<unsigned char>(listing[listingAt]);
            name.assign(listing.c_str() + listingAt + 1);
            listingAt += name.size() + 2;
            return true;
        }
        while (bufferAt >= bufferUsed) {
            const ssize_t got = ::getdents64(dir.get(), buffer, sizeof buffer);
            if (got <= 0) {
                if (got == 0 && recordListing)
                    listings::keep(folderText, folder(), readStarted, std::move(listing));
                finish();
                return false;
            }
            bufferUsed = static_cast<std::size_t>(got);
            bufferAt = 0;
        }
        const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + bufferAt);
        bufferAt += entry->d_reclen;
        name.assign(entry->d_name);
        type = entry->d_type;
        if (recordListing)
            listing.append(1, static_cast<char>(type)).append(name).append(1, '\0');
        return true;
    }

    const struct stat& folder() {
        if (!folderInfoRead && ::fstat(fd(), &folderInfo) != 0)
            folderInfo = {};
        folderInfoRead = true;
        return folderInfo;
    }

    // Reads the entry's status once, following links; a broken link gives the link's own.
    StatState readStatus() {
        if (!alive)
            return StatState::Failed;
        if (statState != StatState::NotRead)
            return statState;
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
        return matchesUpperCaseMask(upperName, mask);
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
    if (!isUsablePath(pattern) || slash + 1 == pattern.size())
        return;
    state_->mask = upperCase(pattern.substr(slash + 1));
    state_->matchAll = matchesEveryName(state_->mask);
    State& s = *state_;
    s.folderText = pattern.substr(0, slash + 1);
    if (request == FindRequest::AnyKind) {
        if (auto kept = listings::take(s.folderText)) {
            s.listing = std::move(*kept);
            s.fromListing = s.alive = true;
            return;
        }
    }
    s.dir = openDeep(s.folderText, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    s.alive = s.dir.valid();
    if (s.alive && request == FindRequest::Folders && listings::recording()) {
        s.recordListing = true;
        ::clock_gettime(CLOCK_REALTIME, &s.readStarted);
    }
}

FindOperation::~FindOperation() = default;

bool FindOperation::next() {
    State& s = *state_;
    while (s.readEntry()) {
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
    // A link is sized as itself, never as what it leads to.
    struct stat own {};
    if (s.type != DT_REG && s.type != DT_DIR && s.statState == StatState::Followed &&
        ::fstatat(s.fd(), s.name.c_str(), &own, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(own.st_mode))
        return static_cast<std::uint64_t>(own.st_size);
    return static_cast<std::uint64_t>(s.info.st_size);
}

std::int64_t FindOperation::modified() {
    State& s = *state_;
    return s.readStatus() == StatState::Failed ? 0 : s.info.st_mtim.tv_sec;
}

std::optional<FileIdentity> FindOperation::identity() {
    State& s = *state_;
    if (s.readStatus() != StatState::Followed)
        return std::nullopt;
    return identityOf(s.info);
}

std::optional<FoundFile> FindOperation::lookUp(const std::string& fullPath) {
    const auto slash = fullPath.rfind(kPathSeparator);
    if (!isUsablePath(fullPath) || slash + 1 == fullPath.size())
        return std::nullopt;
    // The entry itself first: only a link needs a second look, at what it leads to, and it is
    // sized as itself, never as that.
    struct stat own {};
    if (!statDeep(fullPath, own, false))
        return std::nullopt;
    struct stat info = own;
    const bool followed = !S_ISLNK(own.st_mode) || statDeep(fullPath, info);
    if (!followed)
        info = own; // a broken link
    FoundFile found;
    found.name = fullPath.substr(slash + 1);
    found.attributes.directory = followed && S_ISDIR(info.st_mode);
    found.attributes.hidden = isHiddenName(found.name);
    found.attributes.readOnly = (info.st_mode & S_IWUSR) == 0;
    if (found.attributes.directory) {
        const UniqueFd fd = openDeep(fullPath, O_PATH | O_DIRECTORY | O_CLOEXEC);
        found.attributes.system = fd.valid() && isOnPseudoFileSystem(fd.get(), info.st_dev);
    }
    found.size = static_cast<std::uint64_t>(own.st_size);
    found.modified = own.st_mtim.tv_sec;
    found.identity = identityOf(info);
    return found;
}

} // namespace katalox::platform
