#include "platform/Paths.h"

#include "platform/Error.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
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

void setCurrentDirectory(const std::string& path) {
    if (::chdir(path.c_str()) != 0)
        throw FileError("Cannot change to folder \"" + path + "\". " + std::strerror(errno));
}

void createFolders(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error)
        throw FileError("Cannot create folder \"" + path + "\". " + error.message());
}

} // namespace katalox::platform
