#pragma once
// Verifying a connected disk: every file of the Disk ID read whole, its whole hash kept, and
// what the reading found: content that changed while size and time did not (silent
// corruption), files gone, files unreadable, and files changed in the ordinary way since the
// scan (size or time differ; an update of the disk takes those in). Work is committed every
// few hundred files, so a verification stopped or killed resumes where it stopped: each file
// checked is marked with the verification's start time, which also tells the disk's last one.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace katalox::store {

class Catalog;
class Database;
class VerifyStore;

enum class VerifyFinding : std::int64_t {
    Corrupted = 1,  // the same size and time, other content
    Gone = 2,       // no longer on the disk
    Unreadable = 3, // could not be opened or read
    Modified = 4,   // its size or time changed since the scan, or while it was read
};

struct VerifyFigures {
    std::int64_t files = 0; // the files of the Disk ID to check, those checked before included
    std::int64_t bytes = 0;
    std::int64_t filesChecked = 0;
    std::int64_t bytesChecked = 0;
    std::int64_t corrupted = 0;
    std::int64_t gone = 0;
    std::int64_t unreadable = 0;
    std::int64_t modified = 0;
    std::int64_t notReached = 0; // on a volume of the disk that is not connected
    bool finished = false;
};

// The Disk ID's last verification, finished or not.
struct DiskCheck {
    std::int64_t started = 0; // seconds since 1970
    std::optional<std::int64_t> finished;
};
std::optional<DiskCheck> lastDiskCheck(Database& db, const std::string& diskId);

struct FoundProblem {
    std::int64_t record = 0;
    std::string storedPath;
    VerifyFinding finding = VerifyFinding::Unreadable;
};
// What the Disk ID's last verification found, in record order.
std::vector<FoundProblem> verifyFindings(Database& db, const std::string& table,
                                         const std::string& diskId);

class DiskVerification {
public:
    // Resumes the Disk ID's unfinished verification, or begins a new one. Throws Error when
    // the disk is not connected, or the catalogue cannot keep what verification finds.
    DiskVerification(Catalog& catalog, std::string diskId);
    // The same through `store`: a catalogue file's or a server's.
    DiskVerification(std::unique_ptr<VerifyStore> store, std::string diskId);
    ~DiskVerification();
    DiskVerification(const DiskVerification&) = delete;
    DiskVerification& operator=(const DiskVerification&) = delete;

    bool resuming() const { return resuming_; }
    std::int64_t started() const { return run_; }
    // Reads the files not yet checked. `progress` is told many times a second (between
    // blocks of a large file too) and stops the reading by returning false; what was checked
    // stays. The window's messages are processed meanwhile.
    VerifyFigures run(const std::function<bool(const VerifyFigures&)>& progress);

private:
    class Pass;
    void beginOrResume();
    void countFiles();

    std::unique_ptr<VerifyStore> store_;
    std::string diskId_;
    std::int64_t run_ = 0;
    bool resuming_ = false;
    VerifyFigures figures_;
    std::vector<std::int64_t> toCheck_;
};

} // namespace katalox::store
