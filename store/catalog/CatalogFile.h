#pragma once
// Catalogue table files: which table one holds, making an empty one (the program itself never
// creates one), opening one and emptying one.
#include <memory>
#include <string>

namespace katalox::store {

class Database;

// The table a catalogue file holds: its name without folder and extension ("Files.db" holds
// "Files"); a name whose only dot leads it is kept whole.
std::string tableNameOf(const std::string& path);

// Creates the SQLite file `path` holding one empty table named after the file's stem
// ("Files.db" holds "Files") with the catalogue's fields, an index on "Disk ID" and the
// substring index over names and paths.
// Throws FileError when the file already exists or cannot be created; never overwrites.
void createEmptyCatalog(const std::string& path);

// The shared connection to the catalogue file at `path` (Database::open), with its search
// index kept up to date in the background.
std::shared_ptr<Database> openCatalogFile(const std::string& path);

// Removes every record of `table` in the file at `path`, with what the file keeps beside them
// (the search index, the recorded scans), and nothing else: fields, indexes and the Id counter
// stay. Fails at once with EngineError, changing nothing, when another program holds the file
// or another instance of this program has it open.
void emptyCatalogFile(const std::string& path, const std::string& table);

} // namespace katalox::store
