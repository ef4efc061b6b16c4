#include "store/DataSet.h"

#include "platform/Error.h"

namespace katalox::store {

void DataSet::requireClosed(const char* what) const {
    if (active_)
        throw EngineError(std::string("Cannot change ") + what + " of an open data set");
}

void DataSet::requireOpen() const {
    if (!active_)
        throw EngineError("Cannot perform this operation on a closed dataset");
}

} // namespace katalox::store
