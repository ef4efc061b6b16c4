#include "store/settings/ConfigFile.h"

#include "platform/Error.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"

namespace katalox::store {

std::string ConfigFile::path(const std::string& appDir) {
    return appDir + platform::kPathSeparator + "config.ini";
}

std::string ConfigFile::defaultFolder(const std::string& appDir) {
    return appDir + platform::kPathSeparator + "DataBase" + platform::kPathSeparator;
}

std::vector<std::string> ConfigFile::readLines(const std::string& path) {
    return platform::readTextLines(path);
}

std::string ConfigFile::value(const std::vector<std::string>& lines, std::size_t index) {
    if (index >= lines.size())
        throw Error("List index out of bounds (" + std::to_string(index) + ")");
    return platform::characterSlice(lines[index], kPrefixLength, kValueLength);
}

std::vector<std::string> ConfigFile::lines(const std::string& tableName,
                                           const std::string& folder) {
    return {kTablePrefix + tableName, kFolderPrefix + folder};
}

void ConfigFile::write(const std::string& path, const std::string& tableName,
                       const std::string& folder) {
    platform::writeTextLines(path, lines(tableName, folder));
}

} // namespace katalox::store
