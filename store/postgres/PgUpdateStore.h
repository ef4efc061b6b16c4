#pragma once
// A disk update on a catalogue on a server: its scans and records read there and its changes
// applied there in one transaction, with the facts, prints and members beside them.
#include "store/catalog/DiskUpdateStore.h"

#include <memory>
#include <string>

namespace katalox::store {

// The store of `table` on the server `uri` names, through the connection shared by the
// program's users of that URI.
std::unique_ptr<DiskUpdateStore> serverUpdateStore(const std::string& uri,
                                                   const std::string& table);

} // namespace katalox::store
