#pragma once
// The files a scan lists, found again without the scan window: the start folder and every
// folder below it that the folder walk lists, searched for name "." extension, with sizes.
#include <cstdint>
#include <functional>
#include <string>

namespace katalox::scanner {

struct WalkRules {
    std::string startFolder; // a folder text ending with the separator
    std::string namePattern;
    std::string extensionPattern;
};

// Calls `found` with each matching file's full path, size and modification time (seconds since
// 1970), in the scan's order.
// Lets waiting window messages run between folders. Throws Error when another walk is running;
// returns early when `stopped` becomes true.
void walkMatchingFiles(const WalkRules& rules,
                       const std::function<void(const std::string& path, std::uint64_t size,
                                                std::int64_t modified)>& found,
                       const bool& stopped);

} // namespace katalox::scanner
