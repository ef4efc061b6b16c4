#include "store/copies/DiskVerification.h"

#include "platform/DeepPath.h"
#include "platform/Error.h"
#include "platform/MessagePump.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/DiskPlace.h"
#include "store/catalog/RecordedDisks.h"
#include "store/copies/VerifyStore.h"
#include "store/prints/SamplingAhead.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <deque>

namespace katalox::store {

namespace {

using Clock = std::chrono::steady_clock;

// Files read ahead of the one being judged: enough to keep the reading thread busy.
constexpr std::size_t kReadAhead = 32;
// What is judged is written this often, so a kill loses little.
constexpr std::size_t kFilesPerCommit = 4096;
constexpr auto kCommitEvery = std::chrono::seconds(2);
constexpr auto kProgressEvery = std::chrono::milliseconds(50);
constexpr std::int64_t kFilesBetweenProgress = 64;
// Files whose details are read from the catalogue at once.
constexpr std::size_t kDetailsAtOnce = 256;

std::int64_t secondsNow() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

// Where the folder of each recorded scan of the disk is now; none for a volume not connected.
struct Place {
    std::int64_t scanId = 0;
    std::string scannedFolder;
    std::optional<std::string> folderNow;
};

std::vector<Place> placesOf(VerifyStore& store, const std::string& diskId) {
    std::vector<Place> places;
    for (const RecordedScan& scan : store.scans(diskId)) {
        const ScanPlace place = locateScan(scan);
        places.push_back({scan.id, scan.scannedFolder,
                          place.state == ScanPlace::State::Connected
                              ? std::optional<std::string>(place.folderNow)
                              : std::nullopt});
    }
    return places;
}

bool missing(const std::string& path) {
    struct stat info {};
    return !platform::statDeep(path, info, false) && (errno == ENOENT || errno == ENOTDIR);
}

} // namespace

DiskVerification::DiskVerification(Catalog& catalog, std::string diskId)
    : DiskVerification(fileVerifyStore(catalog.database(), catalog.table()), std::move(diskId)) {}

DiskVerification::DiskVerification(std::unique_ptr<VerifyStore> store, std::string diskId)
    : store_(std::move(store)), diskId_(std::move(diskId)) {
    beginOrResume();
    countFiles();
}

DiskVerification::~DiskVerification() = default;

void DiskVerification::beginOrResume() {
    const std::optional<DiskCheck> last = store_->lastCheck(diskId_);
    if (last && !last->finished) {
        run_ = last->started;
        resuming_ = true;
        return;
    }
    // Each verification is told apart by its start, so a new one never takes an older one's
    // marks for its own.
    run_ = std::max(secondsNow(), last ? last->started + 1 : 0);
    store_->begin(diskId_, run_);
}

void DiskVerification::countFiles() {
    for (const VerifyEntry& entry : store_->files(diskId_, run_)) {
        ++figures_.files;
        figures_.bytes += entry.size;
        if (entry.checked) {
            ++figures_.filesChecked;
            figures_.bytesChecked += entry.size;
        } else {
            toCheck_.push_back(entry.record);
        }
    }
    for (const auto& [finding, count] : store_->findingCounts(diskId_)) {
        switch (finding) {
        case VerifyFinding::Corrupted:
            figures_.corrupted = count;
            break;
        case VerifyFinding::Gone:
            figures_.gone = count;
            break;
        case VerifyFinding::Unreadable:
            figures_.unreadable = count;
            break;
        case VerifyFinding::Modified:
            figures_.modified = count;
            break;
        }
    }
}

// One run over the files still to check: they are read on a thread of their own a few files
// ahead, judged here against what the catalogue knows, and written in batches.
class DiskVerification::Pass {
public:
    Pass(DiskVerification& owner)
        : owner_(owner), store_(*owner.store_), figures_(owner.figures_),
          places_(placesOf(store_, owner.diskId_)),
          reader_([this](const std::string& path, std::vector<char>& buffer) {
              return wholePrint(path, buffer, [this](std::uint64_t bytes) {
                  inFlight_ += static_cast<std::int64_t>(bytes);
                  return !stop_.load();
              });
          }),
          prints_(store_.prints()) {
        const bool anyConnected = std::any_of(places_.begin(), places_.end(),
                                              [](const Place& place) { return place.folderNow; });
        if (!places_.empty() && !anyConnected)
            throw Error("The disk \"" + owner.diskId_ + "\" is not connected.");
    }

    ~Pass() {
        stop_ = true; // a file still being read is left unjudged
    }

    void run(const std::function<bool(const VerifyFigures&)>& progress) {
        std::size_t next = 0;
        auto lastCommit = Clock::now();
        auto lastProgress = Clock::time_point();
        std::int64_t filesAtProgress = figures_.filesChecked;
        // Where a resumed verification stands is shown before anything is read.
        if (progress && !progress(figures_))
            stop_ = true;
        while (!stop_) {
            while (waiting_.size() < kReadAhead &&
                   (!ahead_.empty() || next < owner_.toCheck_.size())) {
                if (ahead_.empty()) {
                    // The details of the next files are read together.
                    const std::size_t end = std::min(owner_.toCheck_.size(), next + kDetailsAtOnce);
                    const std::vector<std::int64_t> records(
                        owner_.toCheck_.begin() + static_cast<std::ptrdiff_t>(next),
                        owner_.toCheck_.begin() + static_cast<std::ptrdiff_t>(end));
                    next = end;
                    for (VerifyDetails& details : store_.details(records))
                        ahead_.push_back(std::move(details));
                    continue;
                }
                handIn(ahead_.front());
                ahead_.pop_front();
            }
            if (waiting_.empty())
                break;
            const std::optional<ReadPrint> read =
                reader_.takeNextWithin(std::chrono::milliseconds(20));
            if (read)
                judge(*read);
            if (judged_.size() >= kFilesPerCommit || Clock::now() - lastCommit >= kCommitEvery) {
                write();
                lastCommit = Clock::now();
            }
            if (Clock::now() - lastProgress >= kProgressEvery ||
                figures_.filesChecked - filesAtProgress >= kFilesBetweenProgress) {
                lastProgress = Clock::now();
                filesAtProgress = figures_.filesChecked;
                VerifyFigures shown = figures_;
                shown.bytesChecked = std::min(shown.bytes, shown.bytesChecked + inFlight_.load());
                if (progress && !progress(shown)) {
                    stop_ = true;
                    break;
                }
                platform::processMessages();
            }
        }
        figures_.finished = !stop_;
        write();
    }

private:
    struct Waiting {
        std::int64_t record = 0;
        std::int64_t size = 0;
        std::optional<std::int64_t> recordedTime;
        ContentPrint wholeBefore;
        ContentPrint sampledBefore;
        std::string live;
    };

    void handIn(const VerifyDetails& details) {
        Waiting file;
        file.record = details.record;
        file.size = details.size;
        file.wholeBefore = details.whole;
        file.sampledBefore = details.sampled;
        if (!findLive(file, details.upperName, details.storedPath))
            return;
        reader_.handIn(file.live);
        waiting_.push_back(std::move(file));
    }

    // The file's place on the live disk: through its recorded real path and the place of the
    // scan that found it, else by its stored path. False when its volume is not connected.
    bool findLive(Waiting& file, const std::string& upperName, const std::string& storedPath) {
        if (const auto recorded = store_.recordedPath(file.record, upperName)) {
            for (const Place& place : places_) {
                if (place.scanId != recorded->scanId)
                    continue;
                if (!place.folderNow) {
                    ++figures_.notReached;
                    return false;
                }
                file.live = *place.folderNow + recorded->path.substr(place.scannedFolder.size());
                file.recordedTime = recorded->modified;
                return true;
            }
        }
        // Gone files are looked for where they were stored, and are found missing there.
        file.live = store_.livePath(owner_.diskId_, storedPath).value_or(storedPath);
        return true;
    }

    void judge(const ReadPrint& read) {
        Waiting file = std::move(waiting_.front());
        waiting_.pop_front();
        inFlight_ -= static_cast<std::int64_t>(read.bytesRead);
        VerifyJudgement judged{file.record, std::nullopt, {}};
        const bool sameFacts = static_cast<std::int64_t>(read.size) == file.size &&
                               (!file.recordedTime || *file.recordedTime == read.modified);
        switch (read.outcome) {
        case ReadOutcome::Unreadable:
            judged.finding = missing(file.live) ? VerifyFinding::Gone : VerifyFinding::Unreadable;
            break;
        case ReadOutcome::Changed:
            judged.finding = VerifyFinding::Modified;
            break;
        case ReadOutcome::Link:
            break; // recorded as itself: nothing to read
        case ReadOutcome::Empty:
            if (!sameFacts)
                judged.finding = VerifyFinding::Modified;
            break;
        case ReadOutcome::Read:
            if (!sameFacts)
                judged.finding = VerifyFinding::Modified;
            else if ((file.wholeBefore.known() && file.wholeBefore != read.whole) ||
                     (file.sampledBefore.known() && file.sampledBefore != read.sampled))
                judged.finding = VerifyFinding::Corrupted; // the first hash stays the reference
            else
                judged.whole = read.whole;
            if (!judged.finding && !file.sampledBefore.known())
                prints_.add(file.record, read.sampled, file.size);
            break;
        }
        if (judged.finding)
            count(*judged.finding);
        ++figures_.filesChecked;
        figures_.bytesChecked += file.size;
        judged_.push_back(judged);
    }

    void count(VerifyFinding finding) {
        switch (finding) {
        case VerifyFinding::Corrupted:
            ++figures_.corrupted;
            break;
        case VerifyFinding::Gone:
            ++figures_.gone;
            break;
        case VerifyFinding::Unreadable:
            ++figures_.unreadable;
            break;
        case VerifyFinding::Modified:
            ++figures_.modified;
            break;
        }
    }

    void write() {
        if (judged_.empty() && !figures_.finished)
            return;
        store_.write(owner_.diskId_, owner_.run_, judged_, figures_,
                     figures_.finished ? std::optional(secondsNow()) : std::nullopt);
        judged_.clear();
    }

    DiskVerification& owner_;
    VerifyStore& store_;
    VerifyFigures& figures_;
    std::vector<Place> places_;
    std::deque<VerifyDetails> ahead_; // read from the catalogue, not handed in yet
    std::atomic<bool> stop_{false};
    std::atomic<std::int64_t> inFlight_{0}; // bytes read of files not judged yet
    std::deque<Waiting> waiting_;
    std::vector<VerifyJudgement> judged_;
    // Last, so that its thread stops before what it reports into goes.
    SamplingAhead reader_;
    PrintSink& prints_;
};

VerifyFigures DiskVerification::run(const std::function<bool(const VerifyFigures&)>& progress) {
    Pass pass(*this);
    pass.run(progress);
    if (figures_.finished)
        toCheck_.clear();
    return figures_;
}

} // namespace katalox::store
