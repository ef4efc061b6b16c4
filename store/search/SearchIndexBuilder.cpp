#include "store/search/SearchIndexBuilder.h"

#include "platform/Error.h"
#include "store/search/BackgroundProblems.h"
#include "store/search/EveryRecord.h"
#include "store/search/SearchIndex.h"
#include "store/sqlite/SqliteHandles.h"

#include <algorithm>
#include <chrono>

namespace katalox::store {

namespace {

// Records per transaction: about a tenth of a second of work, so the windows never wait long.
constexpr int kRecordsPerStep = 10000;
constexpr auto kPauseBeforeStart = std::chrono::milliseconds(500);
constexpr auto kPauseBetweenSteps = std::chrono::milliseconds(100);
constexpr auto kPauseWhenBusy = std::chrono::milliseconds(200);
constexpr int kBusyTimeoutMs = 100;

} // namespace

SearchIndexBuilder::SearchIndexBuilder(std::string path, std::string table)
    : path_(std::move(path)), table_(std::move(table)), thread_([this] { build(); }) {}

SearchIndexBuilder::~SearchIndexBuilder() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    stopRequested_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

bool SearchIndexBuilder::pause(std::chrono::steady_clock::duration duration) {
    std::unique_lock lock(mutex_);
    return !stopRequested_.wait_for(lock, duration, [this] { return stop_ || hurry_; }) || !stop_;
}

void SearchIndexBuilder::finishNow() {
    {
        const std::lock_guard lock(mutex_);
        hurry_ = true;
    }
    stopRequested_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void SearchIndexBuilder::build() {
    try {
        if (!pause(kPauseBeforeStart)) {
            finished_ = true;
            return;
        }
        const SqliteConnection db = openSqlite(path_);
        sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
        bool unlistedIndexed = false;
        bool everyRecordIndexed = false;
        for (;;) {
            try {
                if (!unlistedIndexed) {
                    const std::string sql = createUnlistedIndexSql(table_);
                    if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
                        throw EngineError(sqlite3_errmsg(db.get()));
                    unlistedIndexed = true;
                }
                const auto stepStart = std::chrono::steady_clock::now();
                if (!everyRecordIndexed)
                    everyRecordIndexed = indexMoreRecords(db.get(), table_, kRecordsPerStep);
                else if (clearStaleRecords(db.get(), table_, kRecordsPerStep))
                    break;
                // The file is left free at least as long as a step held it, so that a writer
                // waiting for it (the engine retries every 100 ms at the longest) gets in.
                if (!pause(std::max<std::chrono::steady_clock::duration>(
                        kPauseBetweenSteps, std::chrono::steady_clock::now() - stepStart)))
                    break;
            } catch (const EngineFullError&) {
                noteBackgroundProblem(
                    "The disk holding the catalogue " + path_ +
                    " is full, so its search index could not be brought up to date: listings "
                    "are right but slower. Free some space on that disk; the index catches up "
                    "the next time the catalogue is opened.");
                break;
            } catch (const EngineError&) {
                const int code = sqlite3_errcode(db.get()) & 0xff;
                if (code != SQLITE_BUSY && code != SQLITE_LOCKED)
                    break;
                if (!pause(kPauseWhenBusy)) // the windows are writing
                    break;
            }
        }
    } catch (const EngineError&) {
        // The file went away or cannot be written: listings run without the index.
    }
    finished_ = true;
}

} // namespace katalox::store
