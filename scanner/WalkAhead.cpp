#include "scanner/WalkAhead.h"

#include <utility>

namespace katalox::scanner {

namespace {

// Files handed over at a time: few enough locks, yet the taker starts almost at once.
constexpr std::size_t kFilesPerHandOver = 2048;
// How far the walk may run ahead, in hand-overs, so a slow taker does not make it hold a whole
// disk's paths in memory.
constexpr std::size_t kHandOversAhead = 128;

struct WalkStopped {};

} // namespace

WalkAhead::WalkAhead(WalkRules rules)
    : thread_([this, rules = std::move(rules)] { walk(rules); }) {}

WalkAhead::~WalkAhead() {
    stopping_ = true;
    {
        const std::lock_guard lock(mutex_);
        ready_.clear();
    }
    changed_.notify_all();
    thread_.join();
}

void WalkAhead::walk(const WalkRules& rules) {
    std::vector<Listed> files;
    std::exception_ptr failure;
    try {
        const bool stopped = false; // stopping is told by throwing out of the callback
        walkMatchingFiles(
            rules,
            [&](const std::string& path, std::uint64_t size, std::int64_t modified) {
                if (stopping_)
                    throw WalkStopped{};
                files.push_back({path, size, modified});
                if (files.size() == kFilesPerHandOver)
                    handOver(files);
            },
            stopped);
    } catch (const WalkStopped&) {
    } catch (...) {
        failure = std::current_exception();
    }
    const std::lock_guard lock(mutex_);
    if (!files.empty())
        ready_.push_back(std::move(files));
    failure_ = failure;
    done_ = true;
    changed_.notify_all();
}

void WalkAhead::handOver(std::vector<Listed>& files) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return ready_.size() < kHandOversAhead || stopping_; });
    if (stopping_)
        throw WalkStopped{};
    ready_.push_back(std::move(files));
    files = {};
    files.reserve(kFilesPerHandOver);
    changed_.notify_all();
}

const WalkAhead::Listed* WalkAhead::next() {
    if (takenAt_ < taking_.size())
        return &taking_[takenAt_++];
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !ready_.empty() || done_; });
    if (ready_.empty()) {
        if (failure_)
            std::rethrow_exception(std::exchange(failure_, nullptr));
        return nullptr;
    }
    taking_ = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
    takenAt_ = 0;
    return &taking_[takenAt_++];
}

} // namespace katalox::scanner
