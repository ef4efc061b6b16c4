#include "store/copies/OtherCopies.h"

#include "store/copies/CopySource.h"

#include <algorithm>

namespace katalox::store {

std::vector<PrintedRecord> recordsWithKey(Database& db, const std::string& table,
                                          const std::string& key) {
    return fileCopySource(db, table)->recordsWithKey(key);
}

std::vector<KnownCopy> otherCopies(CopySource& source, std::int64_t record) {
    if (!source.keepsPrints())
        return {};
    const std::optional<OwnPrint> own = source.printOf(record);
    if (!own)
        return {};
    std::vector<KnownCopy> copies;
    for (PrintedRecord& member : source.recordsWithKey(own->print.substr(0, 8))) {
        if (member.copy.record == record || member.copy.size != own->size ||
            member.print != own->print)
            continue;
        if (!own->wholeHash.empty() && !member.wholeHash.empty() &&
            own->wholeHash != member.wholeHash)
            continue; // read whole, they differ where the samples do not reach
        member.copy.sure = !own->wholeHash.empty() && own->wholeHash == member.wholeHash;
        copies.push_back(std::move(member.copy));
    }
    std::sort(copies.begin(), copies.end(), [](const KnownCopy& a, const KnownCopy& b) {
        return a.diskId != b.diskId ? a.diskId < b.diskId : a.path < b.path;
    });
    return copies;
}

std::vector<KnownCopy> otherCopies(Database& db, const std::string& table, std::int64_t record) {
    return otherCopies(*fileCopySource(db, table), record);
}

} // namespace katalox::store
