#pragma once
// A folder walk run on a thread of its own, a little ahead of whoever takes its files: a scan's
// insert then writes records while the walk reads the next folders, on two cores at once.
#include "scanner/FileWalk.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace katalox::scanner {

class WalkAhead {
public:
    struct Listed {
        std::string path;
        std::uint64_t size = 0;
        std::int64_t modified = 0;
    };

    // Starts walking as walkMatchingFiles() does.
    explicit WalkAhead(WalkRules rules);
    // Stops the walk where it is and waits for its thread.
    ~WalkAhead();
    WalkAhead(const WalkAhead&) = delete;
    WalkAhead& operator=(const WalkAhead&) = delete;

    // The next file in the walk's order, waiting while the walk is behind; null after the last.
    // Rethrows what stopped the walk, once the files found before it are taken.
    const Listed* next();

private:
    void walk(const WalkRules& rules);
    void handOver(std::vector<Listed>& files);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<Listed>> ready_; // guarded by mutex_
    bool done_ = false;                     // guarded by mutex_
    std::exception_ptr failure_;            // guarded by mutex_
    std::atomic<bool> stopping_{false};
    std::vector<Listed> taking_; // the taker's own
    std::size_t takenAt_ = 0;
    std::thread thread_;
};

} // namespace katalox::scanner
