#pragma once
// The reads behind the copies of a catalogue table on a server (PgPrints.h).
#include "store/copies/CopySource.h"

#include <memory>
#include <string>

namespace katalox::store {

class PgConnection;

std::unique_ptr<CopySource> serverCopySource(std::shared_ptr<PgConnection> db,
                                             const std::string& table);

} // namespace katalox::store
