#include "store/prints/SamplingAhead.h"

namespace katalox::store {

SamplingAhead::SamplingAhead() : worker_([this] { work(); }) {}

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
    {
        const std::lock_guard lock(mutex_);
        jobs_.push_back({std::move(path), {}, false});
    }
    handedIn_.notify_one();
}

ReadPrint SamplingAhead::takeNext() {
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [this] { return jobs_.empty() || jobs_.front().done; });
    if (jobs_.empty())
        return {};
    ReadPrint print = jobs_.front().print;
    jobs_.pop_front();
    --nextToDo_;
    return print;
}

void SamplingAhead::work() {
    std::vector<char> buffer;
    std::unique_lock lock(mutex_);
    for (;;) {
        handedIn_.wait(lock, [this] { return stopping_ || nextToDo_ < jobs_.size(); });
        if (stopping_)
            return;
        // The deque may grow while the file is read: the job is found again by its place.
        const std::string path = jobs_[nextToDo_].path;
        lock.unlock();
        ReadPrint print = samplePrint(path, buffer);
        lock.lock();
        Job& job = jobs_[nextToDo_++];
        job.print = print;
        job.done = true;
        finished_.notify_one();
    }
}

} // namespace katalox::store
