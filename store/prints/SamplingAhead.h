#pragma once
// Takes the sampled prints of files on a thread of its own, ahead of the one that asks for
// them, so that reading files overlaps writing their records. Paths are handed in the order
// their prints are taken back; the caller keeps a few hundred ahead.
#include "store/prints/ContentPrint.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace katalox::store {

class SamplingAhead {
public:
    SamplingAhead();
    ~SamplingAhead();
    SamplingAhead(const SamplingAhead&) = delete;
    SamplingAhead& operator=(const SamplingAhead&) = delete;

    // Paths handed in and not yet taken back.
    std::size_t waiting() const;
    void handIn(std::string path);
    // The print of the oldest path handed in and not yet taken; waits for it.
    ReadPrint takeNext();

private:
    void work();

    struct Job {
        std::string path;
        ReadPrint print;
        bool done = false;
    };
    mutable std::mutex mutex_;
    std::condition_variable handedIn_;
    std::condition_variable finished_;
    std::deque<Job> jobs_;     // oldest first; the worker takes them in order
    std::size_t nextToDo_ = 0; // index in jobs_ of the first not started
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace katalox::store
