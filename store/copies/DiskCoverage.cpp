#include "store/copies/DiskCoverage.h"

#include "platform/Paths.h"
#include "store/copies/CopySource.h"
#include "store/sqlite/Transaction.h"

#include <algorithm>
#include <unordered_map>

namespace katalox::store {

namespace {

// For each file, whether a record elsewhere has its print: the catalogue counts more of it
// than this disk holds. The files are taken in the order of their prints, and the files of
// one print are counted together.
std::vector<char> copiedElsewhere(CopySource& source, const std::string& diskId,
                                  const std::vector<PrintedFile>& files) {
    std::vector<std::pair<std::uint64_t, std::uint32_t>> byPrint;
    for (std::size_t i = 0; i < files.size(); ++i)
        if (files[i].printed)
            byPrint.emplace_back(files[i].key, static_cast<std::uint32_t>(i));
    std::sort(byPrint.begin(), byPrint.end());
    std::vector<std::uint64_t> keys;
    for (std::size_t i = 0; i < byPrint.size(); ++i)
        if (i == 0 || byPrint[i].first != byPrint[i - 1].first)
            keys.push_back(byPrint[i].first);
    const std::vector<std::int64_t> copies = source.copiesOf(diskId, keys);
    std::vector<char> elsewhere(files.size(), 0);
    std::size_t key = 0;
    for (std::size_t from = 0; from < byPrint.size(); ++key) {
        std::size_t to = from + 1;
        while (to < byPrint.size() && byPrint[to].first == byPrint[from].first)
            ++to;
        const bool copied = copies[key] > static_cast<std::int64_t>(to - from);
        for (; from < to; ++from)
            elsewhere[byPrint[from].second] = copied ? 1 : 0;
    }
    return elsewhere;
}

class FolderTree {
public:
    explicit FolderTree(std::vector<CoverageFolder>& folders) : folders_(folders) {
        folders_.push_back({std::string(1, platform::kPathSeparator), 0, {}, {}, {}, {}});
        byPath_.emplace(folders_[0].path, 0);
    }
    std::size_t folderOf(const std::string& path) {
        const std::size_t cut = path.rfind(platform::kPathSeparator);
        const std::string folder = path.substr(0, cut == std::string::npos ? 0 : cut + 1);
        return folder.size() <= 1 ? 0 : indexOf(folder);
    }

private:
    std::size_t indexOf(const std::string& folder) {
        if (const auto found = byPath_.find(folder); found != byPath_.end())
            return found->second;
        const std::size_t parent = folderOf(folder.substr(0, folder.size() - 1));
        folders_.push_back({folder, parent, {}, {}, {}, {}});
        const std::size_t index = folders_.size() - 1;
        folders_[parent].children.push_back(index);
        byPath_.emplace(folder, index);
        return index;
    }
    std::vector<CoverageFolder>& folders_;
    std::unordered_map<std::string, std::size_t> byPath_;
};

} // namespace

double DiskCoverage::protectedShare() const {
    const std::int64_t known = copied.bytes + single.bytes;
    return known > 0 ? static_cast<double>(copied.bytes) / static_cast<double>(known) : 0.0;
}

DiskCoverage coverageOf(CopySource& source, const std::string& diskId) {
    DiskCoverage coverage;
    if (!source.keepsPrints())
        return coverage;
    std::vector<PrintedFile> files = source.filesOf(diskId);
    const std::vector<char> elsewhere = copiedElsewhere(source, diskId, files);
    FolderTree tree(coverage.folders);
    std::size_t lastFolder = 0;
    std::string lastFolderPath;
    for (std::size_t i = 0; i < files.size(); ++i) {
        PrintedFile& file = files[i];
        if (file.size <= 0)
            continue;
        // Files of one folder mostly come one after another.
        const std::size_t cut = file.path.rfind(platform::kPathSeparator);
        if (cut == std::string::npos || file.path.compare(0, cut + 1, lastFolderPath) != 0 ||
            lastFolderPath.size() != cut + 1) {
            lastFolder = tree.folderOf(file.path);
            lastFolderPath = file.path.substr(0, cut == std::string::npos ? 0 : cut + 1);
        }
        CoverageFolder& folder = coverage.folders[lastFolder];
        if (!file.printed) {
            folder.unknown.add(file.size);
        } else if (elsewhere[i] != 0) {
            folder.copied.add(file.size);
        } else {
            folder.single.add(file.size);
            coverage.singlePaths.push_back(std::move(file.path));
        }
    }
    // Children come after their parents: rolled up from the last folder back.
    for (std::size_t i = coverage.folders.size(); i-- > 1;) {
        CoverageFolder& folder = coverage.folders[i];
        CoverageFolder& parent = coverage.folders[folder.parent];
        parent.copied.add(folder.copied);
        parent.single.add(folder.single);
        parent.unknown.add(folder.unknown);
    }
    for (CoverageFolder& folder : coverage.folders)
        std::sort(folder.children.begin(), folder.children.end(),
                  [&](std::size_t a, std::size_t b) {
                      return coverage.folders[a].single.bytes > coverage.folders[b].single.bytes;
                  });
    coverage.copied = coverage.folders[0].copied;
    coverage.single = coverage.folders[0].single;
    coverage.unknown = coverage.folders[0].unknown;
    return coverage;
}

DiskCoverage coverageOf(Database& db, const std::string& table, const std::string& diskId) {
    // One read transaction for the million lookups: the engine takes and checks its lock once
    // instead of for each. The windows are not answered meanwhile, as another action of theirs
    // on this connection would land inside it.
    const ReadSnapshot snapshot(db);
    return coverageOf(*fileCopySource(db, table), diskId);
}

void keepProtectedShare(CopySource& source, const std::string& diskId,
                        const DiskCoverage& coverage) {
    if (source.keepsPrints())
        source.keepShare(diskId,
                         {coverage.copied.bytes, coverage.copied.bytes + coverage.single.bytes});
}

std::optional<double> keptProtectedShare(CopySource& source, const std::string& diskId) {
    if (!source.keepsPrints())
        return std::nullopt;
    const std::optional<KeptShare> kept = source.keptShare(diskId);
    if (!kept || kept->knownBytes <= 0)
        return std::nullopt;
    return static_cast<double>(kept->protectedBytes) / static_cast<double>(kept->knownBytes);
}

// The Disk Checks of a catalogue file do not depend on the catalogue table's name.
void keepProtectedShare(Database& db, const std::string& diskId, const DiskCoverage& coverage) {
    keepProtectedShare(*fileCopySource(db, {}), diskId, coverage);
}

std::optional<double> keptProtectedShare(Database& db, const std::string& diskId) {
    return keptProtectedShare(*fileCopySource(db, {}), diskId);
}

} // namespace katalox::store
