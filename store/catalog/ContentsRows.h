#pragma once
// What DiskContents reads of a catalogue, behind a small interface: the rows of a catalogue
// file (ContentsOnFile.h) or of a catalogue on a server (store/postgres/PgContents.h).
#include "store/catalog/RecordedDisks.h"
#include "store/facts/FactRuns.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace katalox::store {

struct ContentsFile;

// A row of the folders of a scan.
struct ContentsFolderRow {
    std::int64_t id = 0;
    std::int64_t scan = 0;
    std::optional<std::int64_t> parent;
    std::string name;
    std::int64_t files = 0;
    std::int64_t bytes = 0;
};

// A record placed by its stored path: `names` is that path with real names where they are
// known (a member of an archive's), always of the same parts.
struct LooseRecord {
    std::int64_t record = 0;
    std::string path;
    std::string names;
    std::int64_t size = 0;
};

class ContentsRows {
public:
    virtual ~ContentsRows() = default;
    // The recorded scans of `diskId`, oldest first.
    virtual std::vector<RecordedScan> scans(const std::string& diskId) = 0;
    // The folders of the scans, in Id order (parents before their children).
    virtual std::vector<ContentsFolderRow> folders(const std::vector<std::int64_t>& scanIds) = 0;
    virtual std::int64_t recordCount(const std::string& diskId) = 0;
    // The records of `diskId`; when `withoutOwnFacts`, only those whose facts do not place
    // them in one of the folders `ownFolders` (none, dropped, or of another disk's folder).
    virtual void looseRecords(const std::string& diskId, bool withoutOwnFacts,
                              const std::vector<std::int64_t>& ownFolders,
                              const std::function<void(LooseRecord&)>& each) = 0;
    // The files of `diskId` that the folder `folder` holds by their facts, with real names and
    // times; those deleted, moved to another disk or whose facts were dropped are left out.
    virtual std::vector<ContentsFile> filesOf(std::int64_t folder, const std::string& diskId) = 0;
    // The folder that the facts of `record` place it in, when they still apply.
    virtual std::optional<std::int64_t> folderOfRecord(std::int64_t record) = 0;
};

class RecordedFactsReader;

// The stored paths of members with their real names: the archive's as its facts recorded it,
// the member's as its row of ours keeps it.
class RealMemberNames {
public:
    explicit RealMemberNames(std::unique_ptr<RecordedFactsReader> facts);
    ~RealMemberNames();
    // `storedPath` with real names where they are known: always of the same parts.
    std::string of(const std::string& storedPath, std::int64_t archive,
                   const std::string& memberPath);

private:
    std::unique_ptr<RecordedFactsReader> facts_;
    std::int64_t lastArchive_ = 0;
    std::string archiveName_;
};

// The file of record `record` (whose "File Name" is `upperName`) of the run of `facts` that
// starts at record `first`, with its real name and time.
ContentsFile runFile(const std::vector<FileFact>& facts, std::int64_t first, std::int64_t record,
                     const std::string& upperName, std::int64_t size);

} // namespace katalox::store
