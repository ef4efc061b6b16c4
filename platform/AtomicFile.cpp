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

} // namespace

void replaceFileContent(const std::string& path, const std::string& data) {
    const std::string target = replacedTarget(path);
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
            cannotCreate(path, error);
        }
    }
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
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
