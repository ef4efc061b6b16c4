#include "store/catalog/DiskUpdate.h"

#include "platform/Error.h"
#include "platform/MessagePump.h"
#include "platform/Paths.h"
#include "platform/Utf8.h"
#include "scanner/FileWalk.h"
#include "store/archives/ArchiveMembers.h"
#include "store/facts/FactTables.h"
#include "store/facts/FactsWriter.h"
#include "store/prints/PrintTables.h"

#include <algorithm>
#include <unordered_set>

namespace katalox::store {

DiskUpdate::DiskUpdate(std::unique_ptr<DiskUpdateStore> store, std::string diskId)
    : store_(std::move(store)), diskId_(std::move(diskId)), scans_(store_->recordedScans(diskId_)) {
    for (const RecordedScan& scan : scans_)
        places_.push_back(locateScan(scan));
}

DiskUpdate::~DiskUpdate() = default;

bool DiskUpdate::completesScans() const {
    for (std::size_t i = 0; i < scans_.size(); ++i)
        if (!scans_[i].complete && places_[i].state != Place::State::NotConnected)
            return true;
    return false;
}

bool DiskUpdate::anyConnected() const {
    for (const Place& place : places_)
        if (place.state != Place::State::NotConnected)
            return true;
    return false;
}

bool DiskUpdate::compare(const bool& stopped) {
    std::vector<FoundOnDisk>& found = found_;
    found.clear();
    std::size_t recorded = 0;
    for (const RecordedScan& scan : scans_)
        recorded += static_cast<std::size_t>(std::max<std::int64_t>(scan.recordCount, 0));
    found.reserve(recorded + recorded / 16);
    std::vector<std::string> storedFolders;
    rewritten_.clear();
    for (std::size_t i = 0; i < scans_.size(); ++i) {
        const Place& place = places_[i];
        if (place.state == Place::State::NotConnected)
            continue;
        RecordedScan scan = scans_[i];
        // Records keep the paths of the scan: a file found now is named as it was then.
        const std::string storedFolder = platform::upperCase(scan.scannedFolder);
        storedFolders.push_back(storedFolder);
        const bool samePlace = place.folderNow == scan.scannedFolder;
        scan.recordCount = 0;
        scan.totalSize = 0;
        scanner::walkMatchingFiles(
            {place.folderNow, scan.namePattern, scan.extensionPattern},
            [&](const std::string& path, std::uint64_t size, std::int64_t modified) {
                const auto bytes = static_cast<std::int64_t>(size);
                found.push_back({samePlace ? platform::upperCase(path)
                                           : storedFolder + platform::upperCase(path.substr(
                                                                place.folderNow.size())),
                                 bytes, path, modified, static_cast<std::uint32_t>(i)});
                ++scan.recordCount;
                scan.totalSize += bytes;
            },
            stopped);
        if (stopped)
            return false;
        // Today's facts of the recorded volume; another volume's never replace them.
        if (place.state == Place::State::Connected && place.volumeNow)
            scan.volume = *place.volumeNow;
        scan.scannedAt = scanTimeNow();
        // Walked to its end, the scan is whole again, whatever an earlier insert left.
        scan.listedFiles = scan.recordCount;
        scan.complete = true;
        rewritten_.push_back(std::move(scan));
    }
    changes_ = compareRecords(store_->recordsUnder(diskId_, storedFolders), found);
    // Shown sorted by path, as a file manager lists them.
    const auto byPath = [](const auto& a, const auto& b) { return a.path < b.path; };
    std::sort(changes_.added.begin(), changes_.added.end(), byPath);
    std::sort(changes_.removed.begin(), changes_.removed.end(), byPath);
    std::sort(changes_.changed.begin(), changes_.changed.end(),
              [](const ResizedRecord& a, const ResizedRecord& b) {
                  return a.record.path < b.record.path;
              });
    return true;
}

void DiskUpdate::rewriteFacts(const std::vector<std::int64_t>& addedIds) {
    std::vector<std::int64_t> scanIds;
    for (const RecordedScan& scan : rewritten_)
        scanIds.push_back(scan.id);
    store_->forgetScanFacts(scanIds);
    std::vector<std::unique_ptr<FactsWriter>> writers(scans_.size());
    const auto add = [&](const FoundOnDisk& file, std::int64_t record) {
        if (file.livePath.empty() || file.scan >= scans_.size())
            return;
        std::unique_ptr<FactsWriter>& writer = writers[file.scan];
        const RecordedScan& scan = scans_[file.scan];
        if (!writer)
            writer = store_->factsWriter(scan.scannedFolder);
        // Named as scanned, wherever the volume is mounted today.
        const std::string scanned =
            scan.scannedFolder + file.livePath.substr(places_[file.scan].folderNow.size());
        writer->add(scanned, file.path.substr(file.path.rfind(platform::kPathSeparator) + 1),
                    file.size, file.modified, record);
    };
    for (const auto& [record, file] : changes_.kept)
        add(*file, record);
    for (std::size_t i = 0; i < changes_.added.size() && i < addedIds.size(); ++i)
        add(changes_.added[i], addedIds[i]);
    for (std::size_t i = 0; i < writers.size(); ++i)
        if (writers[i])
            writers[i]->flush(scans_[i].id, 0);
}

bool DiskUpdate::findChangedArchives() {
    const auto archive = [&](const FoundOnDisk& file) {
        return isArchiveFile(file.path, file.livePath, archives_->formats);
    };
    addedArchives_.assign(changes_.added.size(), false);
    changedArchives_.clear();
    bool any = false;
    for (std::size_t i = 0; i < changes_.added.size(); ++i) {
        addedArchives_[i] = archive(changes_.added[i]);
        any = any || addedArchives_[i];
    }
    std::unordered_set<std::int64_t> resized;
    for (const ResizedRecord& change : changes_.changed)
        resized.insert(change.record.id);
    for (const auto& [record, file] : changes_.kept)
        if (resized.count(record) != 0 && archive(*file)) {
            changedArchives_.insert(record);
            any = true;
        }
    return any;
}

void DiskUpdate::relistArchives(const std::vector<std::int64_t>& addedIds) {
    const auto relist = [&](std::int64_t record, const FoundOnDisk& file) {
        store_->forgetMembers(record);
        if (const auto contents = listArchive(file.livePath, *archives_))
            store_->writeMembers(diskId_, record, file.path, contents->members);
    };
    for (const auto& [record, file] : changes_.kept)
        if (changedArchives_.count(record) != 0)
            relist(record, *file);
    for (std::size_t i = 0; i < changes_.added.size() && i < addedIds.size(); ++i)
        if (addedArchives_[i])
            relist(addedIds[i], changes_.added[i]);
}

void DiskUpdate::samplePrints() {
    addedPrints_.clear();
    resizedPrints_.clear();
    if (!fingerprints_ || !keepsPrints(store_->table()))
        return;
    std::vector<char> buffer;
    // A print is kept only for the file as the walk found it.
    const auto printOf = [&](const FoundOnDisk& file) {
        platform::processMessages();
        const ReadPrint read = samplePrint(file.livePath, buffer);
        return read.outcome == ReadOutcome::Read &&
                       static_cast<std::int64_t>(read.size) == file.size
                   ? read.sampled
                   : ContentPrint();
    };
    for (std::size_t i = 0; i < changes_.added.size(); ++i)
        addedPrints_.push_back(
            {static_cast<std::int64_t>(i), printOf(changes_.added[i]), changes_.added[i].size});
    std::unordered_set<std::int64_t> resized;
    for (const ResizedRecord& change : changes_.changed)
        resized.insert(change.record.id);
    for (const auto& [record, file] : changes_.kept)
        if (resized.count(record) != 0)
            resizedPrints_.push_back({record, printOf(*file), file->size});
}

void DiskUpdate::writePrints(const std::vector<std::int64_t>& addedIds) {
    if (addedPrints_.empty() && resizedPrints_.empty())
        return;
    std::vector<PrintToWrite> prints = resizedPrints_;
    for (const NewPrint& added : addedPrints_)
        if (added.record < static_cast<std::int64_t>(addedIds.size()))
            prints.push_back(
                {addedIds[static_cast<std::size_t>(added.record)], added.print, added.size});
    store_->writePrints(prints);
}

void DiskUpdate::apply(const std::function<void(std::size_t done)>& progress) {
    try {
        const std::string& table = store_->table();
        const bool prints = fingerprints_ && keepsPrints(table);
        const bool facts = keepsFileFacts(table);
        const bool members = archives_ && table != kMembersTable && findChangedArchives();
        store_->prepare(facts, prints, members);
        samplePrints();
        store_->apply(diskId_, changes_, rewritten_, progress,
                      [&](const std::vector<std::int64_t>& added) {
                          if (facts)
                              rewriteFacts(added);
                          if (members)
                              relistArchives(added);
                          writePrints(added);
                      });
    } catch (const EngineReadOnlyError&) {
        throw Error("The catalogue " + store_->name() +
                    " cannot be written (it is read-only), so the changes of the disk \"" +
                    diskId_ +
                    "\" were not applied. Make the file writable, or choose another "
                    "catalogue under Main, Configuration.");
    }
}

} // namespace katalox::store
