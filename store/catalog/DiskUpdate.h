#pragma once
// What "Update This Disk..." does, apart from showing it: finds where each recorded scan of a
// Disk ID lies now (by its volume's UUID), walks those folders again with the scans' patterns,
// compares what it finds with the Disk ID's records and applies the differences.
#include "store/archives/ArchiveListing.h"
#include "store/catalog/DiskChanges.h"
#include "store/catalog/DiskPlace.h"
#include "store/catalog/DiskUpdateStore.h"
#include "store/catalog/RecordedDisks.h"
#include "store/prints/ContentPrint.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace katalox::store {

class DiskUpdate {
public:
    using Place = ScanPlace;

    // Reads the Disk ID's recorded scans from the catalogue and locates each.
    DiskUpdate(std::unique_ptr<DiskUpdateStore> store, std::string diskId);
    ~DiskUpdate();

    const std::string& diskId() const { return diskId_; }
    const std::vector<RecordedScan>& scans() const { return scans_; }
    const std::vector<Place>& places() const { return places_; }
    bool anyConnected() const;
    // True when a scan to be walked was left incomplete (an insert killed or stopped part-way):
    // applying marks it complete, even when no record changes.
    bool completesScans() const;

    // Walks every connected scan's folder and compares the files with the records under the
    // scans' folders. Returns false when `stopped` ended the walk early.
    bool compare(const bool& stopped);
    const DiskChanges& changes() const { return changes_; }

    // Applies the changes in one transaction and records the scans anew.
    void apply(const std::function<void(std::size_t done)>& progress = {});
    // How archives among the files are looked inside when added or changed; none: they are
    // not (their members stay as they were listed).
    void setArchives(std::optional<ArchiveLimits> archives) { archives_ = std::move(archives); }
    // Whether the files added or changed in size get their content prints (they do unless
    // turned off for slow media).
    void setFingerprints(bool fingerprints) { fingerprints_ = fingerprints; }

private:
    // For an added file, `record` is its place among the added ones.
    using NewPrint = PrintToWrite;
    // Reads the prints of the files added and changed, before the update's transaction takes
    // the catalogue; writes them inside it.
    void samplePrints();
    void writePrints(const std::vector<std::int64_t>& addedIds);
    // Writes the facts of every file of the walked scans anew, inside the update's transaction.
    void rewriteFacts(const std::vector<std::int64_t>& addedIds);
    // The files added or changed in size that are archives (by name, or by content for a
    // name without an extension), each looked at once: true when there is any.
    bool findChangedArchives();
    // Lists again the archives found so, replacing their members.
    void relistArchives(const std::vector<std::int64_t>& addedIds);

    std::unique_ptr<DiskUpdateStore> store_;
    std::string diskId_;
    std::vector<RecordedScan> scans_;
    std::vector<Place> places_;
    std::vector<FoundOnDisk> found_; // what the walk found, which changes_ points into
    DiskChanges changes_;
    std::vector<RecordedScan> rewritten_; // the connected scans with today's facts
    std::optional<ArchiveLimits> archives_ = ArchiveLimits{defaultArchiveFormats()};
    bool fingerprints_ = true;
    std::vector<NewPrint> addedPrints_;
    std::vector<NewPrint> resizedPrints_;
    std::vector<bool> addedArchives_; // by index into changes_.added
    std::unordered_set<std::int64_t> changedArchives_;
};

} // namespace katalox::store
