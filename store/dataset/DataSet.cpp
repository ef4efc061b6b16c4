#include "store/dataset/DataSet.h"

#include "platform/Error.h"

namespace katalox::store {

void DataSet::setActive(bool active, std::int64_t recordCount) {
    if (active_ == active)
        return;
    active_ = active;
    lastFieldName_.clear();
    recNo_ = active && recordCount > 0 ? 1 : 0;
    emit stateChanged();
}

void DataSet::setRecNo(std::int64_t recNo) {
    requireOpen();
    requireRecNo(recNo, recordCount());
    recNo_ = recNo;
}

Value DataSet::fieldByName(const std::string& name) const {
    requireOpen();
    const int field = requireField(name);
    if (recNo_ < 1)
        return Value();
    return currentValue(recNo_ - 1, field);
}

void DataSet::requireClosed(const char* what) const {
    if (active_)
        throw EngineError(std::string("Cannot change ") + what + " of an open data set");
}

void DataSet::refuseClosed() {
    throw EngineError("Cannot perform this operation on a closed dataset");
}

int DataSet::requireField(const std::string& name) const {
    if (!lastFieldName_.empty() && name == lastFieldName_)
        return lastFieldIndex_;
    const int index = fieldIndexOf(fields(), name);
    if (index < 0)
        throw EngineError("Field '" + name + "' not found");
    lastFieldName_ = name;
    lastFieldIndex_ = index;
    return index;
}

void DataSet::refuseRecNo(std::int64_t recNo, std::int64_t count) {
    throw EngineError("Record number " + std::to_string(recNo) + " is out of range (1 to " +
                      std::to_string(count) + ")");
}

} // namespace katalox::store
