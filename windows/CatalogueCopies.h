#pragma once
// The copies and verifications of the catalogue the main window shows, in a catalogue file or
// on a server: what the copies windows and Verify This Disk read it through.
#include "store/catalog/Catalog.h"
#include "store/copies/CopyFolders.h"
#include "store/copies/DiskCoverage.h"
#include "store/copies/DiskVerification.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace katalox::store {
class Catalog;
class CopySource;
class Database;
class VerifyStore;
} // namespace katalox::store

class CatalogueCopies {
public:
    // `location`: the catalogue file, or a server's URI holding the catalogue table `table`.
    CatalogueCopies(const std::string& location, const std::string& table);
    ~CatalogueCopies();

    const std::shared_ptr<katalox::store::CopySource>& source() const { return source_; }
    std::vector<katalox::store::DiskPresence> disks() const;
    // The file's own database; null on a server.
    katalox::store::Database* file() const;
    std::optional<katalox::store::DiskCheck> lastCheck(const std::string& diskId) const;
    std::vector<katalox::store::FoundProblem> findings(const std::string& diskId) const;
    katalox::store::DiskCoverage coverage(const std::string& diskId) const;
    std::vector<katalox::store::CopiedFolder>
    copiedFolders(const katalox::store::CopyFilter& filter, std::size_t limit) const;
    // The record of a stored path of the Disk ID, for a listing that does not show the Ids.
    std::optional<std::int64_t> recordOf(const std::string& diskId,
                                         const std::string& storedPath) const;
    // A verification's store on a connection of its own, kept for its whole run.
    std::unique_ptr<katalox::store::VerifyStore> verifyStore() const;

private:
    std::string location_;
    std::string table_;
    std::unique_ptr<katalox::store::Catalog> catalog_; // of a file
    std::shared_ptr<katalox::store::CopySource> source_;
};
