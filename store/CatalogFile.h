#pragma once
// Making an empty catalogue table file; the program itself never creates one.
#include <string>

namespace katalox::store {

// Creates the SQLite file `path` holding one empty table named after the file's stem
// ("Files.db" holds "Files") with the catalogue's fields and an index on "Disk ID".
// Throws FileError when the file already exists or cannot be created; never overwrites.
void createEmptyCatalog(const std::string& path);

} // namespace katalox::store
