#pragma once
// One Disk ID's folders and files as a file manager shows them: each recorded scan's folder
// tree with real names, the files of a folder with their real names, sizes and times, and the
// totals of every folder with all below it. Records without facts (written by other programs,
// or before facts were kept) are placed by their stored paths, in folders named as stored;
// so are members of archives, whose archive shows as a folder of its own.
// Folders are read once; a folder's files are read when asked for.
#include "store/catalog/RecordedDisks.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace katalox::store {

class ContentsRows;
class Database;

struct ContentsFile {
    std::int64_t record = 0;
    std::string name; // the real name when known, else the record's
    std::int64_t size = 0;
    std::optional<std::int64_t> modified; // seconds since 1970, when recorded
};

struct ContentsFolder {
    static constexpr std::uint32_t kNoParent = UINT32_MAX;
    std::int64_t id = 0;  // its row of folders, 0 for one known only from record paths
    std::size_t scan = 0; // index into scans(); scans().size() for records of no scan
    std::uint32_t parent = kNoParent;
    std::string name; // a root's whole path, ending with the separator; else its own name
    std::int64_t ownFiles = 0;
    std::int64_t ownBytes = 0;
    std::int64_t totalFiles = 0; // with every folder below
    std::int64_t totalBytes = 0;
    // The inside of an archive (named as the archive is stored), and the bytes its members and
    // those below hold: kept apart from the disk's own, so that no total counts them twice.
    bool archive = false;
    std::int64_t ownArchivedBytes = 0;
    std::int64_t totalArchivedBytes = 0;
    std::vector<std::uint32_t> children; // those holding files
    std::vector<ContentsFile> loose;     // records without facts placed here
};

class DiskContents {
public:
    // Reads the folders of `diskId` in `table`. Throws EngineError.
    DiskContents(std::shared_ptr<Database> db, std::string table, std::string diskId);
    // The same from any catalogue's rows (a server's).
    DiskContents(std::shared_ptr<ContentsRows> rows, std::string diskId);

    const std::string& diskId() const { return diskId_; }
    const std::vector<RecordedScan>& scans() const { return scans_; }
    const std::vector<ContentsFolder>& folders() const { return folders_; }
    const std::vector<std::uint32_t>& roots() const { return roots_; }
    std::int64_t totalFiles() const;
    std::int64_t totalBytes() const;
    // Bytes of the members of the disk's archives (not in totalBytes()).
    std::int64_t totalArchivedBytes() const;

    // The files directly in `folder`, in no particular order. Throws EngineError.
    std::vector<ContentsFile> filesIn(std::uint32_t folder) const;
    // The folder's path as scanned (real names where known), ending with the separator; the
    // inside of an archive with kMemberSeparator after the archive's name.
    std::string pathOf(std::uint32_t folder) const;
    // The folder of `path` (as pathOf() gives it) that still holds files, else the nearest
    // folder above it that does (a root always does).
    std::optional<std::uint32_t> folderAt(std::string path) const;
    // The inside of the outermost archive that `folder` lies in (or is), when it is in one: its
    // parent is the disk's folder holding the archive, which is named as the folder is.
    std::optional<std::uint32_t> archiveHolding(std::uint32_t folder) const;
    // The folder holding record `record`, if it is one of this disk's.
    std::optional<std::uint32_t> folderOfRecord(std::int64_t record) const;
    // Where `folder` (and `fileName` in it, when given) lies on the live file system now;
    // none when its disk is not connected or it is not there.
    std::optional<std::string> livePath(std::uint32_t folder,
                                        const std::string& fileName = {}) const;

private:
    void readFolders();
    void placeLooseRecords(std::int64_t recorded);
    // The child of `folder` whose upper-cased name is `name`, made (named `shownName`) when
    // there is none.
    std::uint32_t childNamed(std::uint32_t folder, const std::string& name, std::string shownName);
    void addTotals();

    std::shared_ptr<ContentsRows> rows_;
    std::string diskId_;
    std::vector<RecordedScan> scans_;
    std::vector<ContentsFolder> folders_;
    std::vector<std::uint32_t> roots_;
    std::unordered_map<std::int64_t, std::uint32_t> byId_;
};

} // namespace katalox::store
