#pragma once
// Reads files for their prints on a thread of its own, ahead of the one that asks for them, so
// that reading files overlaps writing their records. Paths are handed in the order their
// prints are taken back; the caller keeps a few hundred ahead. The reading thread is woken
// once for a run of paths rather than for each, and sleeps only when it has caught up.
#include "store/prints/ContentPrint.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace katalox::store {

class SamplingAhead {
public:
    // How each file is read: its sampled print by default.
    using Reader = std::function<ReadPrint(const std::string& path, std::vector<char>& buffer)>;
    explicit SamplingAhead(Reader reader = samplePrint);
    ~SamplingAhead();
    SamplingAhead(const SamplingAhead&) = delete;
    SamplingAhead& operator=(const SamplingAhead&) = delete;

    // Paths handed in and not yet taken back.
    std::size_t waiting() const;
    void handIn(std::string path);
    // The print of the oldest path handed in and not yet taken; waits for it.
    ReadPrint takeNext();
    // The same, waiting no longer than `wait`: none when it is not read by then (or nothing
    // is waiting).
    std::optional<ReadPrint> takeNextWithin(std::chrono::milliseconds wait);

private:
    void work();
    bool frontReady() const { return !jobs_.empty() && jobs_.front().done; }
    void wakeWorker(std::unique_lock<std::mutex>& lock);
    ReadPrint takeFront();

    struct Job {
        std::string path;
        ReadPrint print;
        bool done = false;
    };
    Reader reader_;
    mutable std::mutex mutex_;
    std::condition_variable handedIn_;
    std::condition_variable finished_;
    std::deque<Job> jobs_;     // oldest first; the worker takes them in order
    std::size_t nextToDo_ = 0; // index in jobs_ of the first not started
    bool workerAsleep_ = false;
    bool takerWaiting_ = false;
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace katalox::store
