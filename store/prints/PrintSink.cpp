#include "store/prints/PrintSink.h"

namespace katalox::store {

ContentPrint printToKeep(const ReadPrint& read, std::int64_t size, PrintCounts& counts) {
    if (read.outcome == ReadOutcome::Unreadable)
        ++counts.unreadable;
    // Changed since it was listed, the file read is not the one recorded.
    const bool same = static_cast<std::int64_t>(read.size) == size;
    if (read.outcome == ReadOutcome::Changed || (read.outcome == ReadOutcome::Read && !same))
        ++counts.changing;
    return read.outcome == ReadOutcome::Read && same ? read.sampled : ContentPrint();
}

} // namespace katalox::store
