#include "cli/ServerRecords.h"

#include "store/postgres/PgArchiveMembers.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgFacts.h"
#include "store/postgres/PgListing.h"
#include "store/postgres/PgText.h"

namespace katalox::cli {

void readServerRecord(const store::PgListing& rows, FoundRecord& record) {
    record.id = rows.integer(0);
    record.diskId = store::fromServerText(rows.text(1));
    record.storedPath = store::fromServerText(rows.text(2));
    record.upperName = store::fromServerText(rows.text(3));
    record.size = rows.integer(4);
    record.facts.reset();
    record.livePath.reset();
}

ServerRecordFacts::ServerRecordFacts(store::PgConnection& db, const std::string& table)
    : db_(db), table_(table), files_(std::make_unique<store::ServerFactsSource>(db, table)),
      connected_(store::serverScans(db, table)) {}

std::optional<store::RecordedPath> ServerRecordFacts::memberFacts(const FoundRecord& record) {
    if (record.storedPath.find(store::kMemberSeparator) == std::string::npos)
        return std::nullopt;
    const std::optional<store::ArchivedRecord> member =
        store::archivedServerRecord(db_, table_, record.id);
    if (!member)
        return std::nullopt;
    // The members of one archive come one after another.
    if (member->archive != lastArchive_) {
        lastArchive_ = member->archive;
        const std::string& stored = member->archiveStoredPath;
        archiveFacts_ = files_.factsOf(member->archive, stored.substr(stored.rfind('/') + 1));
    }
    if (!archiveFacts_)
        return std::nullopt;
    return store::memberFactsOf(*archiveFacts_, *member);
}

void ServerRecordFacts::read(FoundRecord& record, bool live) {
    record.facts = files_.factsOf(record.id, record.upperName);
    if (!record.facts)
        record.facts = memberFacts(record);
    if (live && record.facts)
        record.livePath = connected_.livePath(*record.facts);
}

} // namespace katalox::cli
