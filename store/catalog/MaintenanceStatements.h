#pragma once
// The statements of the main window's maintenance commands, and the total of "Check Size".
// Pure functions, so the statements and the totals can be checked without a window.
#include <cstdint>
#include <string>
#include <vector>

namespace katalox::store {

// Deletes the one record whose "Id" is `id`.
std::vector<std::string> deleteEntryStatement(std::int64_t id);

// Deletes every record of a Disk ID, compared exactly (a double quote in it stays text).
std::vector<std::string> deleteDiskIdStatement(const std::string& diskId);

// Gives every record of `diskId` the Disk ID `newName`, stored exactly as typed.
std::vector<std::string> renameDiskIdStatement(const std::string& diskId,
                                               const std::string& newName);

// The total of "Check Size": each file counts in whole kilobytes, the sum in whole megabytes.
// 64 bits throughout, so files of 2 GiB and more and catalogues of many terabytes add up.
class SizeTotal {
public:
    void add(std::int64_t bytes) { kilobytes_ += bytes / 1024; }
    // Kilobytes of many records at once, each record's rounded down as add() does.
    void addKilobytes(std::int64_t kilobytes) { kilobytes_ += kilobytes; }
    std::int64_t megabytes() const { return kilobytes_ / 1024; }

private:
    std::int64_t kilobytes_ = 0;
};

} // namespace katalox::store
