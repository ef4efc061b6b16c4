#include "store/prints/SamplingAhead.h"

namespace katalox::store {

namespace {

// Paths gathered before a sleeping reader is woken: one wake-up for each run of them.
constexpr std::size_t kWakeAfter = 32;

} // namespace

SamplingAhead::SamplingAhead(Reader reader)
    : reader_(std::move(reader)), worker_([this] { work(); }) {}

SamplingAhead::~SamplingAhead() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    handedIn_.notify_all();
    worker_.join();
}

std::size_t SamplingAhead::waiting() const {
    const std::lock_guard lock(mutex_);
    return jobs_.size();
}

void SamplingAhead::handIn(std::string path) {
    std::unique_lock lock(mutex_);
    jobs_.push_back({std::move(path), {}, false});
    if (workerAsleep_ && jobs_.size() - nextToDo_ >= kWakeAfter)
        wakeWorker(lock);
}

void SamplingAhead::wakeWorker(std::unique_lock<std::mutex>& lock) {
    workerAsleep_ = false;
    lock.unlock();
    handedIn_.notify_one();
    lock.lock();
}

ReadPrint SamplingAhead::takeFront() {
    ReadPrint print = jobs_.front().print;
    jobs_.pop_front();
    --nextToDo_;
    return print;
}

ReadPrint SamplingAhead::takeNext() {
    std::unique_lock lock(mutex_);
    if (jobs_.empty())
        return {};
    if (!frontReady()) {
        if (workerAsleep_)
            wakeWorker(lock);
        takerWaiting_ = true;
        finished_.wait(lock, [this] { return frontReady(); });
        takerWaiting_ = false;
    }
    return takeFront();
}

std::optional<ReadPrint> SamplingAhead::takeNextWithin(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    if (jobs_.empty())
        return std::nullopt;
    if (!frontReady()) {
        if (workerAsleep_)
            wakeWorker(lock);
        takerWaiting_ = true;
        const bool ready = finished_.wait_for(lock, wait, [this] { return frontReady(); });
        takerWaiting_ = false;
        if (!ready)
            return std::nullopt;
    }
    return takeFront();
}

void SamplingAhead::work() {
    std::vector<char> buffer;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!stopping_ && nextToDo_ == jobs_.size()) {
            workerAsleep_ = true;
            handedIn_.wait(lock, [this] { return stopping_ || !workerAsleep_; });
        }
        if (stopping_)
            return;
        if (nextToDo_ == jobs_.size())
            continue;
        // The deque may grow while the file is read: the job is found again by its place.
        const std::string path = jobs_[nextToDo_].path;
        lock.unlock();
        ReadPrint print = reader_(path, buffer);
        lock.lock();
        Job& job = jobs_[nextToDo_++];
        job.print = print;
        job.done = true;
        if (takerWaiting_ && nextToDo_ == 1)
            finished_.notify_one();
    }
}

} // namespace katalox::store
