#pragma once
// The per-user folder an installed program works in, so that starting it from a desktop menu
// finds a configuration and a catalogue ready: $XDG_DATA_HOME/katalox, or
// ~/.local/share/katalox when XDG_DATA_HOME is unset or not an absolute path.
#include <string>

namespace katalox::store {

// The folder's path. Throws Error when neither XDG_DATA_HOME nor HOME gives an absolute path.
std::string userFolderPath();

// Prepares the folder on its first use: the folder itself, an empty catalogue
// "DataBase/Files.db" and a config.ini naming it. A folder that has a config.ini was prepared
// before and is left exactly as it is; an existing catalogue is never replaced. Throws
// FileError when the folder or one of the files cannot be created.
void prepareUserFolder(const std::string& folder);

} // namespace katalox::store
