#pragma once
// What the copies of a catalogue are worked out from: the few reads that differ between a
// catalogue file and a catalogue on a server, behind which the grouping, the other copies and
// the coverage of a disk are the same. Paths and Disk IDs are the file system's bytes, prints
// their own 16 bytes and keys their leading 8.
#include "store/copies/OtherCopies.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace katalox::store {

class Database;

// A record's own print, the whole hash of its verification (empty when none) and its size.
struct OwnPrint {
    std::string print;
    std::string wholeHash;
    std::int64_t size = 0;
};

// A file of a disk with the key of its print.
struct PrintedFile {
    std::int64_t record = 0;
    std::string path; // as stored
    std::int64_t size = 0;
    bool printed = false;
    std::uint64_t key = 0; // the key's bytes read as a big-endian number: they sort alike
};

// The shares of a disk's bytes kept once worked out (DiskCoverage.h).
struct KeptShare {
    std::int64_t protectedBytes = 0;
    std::int64_t knownBytes = 0;
};

class CopySource {
public:
    virtual ~CopySource() = default;

    // False when the catalogue keeps no prints at all.
    virtual bool keepsPrints() = 0;

    // The groups of at least `minCopies` prints of at least `minSize` bytes, most wasted bytes
    // first, one by one: their key and size.
    class Groups {
    public:
        virtual ~Groups() = default;
        virtual bool next(std::string& key, std::int64_t& size) = 0;
    };
    virtual std::unique_ptr<Groups> groups(std::int64_t minSize, std::int64_t minCopies) = 0;

    // Every record with a print of key `key`, by Disk ID and path.
    virtual std::vector<PrintedRecord> recordsWithKey(const std::string& key) = 0;
    // None when the record has no print.
    virtual std::optional<OwnPrint> printOf(std::int64_t record) = 0;

    // The files of the Disk ID in record order, members of archives left out.
    virtual std::vector<PrintedFile> filesOf(const std::string& diskId) = 0;
    // How many records of the catalogue have each of `keys`, the keys of files of `diskId`, in
    // rising order; 0 for a key no other record shares.
    virtual std::vector<std::int64_t> copiesOf(const std::string& diskId,
                                               const std::vector<std::uint64_t>& keys) = 0;

    virtual void keepShare(const std::string& diskId, const KeptShare& share) = 0;
    virtual std::optional<KeptShare> keptShare(const std::string& diskId) = 0;
};

// The reads of catalogue table `table` of a catalogue file.
std::unique_ptr<CopySource> fileCopySource(Database& db, const std::string& table);

} // namespace katalox::store
