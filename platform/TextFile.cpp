#include "platform/TextFile.h"

#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace katalox::platform {

namespace {

[[noreturn]] void cannotOpen(const std::string& path, int error) {
    throw FileError("Cannot open file \"" + path + "\". " + std::strerror(error));
}

std::string readWholeFile(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        cannotOpen(path, errno);
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            cannotOpen(path, errno); // a folder fails here with "Is a directory"
        if (got == 0)
            return content;
        content.append(buffer, static_cast<std::size_t>(got));
    }
}

} // namespace

std::vector<std::string> readTextLines(const std::string& path) {
    std::string content = readWholeFile(path);
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
