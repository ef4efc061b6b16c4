#include "store/copies/CopyGroups.h"

#include "store/prints/PrintTables.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

namespace katalox::store {

CopyGroups::CopyGroups(Database& db, std::string table, CopyFilter filter)
    : db_(db), table_(std::move(table)), filter_(std::move(filter)) {
    if (!hasPrintTables(db_)) {
        atEnd_ = true;
        return;
    }
    // The index on the waste gives the groups in order without sorting them all.
    groups_ = std::make_unique<Statement>(
        db_.prepare("SELECT \"Print\", \"Size\" FROM " + quoteIdentifier(kCopyGroupsTable) +
                    " WHERE \"Size\" >= ?1 AND \"Copies\" >= ?2 ORDER BY (\"Size\" * (\"Copies\" "
                    "- 1)) DESC"));
    groups_->bindInteger(1, filter_.minSize);
    groups_->bindInteger(2, filter_.minCopies);
}

bool CopyGroups::passes(const CopyGroup& group) const {
    if (static_cast<std::int64_t>(group.members.size()) < filter_.minCopies)
        return false;
    if (filter_.diskId.empty() && filter_.pathPart.empty())
        return true;
    for (const KnownCopy& member : group.members)
        if ((filter_.diskId.empty() || member.diskId == filter_.diskId) &&
            (filter_.pathPart.empty() || member.path.find(filter_.pathPart) != std::string::npos))
            return true;
    return false;
}

std::vector<CopyGroup> CopyGroups::next(std::size_t count) {
    std::vector<CopyGroup> page;
    while (!atEnd_ && page.size() < count) {
        if (!groups_->step()) {
            atEnd_ = true;
            break;
        }
        CopyGroup group{groups_->columnValue(0).asString(), groups_->columnInteger(1), {}};
        // Members of another size share the key by chance; those verified apart are split off.
        const std::vector<PrintedRecord> members = recordsWithKey(db_, table_, group.key);
        std::string hash;
        bool allVerified = true;
        for (const PrintedRecord& member : members) {
            if (member.copy.size != group.size)
                continue;
            allVerified = allVerified && !member.wholeHash.empty();
            if (hash.empty())
                hash = member.wholeHash;
            else if (!member.wholeHash.empty() && member.wholeHash != hash)
                continue;
            group.members.push_back(member.copy);
        }
        for (KnownCopy& member : group.members)
            member.sure = allVerified;
        if (passes(group))
            page.push_back(std::move(group));
    }
    return page;
}

} // namespace katalox::store
