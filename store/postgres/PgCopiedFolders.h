#pragma once
// Copied folders on a catalogue on a server, worked out as on a file (store/copies/CopyFolders)
// from the server's facts and prints.
#include "store/copies/CopyFolders.h"

#include <string>
#include <vector>

namespace katalox::store {

class PgConnection;

std::vector<CopiedFolder> serverCopiedFolders(PgConnection& db, const std::string& table,
                                              const CopyFilter& filter, std::size_t limit);

} // namespace katalox::store
