#include "platform/AtomicFile.h"

#include "platform/Error.h"
#include "platform/UniqueFd.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace katalox::platform {

namespace {

[[noreturn]] void cannotCreate(const std::string& path, int error) {
    throw FileError("Cannot create file \"" + path + "\". " + std::strerror(error));
}

// Returns 0 once everything is written, otherwise the error number.
int writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t wrote = ::write(fd, data.data() + done, data.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote < 0)
            return errno;
        done += static_cast<std::size_t>(wrote);
    }
    return 0;
}

// Removes the temporary file unless the rename has taken it over.
struct TemporaryFile {
    std::string path;
    bool kept = false;
    ~TemporaryFile() {
        if (!kept && !path.empty())
            ::unlink(path.c_str());
    }
};

// The file a path names: a link is followed, so the link itself stays.
std::string replacedTarget(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            std::string target = resolved;
            std::free(resolved);
            return target;
        }
    }
    return path;
}

// The file's whole content from its start; empty when it cannot be read.
std::string contentOf(int fd) {
    std::string content;
    char buffer[65536];
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return content;
        content.append(buffer, static_cast<std::size_t>(got));
        at += got;
    }
}

// Returns 0 once the file holds exactly `data`, otherwise the error number.
int overwrite(int fd, const std::string& data) {
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return errno;
    if (const int error = writeAll(fd, data); error != 0)
        return error;
    if (::ftruncate(fd, static_cast<off_t>(data.size())) != 0 || ::fsync(fd) != 0)
        return errno;
    return 0;
}

// Writes over the file itself when no new file can be made beside it. Not atomic, so the old
// content is kept in memory and written back if the new one cannot be written whole.
void rewriteInPlace(const std::string& path, const std::string& target, const std::string& data) {
    UniqueFd fd(::open(target.c_str(), O_RDWR | O_CLOEXEC));
    if (!fd.valid())
        fd = UniqueFd(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
    if (!fd.valid())
        cannotCreate(path, errno);
    const std::string old = contentOf(fd.get());
    if (const int error = overwrite(fd.get(), data); error != 0) {
        overwrite(fd.get(), old);
        cannotCreate(path, error);
    }
    if (fd.reset() != 0)
        cannotCreate(path, errno);
}

} // namespace

void replaceFileContent(const std::string& path, const std::string& data) {
    const std::string target = replacedTarget(path);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    // A file the user may not write is refused, even where its folder would let it be replaced.
    // Opening it for writing, without truncating, asks the kernel itself.
    if (exists && S_ISREG(old.st_mode) &&
        !UniqueFd(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)).valid())
        cannotCreate(path, errno);
    static std::atomic<unsigned> counter{0};
    TemporaryFile temporary;
    UniqueFd fd;
    // The temporary file lies beside the target so the final rename stays on one file system.
    for (int attempt = 0; !fd.valid(); ++attempt) {
        temporary.path = target + ".tmp-" + std::to_string(::getpid()) + "-" +
                         std::to_string(counter.fetch_add(1));
        fd =
            UniqueFd(::open(temporary.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd.valid() && (errno != EEXIST || attempt > 100)) {
            const int error = errno;
            temporary.path.clear();
            // A folder the user may not write, holding a file the user may: write in place.
            if ((error == EACCES || error == EPERM) && exists && S_ISREG(old.st_mode))
                return rewriteInPlace(path, target, data);
            cannotCreate(path, error);
        }
    }
    if (exists && S_ISREG(old.st_mode))
        ::fchmod(fd.get(), old.st_mode & 07777); // keep the permissions the file had
    if (const int error = writeAll(fd.get(), data); error != 0)
        cannotCreate(path, error);
    if (::fsync(fd.get()) != 0 || fd.reset() != 0)
        cannotCreate(path, errno);
    if (::rename(temporary.path.c_str(), target.c_str()) != 0)
        cannotCreate(path, errno);
    temporary.kept = true;
}

} // namespace katalox::platform
