#pragma once
// Writes the sampled prints of records as an insert, an update or a verification finds them:
// gathered in memory and written by flush() inside the caller's transaction, so that a crash
// keeps a record's print with it or neither. New records go into runs of their own; a record
// that lies in a run already gets its slot there replaced.
#include "store/prints/ContentPrint.h"
#include "store/prints/PrintSink.h"
#include "store/sqlite/Statement.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace katalox::store {

class Database;

class PrintsWriter : public PrintSink {
public:
    explicit PrintsWriter(Database& db) : db_(db) {}

    void add(std::int64_t record, const ContentPrint& print, std::int64_t size) override;
    std::size_t waiting() const { return prints_.size(); }
    void flush() override;

private:
    struct Entry {
        std::int64_t record;
        ContentPrint print;
        std::int64_t size;
    };
    void writeRun(std::size_t from, std::size_t to);
    void replaceInRun(const Entry& entry);
    void indexAll();

    Database& db_;
    std::vector<Entry> prints_;
};

} // namespace katalox::store
