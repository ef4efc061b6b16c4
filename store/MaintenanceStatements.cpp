#include "store/MaintenanceStatements.h"

#include "store/ListingStatements.h"

namespace katalox {

std::vector<std::string> deleteEntryStatement(std::int64_t id) {
    return {R"(Delete From Files Where Files."Id" = )" + std::to_string(id)};
}

std::vector<std::string> deleteDiskIdStatement(const std::string& diskId) {
    return {R"(Delete From Files Where Files."Disk ID" = ")" + quotedValue(diskId) + "\""};
}

std::string deleteDiskIdQuestion(const std::string& diskId) {
    return "Delete all entires with catalog Id " + diskId + "?";
}

std::vector<std::string> renameDiskIdStatement(const std::string& diskId,
                                               const std::string& newName) {
    return {R"(UPDATE Files SET Files."Disk ID" = ")" + quotedValue(newName) +
            R"(" WHERE Files."Disk ID" = ")" + quotedValue(diskId) + "\""};
}

std::string renameDiskIdQuestion(const std::string& diskId, const std::string& newName) {
    return "Rename entires with catalog Id \"" + diskId + "\" to \"" + newName + "\"?";
}

std::string sizeCaption(std::int64_t megabytes) {
    return "Size: " + std::to_string(megabytes) + " MB ";
}

} // namespace katalox
