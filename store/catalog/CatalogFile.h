#pragma once
// Catalogue table files: where one lies, which table it holds, and making an empty one (the
// program itself never creates one).
#include <string>

namespace katalox::store {

// The table a catalogue file holds: its name without folder and extension ("Files.db" holds
// "Files"); a name whose only dot leads it is kept whole.
std::string tableNameOf(const std::string& path);

// Creates the SQLite file `path` holding one empty table named after the file's stem
// ("Files.db" holds "Files") with the catalogue's fields, an index on "Disk ID" and the
// substring index over names and paths.
// Throws FileError when the file already exists or cannot be created; never overwrites.
void createEmptyCatalog(const std::string& path);

} // namespace katalox::store
