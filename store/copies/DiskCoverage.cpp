#include "store/copies/DiskCoverage.h"

#include "platform/Paths.h"
#include "store/archives/ArchiveListing.h"
#include "store/prints/ContentPrint.h"
#include "store/prints/PrintTables.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"
#include "store/sqlite/Transaction.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace katalox::store {

namespace {

struct DiskFile {
    std::int64_t record;
    std::string path;
    std::int64_t size;
    std::uint64_t key = 0; // 0: no print
};

// The prints of records read run by run, in record order.
class RunCursor {
public:
    explicit RunCursor(Database& db)
        : select_(db.prepare("SELECT \"First Record\", \"Records\", \"Prints\" FROM " +
                             quoteIdentifier(kPrintRunsTable) +
                             " WHERE \"First Record\" = (SELECT max(\"First Record\") FROM " +
                             quoteIdentifier(kPrintRunsTable) + " WHERE \"First Record\" <= ?1)")) {
    }

    std::uint64_t keyOf(std::int64_t record) {
        if (record < first_ || record >= first_ + count_) {
            select_.reset();
            select_.bindInteger(1, record);
            first_ = count_ = 0;
            prints_.clear();
            if (select_.step()) {
                first_ = select_.columnInteger(0);
                count_ = select_.columnInteger(1);
                prints_ = select_.columnValue(2).asString();
            }
            select_.reset();
        }
        const auto at = static_cast<std::size_t>(record - first_) * 16;
        if (record < first_ || record >= first_ + count_ || at + 16 > prints_.size())
            return 0;
        const ContentPrint print = ContentPrint::fromBytes(std::string_view(prints_).substr(at));
        if (!print.known())
            return 0;
        std::uint64_t key = 0;
        std::memcpy(&key, print.key().data(), sizeof key);
        return key == 0 ? 1 : key;
    }

private:
    Statement select_;
    std::int64_t first_ = 0;
    std::int64_t count_ = 0;
    std::string prints_;
};

std::vector<DiskFile> filesOf(Database& db, const std::string& table, const std::string& diskId) {
    std::vector<DiskFile> files;
    const std::string name = quoteIdentifier(table);
    // A disk inserted in one go holds a run of records: read as a stretch of the table, its
    // rows come page after page instead of each through the Disk ID index.
    Statement span = db.prepare("SELECT min(rowid), max(rowid), count(*) FROM " + name +
                                " WHERE \"Disk ID\" = ?1");
    span.bindText(1, diskId);
    span.step();
    const std::int64_t first = span.columnInteger(0);
    const std::int64_t last = span.columnInteger(1);
    const bool compact = last - first < 2 * span.columnInteger(2);
    const std::string members =
        " AND instr(\"File Path\", '" + std::string(kMemberSeparator) + "') = 0 ORDER BY rowid";
    Statement select =
        compact ? db.prepare("SELECT rowid, \"File Path\", \"File Size\" FROM " + name +
                             " NOT INDEXED WHERE rowid BETWEEN ?2 AND ?3 AND \"Disk ID\" = ?1" +
                             members)
                : db.prepare("SELECT rowid, \"File Path\", \"File Size\" FROM " + name +
                             " WHERE \"Disk ID\" = ?1" + members);
    select.bindText(1, diskId);
    if (compact) {
        select.bindInteger(2, first);
        select.bindInteger(3, last);
    }
    RunCursor runs(db);
    while (select.step()) {
        DiskFile file{select.columnInteger(0), select.columnValue(1).asString(),
                      select.columnInteger(2)};
        if (file.size > 0)
            file.key = runs.keyOf(file.record);
        files.push_back(std::move(file));
    }
    return files;
}

// Copies of each print in the catalogue, asked for in the groups' own order: one look-up each
// for a few prints, one pass along the groups for many, where the pass costs less than the
// look-ups it replaces.
class GroupCopies {
public:
    GroupCopies(Database& db, std::size_t prints)
        : passing_(prints >= kPassFrom),
          select_(db.prepare(
              passing_ ? "SELECT \"Print\", \"Copies\" FROM " + quoteIdentifier(kCopyGroupsTable) +
                             " ORDER BY \"Print\""
                       : "SELECT \"Print\", \"Copies\" FROM " + quoteIdentifier(kCopyGroupsTable) +
                             " WHERE \"Print\" = ?1")) {}

    // `ordered`: the print's leading bytes read as a big-endian number; asked in rising order.
    std::int64_t of(std::uint64_t ordered) {
        if (!passing_) {
            const std::uint64_t bytes = __builtin_bswap64(ordered);
            select_.reset();
            select_.bindBlob(1, std::string_view(reinterpret_cast<const char*>(&bytes), 8));
            return select_.step() ? select_.columnInteger(1) : 0;
        }
        while (!ended_ && (!started_ || at_ < ordered)) {
            started_ = true;
            if (!select_.step()) {
                ended_ = true;
                break;
            }
            const Value print = select_.columnValue(0);
            std::uint64_t bytes = 0;
            if (const std::string* text = print.text(); text && text->size() == 8)
                std::memcpy(&bytes, text->data(), 8);
            at_ = __builtin_bswap64(bytes);
            copies_ = select_.columnInteger(1);
        }
        return !ended_ && at_ == ordered ? copies_ : 0;
    }

private:
    static constexpr std::size_t kPassFrom = 100000;
    bool passing_;
    Statement select_;
    bool started_ = false;
    bool ended_ = false;
    std::uint64_t at_ = 0;
    std::int64_t copies_ = 0;
};

// For each file, whether a record elsewhere has its print: the catalogue counts more of it
// than this disk holds. The files are taken in the order of their prints, and the files of
// one print are counted together.
std::vector<char> copiedElsewhere(Database& db, const std::vector<DiskFile>& files) {
    // The keys hold the prints' leading bytes in memory order; the groups sort them as bytes.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> byPrint;
    for (std::size_t i = 0; i < files.size(); ++i)
        if (files[i].key != 0)
            byPrint.emplace_back(__builtin_bswap64(files[i].key), static_cast<std::uint32_t>(i));
    std::sort(byPrint.begin(), byPrint.end());
    GroupCopies groups(db, byPrint.size());
    std::vector<char> elsewhere(files.size(), 0);
    for (std::size_t from = 0; from < byPrint.size();) {
        std::size_t to = from + 1;
        while (to < byPrint.size() && byPrint[to].first == byPrint[from].first)
            ++to;
        const bool copied = groups.of(byPrint[from].first) > static_cast<std::int64_t>(to - from);
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

DiskCoverage coverageOf(Database& db, const std::string& table, const std::string& diskId) {
    DiskCoverage coverage;
    if (!hasPrintTables(db))
        return coverage;
    // One read transaction for the million lookups: the engine takes and checks its lock once
    // instead of for each. The windows are not answered meanwhile, as another action of theirs
    // on this connection would land inside it.
    const ReadSnapshot snapshot(db);
    std::vector<DiskFile> files = filesOf(db, table, diskId);
    const std::vector<char> elsewhere = copiedElsewhere(db, files);
    FolderTree tree(coverage.folders);
    std::size_t lastFolder = 0;
    std::string lastFolderPath;
    for (std::size_t i = 0; i < files.size(); ++i) {
        DiskFile& file = files[i];
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
        if (file.key == 0) {
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

void keepProtectedShare(Database& db, const std::string& diskId, const DiskCoverage& coverage) {
    if (!hasPrintTables(db))
        return;
    db.execute("INSERT INTO " + quoteIdentifier(kDiskChecksTable) +
                   " (\"Disk ID\", \"Protected Bytes\", \"Known Bytes\") VALUES (?1, ?2, ?3) ON "
                   "CONFLICT (\"Disk ID\") DO UPDATE SET \"Protected Bytes\" = "
                   "excluded.\"Protected Bytes\", \"Known Bytes\" = excluded.\"Known Bytes\"",
               {Value(diskId), Value(coverage.copied.bytes),
                Value(coverage.copied.bytes + coverage.single.bytes)});
}

std::optional<double> keptProtectedShare(Database& db, const std::string& diskId) {
    if (!hasPrintTables(db))
        return std::nullopt;
    Statement select = db.prepare("SELECT \"Protected Bytes\", \"Known Bytes\" FROM " +
                                  quoteIdentifier(kDiskChecksTable) + " WHERE \"Disk ID\" = ?1");
    select.bindText(1, diskId);
    if (!select.step() || select.columnValue(1).isNull() || select.columnInteger(1) <= 0)
        return std::nullopt;
    return static_cast<double>(select.columnInteger(0)) /
           static_cast<double>(select.columnInteger(1));
}

} // namespace katalox::store
