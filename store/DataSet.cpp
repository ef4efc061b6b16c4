#include "store/DataSet.h"

#include "platform/Error.h"

#include <strings.h>

namespace katalox::store {

void DataSet::requireClosed(const char* what) const {
    if (active_)
        throw EngineError(std::string("Cannot change ") + what + " of an open data set");
}

void DataSet::requireOpen() const {
    if (!active_)
        throw EngineError("Cannot perform this operation on a closed dataset");
}

int DataSet::requireField(const std::string& name) const {
    const auto& all = fields();
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (::strcasecmp(all[i].name.c_str(), name.c_str()) == 0)
            return static_cast<int>(i);
    }
    throw EngineError("Field '" + name + "' not found");
}

void DataSet::requireRecNo(std::int64_t recNo, std::int64_t count) {
    if (recNo < 1 || recNo > count)
        throw EngineError("Record number " + std::to_string(recNo) + " is out of range (1 to " +
                          std::to_string(count) + ")");
}

} // namespace katalox::store
