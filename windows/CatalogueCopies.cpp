#include "windows/CatalogueCopies.h"

#include "store/catalog/Catalog.h"
#include "store/copies/CopySource.h"
#include "store/copies/VerifyStore.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgCopiedFolders.h"
#include "store/postgres/PgCopySource.h"
#include "store/postgres/PgText.h"
#include "store/postgres/PgVerifyStore.h"
#include "store/postgres/ServerCatalogue.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

CatalogueCopies::CatalogueCopies(const std::string& location, const std::string& table)
    : location_(location), table_(table) {
    if (katalox::store::isServerUri(location_)) {
        source_ =
            katalox::store::serverCopySource(katalox::store::serverConnection(location_), table_);
    } else {
        catalog_ = std::make_unique<katalox::store::Catalog>(location_);
        source_ = katalox::store::fileCopySource(catalog_->database(), catalog_->table());
    }
}

CatalogueCopies::~CatalogueCopies() = default;

std::vector<katalox::store::DiskPresence> CatalogueCopies::disks() const {
    return catalog_ ? catalog_->disks() : katalox::store::serverDiskPresence(location_, table_);
}

std::vector<katalox::store::CopiedFolder>
CatalogueCopies::copiedFolders(const katalox::store::CopyFilter& filter, std::size_t limit) const {
    if (catalog_)
        return katalox::store::copiedFolders(catalog_->database(), filter, limit);
    return katalox::store::serverCopiedFolders(*katalox::store::serverConnection(location_), table_,
                                               filter, limit);
}

katalox::store::Database* CatalogueCopies::file() const {
    return catalog_ ? &catalog_->database() : nullptr;
}

std::optional<katalox::store::DiskCheck>
CatalogueCopies::lastCheck(const std::string& diskId) const {
    if (catalog_)
        return katalox::store::lastDiskCheck(catalog_->database(), diskId);
    return katalox::store::serverVerifyStore(katalox::store::serverConnection(location_), table_)
        ->lastCheck(diskId);
}

std::vector<katalox::store::FoundProblem>
CatalogueCopies::findings(const std::string& diskId) const {
    if (catalog_)
        return katalox::store::verifyFindings(catalog_->database(), catalog_->table(), diskId);
    return katalox::store::serverVerifyStore(katalox::store::serverConnection(location_), table_)
        ->findings(diskId);
}

katalox::store::DiskCoverage CatalogueCopies::coverage(const std::string& diskId) const {
    // A catalogue file's is read in one snapshot of its own.
    if (catalog_)
        return katalox::store::coverageOf(catalog_->database(), catalog_->table(), diskId);
    return katalox::store::coverageOf(*source_, diskId);
}

std::optional<std::int64_t> CatalogueCopies::recordOf(const std::string& diskId,
                                                      const std::string& storedPath) const {
    if (catalog_) {
        if (const std::int64_t id = catalog_->database().integerOf(
                "SELECT rowid FROM " + katalox::store::quoteIdentifier(catalog_->table()) +
                    " WHERE \"Disk ID\" = ?1 AND \"File Path\" = ?2 LIMIT 1",
                {katalox::store::Value(diskId), katalox::store::Value(storedPath)}))
            return id;
        return std::nullopt;
    }
    const katalox::store::PgResult found = katalox::store::serverConnection(location_)->execute(
        "SELECT \"Id\" FROM " + katalox::store::quoteIdentifier(table_) +
            " WHERE \"Disk ID\" = $1 AND \"File Path\" = $2 LIMIT 1",
        {katalox::store::toServerText(diskId), katalox::store::toServerText(storedPath)});
    if (found.rows() == 0)
        return std::nullopt;
    return found.integer(0, 0);
}

std::unique_ptr<katalox::store::VerifyStore> CatalogueCopies::verifyStore() const {
    if (!catalog_)
        return katalox::store::serverVerifyStore(
            std::make_shared<katalox::store::PgConnection>(location_), table_);
    return katalox::store::fileVerifyStore(std::make_unique<katalox::store::Catalog>(location_));
}
