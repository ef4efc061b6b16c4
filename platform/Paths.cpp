#include "platform/Paths.h"

#include "platform/Error.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace katalox::platform {

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == kPathSeparator)
        return folder + name;
    return folder + kPathSeparator + name;
}

std::string lastComponent(const std::string& path) {
    if (path == "/")
        return path;
    return path.substr(path.rfind(kPathSeparator) + 1);
}

std::string currentDirectory() {
    std::string buffer(4096, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) {
            buffer.resize(std::strlen(buffer.c_str()));
            return buffer;
        }
        if (errno != ERANGE)
            throw FileError(std::string("Cannot read the current directory. ") +
                            std::strerror(errno));
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace katalox::platform
