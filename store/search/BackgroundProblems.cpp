#include "store/search/BackgroundProblems.h"

#include <mutex>
#include <set>
#include <utility>

namespace katalox::store {

namespace {

struct Problems {
    std::mutex mutex;
    std::set<std::string> told; // guarded by mutex
    std::vector<std::string> waiting;
};

Problems& problems() {
    static Problems kept;
    return kept;
}

} // namespace

void noteBackgroundProblem(const std::string& message) {
    Problems& kept = problems();
    const std::lock_guard lock(kept.mutex);
    if (kept.told.insert(message).second)
        kept.waiting.push_back(message);
}

std::vector<std::string> takeBackgroundProblems() {
    Problems& kept = problems();
    const std::lock_guard lock(kept.mutex);
    return std::exchange(kept.waiting, {});
}

} // namespace katalox::store
