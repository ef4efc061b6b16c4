#pragma once
// Writes the sampled prints of records to the tables of a catalogue table on a server
// (PgPrints.h): gathered in memory and written by flush() inside the caller's transaction (an
// insert's batch, a verification's commit), in one COPY, with the groups of their prints counted
// once per flush.
#include "store/prints/PrintSink.h"

#include <string>
#include <vector>

namespace katalox::store {

class PgConnection;

class PgPrintsWriter : public PrintSink {
public:
    PgPrintsWriter(PgConnection& db, const std::string& table);

    void add(std::int64_t record, const ContentPrint& print, std::int64_t size) override;
    void flush() override;

private:
    PgConnection& db_;
    std::string copy_;
    std::string lockGroups_;
    std::string countGroups_;
    std::string rows_; // COPY's text form of the prints gathered
    std::string records_;
};

} // namespace katalox::store
