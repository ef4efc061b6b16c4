#include "store/copies/CopyGroups.h"

namespace katalox::store {

CopyGroups::CopyGroups(std::shared_ptr<CopySource> source, CopyFilter filter)
    : source_(std::move(source)), filter_(std::move(filter)) {
    if (!source_->keepsPrints()) {
        atEnd_ = true;
        return;
    }
    groups_ = source_->groups(filter_.minSize, filter_.minCopies);
}

CopyGroups::CopyGroups(Database& db, const std::string& table, CopyFilter filter)
    : CopyGroups(std::shared_ptr<CopySource>(fileCopySource(db, table)), std::move(filter)) {}

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
        CopyGroup group;
        if (!groups_->next(group.key, group.size)) {
            atEnd_ = true;
            break;
        }
        // Members of another size share the key by chance; those verified apart are split off.
        const std::vector<PrintedRecord> members = source_->recordsWithKey(group.key);
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
