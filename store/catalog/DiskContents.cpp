#include "store/catalog/DiskContents.h"

#include "platform/Find.h"
#include "platform/Paths.h"
#include "platform/RealPath.h"
#include "platform/Utf8.h"
#include "store/archives/ArchiveListing.h"
#include "store/catalog/ContentsOnFile.h"
#include "store/catalog/DiskPlace.h"

#include <algorithm>

namespace katalox::store {

namespace {

constexpr char kSeparator = platform::kPathSeparator;

std::size_t partsIn(std::string_view path) {
    return static_cast<std::size_t>(std::count(path.begin(), path.end(), kSeparator));
}

bool exists(const std::string& path) {
    if (path.size() > 1 && path.back() == kSeparator)
        return platform::FindOperation::lookUp(path.substr(0, path.size() - 1)).has_value();
    return platform::FindOperation::lookUp(path).has_value();
}

} // namespace

DiskContents::DiskContents(std::shared_ptr<Database> db, std::string table, std::string diskId)
    : DiskContents(std::make_shared<FileContentsRows>(std::move(db), std::move(table)),
                   std::move(diskId)) {}

DiskContents::DiskContents(std::shared_ptr<ContentsRows> rows, std::string diskId)
    : rows_(std::move(rows)), diskId_(std::move(diskId)), scans_(rows_->scans(diskId_)) {
    readFolders();
    std::int64_t recorded = 0;
    for (const ContentsFolder& folder : folders_)
        recorded += folder.ownFiles;
    if (rows_->recordCount(diskId_) != recorded)
        placeLooseRecords(recorded);
    addTotals();
}

void DiskContents::readFolders() {
    std::unordered_map<std::int64_t, std::size_t> scanOf;
    std::vector<std::int64_t> scanIds;
    for (std::size_t i = 0; i < scans_.size(); ++i) {
        scanOf[scans_[i].id] = i;
        scanIds.push_back(scans_[i].id);
    }
    std::vector<bool> rooted(scans_.size(), false);
    // Parents are written before their children, so in Id order each parent comes first.
    for (ContentsFolderRow& row : rows_->folders(scanIds)) {
        ContentsFolder folder;
        folder.id = row.id;
        folder.scan = scanOf.at(row.scan);
        folder.name = std::move(row.name);
        folder.ownFiles = row.files;
        folder.ownBytes = row.bytes;
        const auto index = static_cast<std::uint32_t>(folders_.size());
        if (!row.parent) {
            roots_.push_back(index);
            rooted[folder.scan] = true;
        } else if (const auto up = byId_.find(*row.parent); up != byId_.end()) {
            folder.parent = up->second;
            folders_[up->second].children.push_back(index);
        } else {
            continue; // its parent is gone: nothing can reach it
        }
        byId_[folder.id] = index;
        folders_.push_back(std::move(folder));
    }
    // A scan whose files have no facts still shows as a root, for its records to go under.
    for (std::size_t i = 0; i < scans_.size(); ++i) {
        if (rooted[i])
            continue;
        ContentsFolder root;
        root.scan = i;
        root.name = scans_[i].scannedFolder;
        roots_.push_back(static_cast<std::uint32_t>(folders_.size()));
        folders_.push_back(std::move(root));
    }
}

std::uint32_t DiskContents::childNamed(std::uint32_t folder, const std::string& name,
                                       std::string shownName) {
    for (const std::uint32_t child : folders_[folder].children)
        if (platform::upperCase(folders_[child].name) == name)
            return child;
    ContentsFolder made;
    made.scan = folders_[folder].scan;
    made.parent = folder;
    made.name = std::move(shownName);
    const auto index = static_cast<std::uint32_t>(folders_.size());
    folders_.push_back(std::move(made));
    folders_[folder].children.push_back(index);
    return index;
}

void DiskContents::placeLooseRecords(std::int64_t recorded) {
    // Records without facts that apply here: none, dropped, or in a folder of another disk's
    // (a record another program gave this Disk ID).
    std::vector<std::int64_t> ownFolders;
    for (const auto& [id, index] : byId_)
        ownFolders.push_back(id);
    std::vector<std::pair<std::string, std::uint32_t>> rootPaths;
    for (const std::uint32_t root : roots_)
        rootPaths.emplace_back(platform::upperCase(folders_[root].name), root);
    // Longest first: the scan whose folder holds the path most closely wrote it.
    std::sort(rootPaths.begin(), rootPaths.end(),
              [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
    std::string lastFolder(1, '\0');
    std::uint32_t lastIndex = 0;
    rows_->looseRecords(diskId_, recorded > 0, ownFolders, [&](LooseRecord& loose) {
        ContentsFile file;
        file.record = loose.record;
        const std::string& path = loose.path;
        file.size = loose.size;
        const std::string& names = loose.names;
        const std::size_t cut = path.rfind(kSeparator);
        file.name = names.substr(names.rfind(kSeparator) + 1);
        const std::string_view folderPath(path.data(), cut == std::string::npos ? 0 : cut + 1);
        if (folderPath != lastFolder) {
            auto root = std::find_if(rootPaths.begin(), rootPaths.end(), [&](const auto& r) {
                return folderPath.substr(0, r.first.size()) == r.first;
            });
            if (root == rootPaths.end()) {
                // Records of no recorded scan go under the file system's root.
                ContentsFolder top;
                top.scan = scans_.size();
                top.name = std::string(1, kSeparator);
                roots_.push_back(static_cast<std::uint32_t>(folders_.size()));
                rootPaths.emplace_back(top.name, roots_.back());
                folders_.push_back(std::move(top));
                root = rootPaths.end() - 1;
            }
            std::uint32_t at = root->second;
            std::size_t from = std::min(root->first.size(), folderPath.size());
            // `names` has the same parts as `path`, some in another case.
            std::size_t nameFrom = 0;
            for (std::size_t parts = partsIn(folderPath.substr(0, from)); parts > 0; --parts)
                nameFrom = names.find(kSeparator, nameFrom) + 1;
            while (from < folderPath.size()) {
                const std::size_t end = folderPath.find(kSeparator, from);
                const std::size_t nameEnd = names.find(kSeparator, nameFrom);
                if (end > from)
                    at = childNamed(at, std::string(folderPath.substr(from, end - from)),
                                    names.substr(nameFrom, nameEnd - nameFrom));
                else if (from > 0)
                    folders_[at].archive = true; // two separators: an archive's inside follows
                from = end + 1;
                nameFrom = nameEnd + 1;
            }
            lastFolder.assign(folderPath);
            lastIndex = at;
        }
        ContentsFolder& into = folders_[lastIndex];
        ++into.ownFiles;
        (path.find(kMemberSeparator) == std::string::npos ? into.ownBytes
                                                          : into.ownArchivedBytes) += file.size;
        into.loose.push_back(std::move(file));
    });
}

void DiskContents::addTotals() {
    // Every child lies after its parent, so one backward pass sums each tree.
    for (ContentsFolder& folder : folders_) {
        folder.totalFiles = folder.ownFiles;
        folder.totalBytes = folder.ownBytes;
        folder.totalArchivedBytes = folder.ownArchivedBytes;
    }
    for (std::size_t i = folders_.size(); i-- > 0;) {
        const ContentsFolder& folder = folders_[i];
        if (folder.parent != ContentsFolder::kNoParent) {
            folders_[folder.parent].totalFiles += folder.totalFiles;
            folders_[folder.parent].totalBytes += folder.totalBytes;
            folders_[folder.parent].totalArchivedBytes += folder.totalArchivedBytes;
        }
    }
    // A folder whose files were all deleted (by another program, say) has nothing to show.
    for (ContentsFolder& folder : folders_)
        std::erase_if(folder.children,
                      [this](std::uint32_t child) { return folders_[child].totalFiles == 0; });
}

std::optional<std::uint32_t> DiskContents::folderAt(std::string path) const {
    while (!path.empty()) {
        for (std::uint32_t i = 0; i < folders_.size(); ++i)
            if ((folders_[i].totalFiles > 0 || folders_[i].parent == ContentsFolder::kNoParent) &&
                pathOf(i) == path)
                return i;
        // Up one folder: the path without its last component.
        path.pop_back();
        path.erase(path.rfind(kSeparator) + 1);
    }
    return std::nullopt;
}

std::int64_t DiskContents::totalFiles() const {
    std::int64_t files = 0;
    for (const std::uint32_t root : roots_)
        files += folders_[root].totalFiles;
    return files;
}

std::int64_t DiskContents::totalBytes() const {
    std::int64_t bytes = 0;
    for (const std::uint32_t root : roots_)
        bytes += folders_[root].totalBytes;
    return bytes;
}

std::int64_t DiskContents::totalArchivedBytes() const {
    std::int64_t bytes = 0;
    for (const std::uint32_t root : roots_)
        bytes += folders_[root].totalArchivedBytes;
    return bytes;
}

std::vector<ContentsFile> DiskContents::filesIn(std::uint32_t folder) const {
    const ContentsFolder& from = folders_.at(folder);
    std::vector<ContentsFile> files = from.loose;
    if (from.id == 0)
        return files;
    std::vector<ContentsFile> own = rows_->filesOf(from.id, diskId_);
    files.insert(files.end(), std::make_move_iterator(own.begin()),
                 std::make_move_iterator(own.end()));
    return files;
}

std::string DiskContents::pathOf(std::uint32_t folder) const {
    std::vector<const ContentsFolder*> chain;
    for (std::uint32_t at = folder; at != ContentsFolder::kNoParent; at = folders_[at].parent)
        chain.push_back(&folders_[at]);
    std::string path = chain.back()->name;
    for (std::size_t i = chain.size() - 1; i-- > 0;) {
        path.append(chain[i]->name).push_back(kSeparator);
        if (chain[i]->archive)
            path.append(kMemberSeparator.substr(1)); // as the members' records have it
    }
    return path;
}

std::optional<std::uint32_t> DiskContents::archiveHolding(std::uint32_t folder) const {
    std::optional<std::uint32_t> outermost;
    for (std::uint32_t at = folder; at != ContentsFolder::kNoParent; at = folders_.at(at).parent)
        if (folders_[at].archive)
            outermost = at;
    return outermost;
}

std::optional<std::uint32_t> DiskContents::folderOfRecord(std::int64_t record) const {
    if (const std::optional<std::int64_t> folderId = rows_->folderOfRecord(record))
        if (const auto found = byId_.find(*folderId); found != byId_.end())
            return found->second;
    for (std::uint32_t i = 0; i < folders_.size(); ++i)
        for (const ContentsFile& file : folders_[i].loose)
            if (file.record == record)
                return i;
    return std::nullopt;
}

std::optional<std::string> DiskContents::livePath(std::uint32_t folder,
                                                  const std::string& fileName) const {
    const std::string scanned = pathOf(folder) + fileName;
    const std::size_t scan = folders_.at(folder).scan;
    if (scan >= scans_.size())
        return platform::realPathOf(platform::upperCase(scanned));
    const ScanPlace place = locateScan(scans_[scan]);
    if (place.state != ScanPlace::State::Connected)
        return std::nullopt;
    const std::string relative =
        scanned.substr(std::min(scanned.size(), scans_[scan].scannedFolder.size()));
    if (std::string direct = place.folderNow + relative; exists(direct))
        return direct;
    // Folders known only from record paths are named as stored: their case is looked up.
    return platform::realPathUnder(place.folderNow, platform::upperCase(relative));
}

} // namespace katalox::store
