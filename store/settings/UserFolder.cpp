#include "store/settings/UserFolder.h"

#include "platform/Error.h"
#include "platform/Paths.h"
#include "store/catalog/CatalogFile.h"
#include "store/settings/ConfigFile.h"

#include <cstdlib>
#include <sys/stat.h>

namespace katalox::store {

namespace {

// An environment variable that holds an absolute path; relative ones are ignored, as the
// freedesktop base directory rules ask.
std::string absoluteEnvironmentPath(const char* name) {
    const char* value = std::getenv(name);
    if (!value || value[0] != platform::kPathSeparator)
        return {};
    return value;
}

bool exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

} // namespace

std::string userFolderPath() {
    if (const std::string dataHome = absoluteEnvironmentPath("XDG_DATA_HOME"); !dataHome.empty())
        return platform::joinPath(dataHome, "katalox");
    const std::string home = absoluteEnvironmentPath("HOME");
    if (home.empty())
        throw Error("Cannot find the folder for Katalox's data: neither XDG_DATA_HOME nor HOME "
                    "names an absolute folder");
    return platform::joinPath(home, ".local/share/katalox");
}

void prepareUserFolder(const std::string& folder) {
    const std::string config = ConfigFile::path(folder);
    if (exists(config))
        return;
    const std::string databaseFolder = ConfigFile::defaultFolder(folder);
    platform::createFolders(folder); // first, so a failure names the folder the user knows
    platform::createFolders(databaseFolder);
    const std::string catalog = databaseFolder + ConfigFile::kDefaultTableName;
    if (!exists(catalog))
        createEmptyCatalog(catalog);
    // config.ini comes last: a start that fails before it is a first start again next time.
    ConfigFile::write(config, ConfigFile::kDefaultTableName, databaseFolder);
}

} // namespace katalox::store
