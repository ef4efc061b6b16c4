#pragma once
// Indexes, on a thread of its own with a connection of its own, the records of a catalogue
// table that its substring index does not hold yet, and takes deleted ones out of it, in short
// transactions so that the windows
// keep reading and writing the file meanwhile. Stops when every record is indexed, on an
// error (listings stay right without the index) or when destroyed.
#include <atomic>
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

private:
    void build();

    std::string path_;
    std::string table_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

} // namespace katalox::store
