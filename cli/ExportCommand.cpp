#include "cli/Commands.h"

#include "platform/Error.h"

namespace katalox::cli {

int runExport(store::Catalog&, const Words&) {
    throw Error("export is not built yet");
}

int runCheck(store::Catalog&, const Words&) {
    throw Error("check is not built yet");
}

} // namespace katalox::cli
