#pragma once
// A catalogue on a server as the windows reach it: named by the connection URI that stands in
// the database folder line of config.ini, through one connection per URI shared by the
// program's data sets, made again on the next use once the server was lost.
#include "store/catalog/Catalog.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace katalox::store {

class PgConnection;

// Whether a database folder setting names a server (postgresql://... or postgres://...)
// rather than a folder.
bool isServerUri(std::string_view setting);

// The connection to the server `uri` names, shared with every other user of the same URI in
// this program; a new one when the last was lost. Throws EngineError when it cannot be had.
std::shared_ptr<PgConnection> serverConnection(const std::string& uri);

// Runs a statement that changes records (a delete, an update) in one transaction and returns
// how many records it changed. Throws EngineError with the server's message; nothing changes
// then.
std::int64_t runServerChange(const std::string& uri, const std::string& statement);

// Deletes or renames every record of `diskId` by the main window's `statement`, and keeps the
// scans and the disk checks recorded beside `table` in step, in one transaction (the records'
// prints follow them by the catalogue's triggers).
void deleteServerDisk(const std::string& uri, const std::string& table, const std::string& diskId,
                      const std::string& statement);
void renameServerDisk(const std::string& uri, const std::string& table, const std::string& diskId,
                      const std::string& newName, const std::string& statement);

// Every Disk ID with a recorded scan, in the order first recorded, and where its disk is
// mounted on this machine now.
std::vector<DiskPresence> serverDiskPresence(const std::string& uri, const std::string& table);

// A number that changes whenever any program has written records of `table` (the server's own
// count of rows inserted, updated and deleted, which it takes in within about a second).
std::int64_t serverChangeCount(const std::string& uri, const std::string& table);

// Removes every record of `table`, its recorded scans and what is kept of their prints, and
// nothing else (the Id counter goes on), or nothing when another program is connected to the
// catalogue: then it throws EngineError saying so.
void emptyServerTable(const std::string& uri, const std::string& table);

} // namespace katalox::store
