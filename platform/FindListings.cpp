#include "platform/FindListings.h"

#include "platform/DeepPath.h"

#include <mutex>
#include <unordered_map>

namespace katalox::platform::listings {

namespace {

struct Kept {
    dev_t device;
    ino_t inode;
    timespec modified;
    timespec changed;
    std::string entries;
};

// Timestamps are set from a clock that ticks a few milliseconds at a time; a folder whose
// entries changed less than this long before its read could change again without its
// modification time moving.
constexpr time_t kSettledSeconds = 2;

struct Store {
    std::mutex mutex;
    bool recording = false;
    std::unordered_map<std::string, Kept> kept;
};

Store& store() {
    static Store instance;
    return instance;
}

bool same(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool settledBefore(const timespec& time, const timespec& readStarted) {
    return time.tv_sec + kSettledSeconds < readStarted.tv_sec;
}

} // namespace

bool recording() {
    std::lock_guard lock(store().mutex);
    return store().recording;
}

void setRecording(bool on) {
    std::lock_guard lock(store().mutex);
    store().recording = on;
    if (on)
        store().kept.clear();
}

void keep(const std::string& folder, const struct stat& info, const timespec& readStarted,
          std::string&& entries) {
    if (!settledBefore(info.st_mtim, readStarted))
        return;
    std::lock_guard lock(store().mutex);
    store().kept[folder] = {info.st_dev, info.st_ino, info.st_mtim, info.st_ctim,
                            std::move(entries)};
}

std::optional<std::string> take(const std::string& folder) {
    std::unique_lock lock(store().mutex);
    const auto found = store().kept.find(folder);
    if (found == store().kept.end())
        return std::nullopt;
    Kept kept = std::move(found->second);
    store().kept.erase(found);
    lock.unlock();
    struct stat now {};
    if (!statDeep(folder, now) || now.st_dev != kept.device || now.st_ino != kept.inode ||
        !same(now.st_mtim, kept.modified) || !same(now.st_ctim, kept.changed))
        return std::nullopt;
    return std::move(kept.entries);
}

} // namespace katalox::platform::listings
