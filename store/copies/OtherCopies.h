#pragma once
// Where else a record's content lies: every record on any disk with the same sampled print and
// size. A copy is sure when both were read whole by a verification and their whole hashes
// agree; records whose whole hashes differ are not copies at all; the rest are probable.
#include <cstdint>
#include <string>
#include <vector>

namespace katalox::store {

class CopySource;
class Database;

struct KnownCopy {
    std::int64_t record = 0;
    std::string diskId;
    std::string path; // as stored
    std::int64_t size = 0;
    bool sure = false;
};

// The other copies of `record`, by Disk ID and path; none when it has no print.
std::vector<KnownCopy> otherCopies(CopySource& source, std::int64_t record);
// The same in table `table` of a catalogue file.
std::vector<KnownCopy> otherCopies(Database& db, const std::string& table, std::int64_t record);

// Every record with the print whose index key is `key`, with its whole hash (empty when not
// verified) and its whole sampled print: the members of one group of copies.
struct PrintedRecord {
    KnownCopy copy;
    std::string wholeHash;
    std::string print;
};
std::vector<PrintedRecord> recordsWithKey(Database& db, const std::string& table,
                                          const std::string& key);

} // namespace katalox::store
