#pragma once
// Indexes, on a thread of its own with a connection of its own, the records of a catalogue
// table that its substring index does not hold yet, and takes deleted ones out of it, in short
// transactions so that the windows keep reading and writing the file meanwhile. It starts a
// moment after it is made, once the windows have shown the change that called for it. Stops
// when every record is indexed, on an error (listings stay right without the index) or when
// destroyed.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace katalox::store {

class SearchIndexBuilder {
public:
    SearchIndexBuilder(std::string path, std::string table);
    ~SearchIndexBuilder();
    SearchIndexBuilder(const SearchIndexBuilder&) = delete;
    SearchIndexBuilder& operator=(const SearchIndexBuilder&) = delete;

    // True once the thread has ended (the index is up to date, or given up).
    bool finished() const { return finished_; }
    // Builds without pausing from now on, and returns once the thread has ended: for a program
    // about to end, which no window waits on.
    void finishNow();

private:
    void build();
    // Waits `duration` or until told to stop; false when told to stop.
    bool pause(std::chrono::steady_clock::duration duration);

    std::string path_;
    std::string table_;
    std::mutex mutex_;
    std::condition_variable stopRequested_;
    bool stop_ = false;  // guarded by mutex_
    bool hurry_ = false; // guarded by mutex_
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

} // namespace katalox::store
