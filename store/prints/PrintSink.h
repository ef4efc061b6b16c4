#pragma once
// Where the prints taken during an insert or a verification go: gathered as records get them and
// written together by flush(), inside the transaction that writes the records. A catalogue file
// writes them through PrintsWriter, one on a server through PgPrintsWriter.
#include "store/prints/ContentPrint.h"

#include <cstdint>

namespace katalox::store {

class PrintSink {
public:
    virtual ~PrintSink() = default;
    // Record `record` of `size` bytes has `print` (unknown for a file that could not be read).
    virtual void add(std::int64_t record, const ContentPrint& print, std::int64_t size) = 0;
    virtual void flush() = 0;
};

// What became of the files read for their prints during an insert.
struct PrintCounts {
    std::int64_t unreadable = 0; // could not be read
    std::int64_t changing = 0;   // changed since they were listed, or while they were read
};

// The print kept for a record of `size` bytes whose file was read as `read`: none when it was
// not read whole, or what was read is not the file recorded.
ContentPrint printToKeep(const ReadPrint& read, std::int64_t size, PrintCounts& counts);

} // namespace katalox::store
