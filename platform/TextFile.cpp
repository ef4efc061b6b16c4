#include "platform/TextFile.h"

#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace katalox::platform {

namespace {

[[noreturn]] void cannotOpen(const std::string& path, int error) {
    throw FileError("Cannot open file \"" + path + "\". " + std::strerror(error));
}

[[noreturn]] void cannotOpen(const std::string& path, const char* reason) {
    throw FileError("Cannot open file \"" + path + "\". " + reason);
}

// Only a regular file of sane size is read: a FIFO would block the start until someone
// writes to it, and a link to a device such as /dev/zero would never end.
void requireReadableRegularFile(const std::string& path, int fd, std::size_t maxBytes) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        cannotOpen(path, errno);
    if (S_ISDIR(info.st_mode))
        cannotOpen(path, EISDIR);
    if (!S_ISREG(info.st_mode))
        cannotOpen(path, "Not a regular file");
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes)
        cannotOpen(path, EFBIG);
}

std::string readWholeFile(const std::string& path, std::size_t maxBytes) {
    // Non-blocking, so opening a FIFO returns at once instead of waiting for a writer.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid())
        cannotOpen(path, errno);
    requireReadableRegularFile(path, fd.get(), maxBytes);
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            cannotOpen(path, errno);
        if (got == 0)
            return content;
        content.append(buffer, static_cast<std::size_t>(got));
        if (content.size() > maxBytes) // grown while being read
            cannotOpen(path, EFBIG);
    }
}

} // namespace

std::vector<std::string> readTextLines(const std::string& path, std::size_t maxBytes) {
    std::string content = readWholeFile(path, maxBytes);
    if (const auto nul = content.find('\0'); nul != std::string::npos)
        content.resize(nul);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(content.substr(start));
            break;
        }
        lines.push_back(content.substr(start, end - start));
        start = end + 1;
        if (content[end] == '\r' && start < content.size() && content[start] == '\n')
            ++start;
    }
    return lines;
}

void writeTextLines(const std::string& path, const std::vector<std::string>& lines) {
    std::string data;
    for (const auto& line : lines)
        data.append(line).append("\r\n");
    replaceFileContent(path, data);
}

} // namespace katalox::platform
