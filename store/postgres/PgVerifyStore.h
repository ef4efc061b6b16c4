#pragma once
// The verifications of a catalogue table on a server: whole hashes, findings and the checks of
// each Disk ID in the tables beside it (PgPrints.h). A server keeps no facts, so files are found
// through the place of the scans of their Disk ID.
#include "store/copies/VerifyStore.h"

#include <memory>
#include <string>

namespace katalox::store {

class PgConnection;

std::unique_ptr<VerifyStore> serverVerifyStore(std::shared_ptr<PgConnection> db,
                                               const std::string& table);

} // namespace katalox::store
