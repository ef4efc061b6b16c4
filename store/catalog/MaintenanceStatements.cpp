#include "store/catalog/MaintenanceStatements.h"

#include "store/sqlite/SqlText.h"

namespace katalox::store {

std::vector<std::string> deleteEntryStatement(std::int64_t id) {
    return {R"(Delete From Files Where Files."Id" = )" + std::to_string(id)};
}

std::vector<std::string> deleteDiskIdStatement(const std::string& diskId) {
    return {R"(Delete From Files Where Files."Disk ID" = )" + quoted(diskId, '"')};
}

std::vector<std::string> renameDiskIdStatement(const std::string& diskId,
                                               const std::string& newName) {
    return {R"(UPDATE Files SET Files."Disk ID" = )" + quoted(newName, '"') +
            R"( WHERE Files."Disk ID" = )" + quoted(diskId, '"')};
}

} // namespace katalox::store
