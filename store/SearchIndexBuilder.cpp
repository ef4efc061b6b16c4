#include "store/SearchIndexBuilder.h"

#include "platform/Error.h"
#include "store/EveryRecord.h"
#include "store/SearchIndex.h"
#include "store/SqliteHandles.h"

#include <chrono>

namespace katalox::store {

namespace {

// Records per transaction: about a tenth of a second of work, so the windows never wait long.
constexpr int kRecordsPerStep = 10000;
constexpr auto kPauseBetweenSteps = std::chrono::milliseconds(5);
constexpr auto kPauseWhenBusy = std::chrono::milliseconds(200);
constexpr int kBusyTimeoutMs = 100;

} // namespace

SearchIndexBuilder::SearchIndexBuilder(std::string path, std::string table)
    : path_(std::move(path)), table_(std::move(table)), thread_([this] { build(); }) {}

SearchIndexBuilder::~SearchIndexBuilder() {
    stop_ = true;
    thread_.join();
}

void SearchIndexBuilder::build() {
    try {
        const SqliteConnection db = openSqlite(path_);
        sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
        bool unlistedIndexed = false;
        bool everyRecordIndexed = false;
        while (!stop_) {
            try {
                if (!unlistedIndexed) {
                    const std::string sql = createUnlistedIndexSql(table_);
                    if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
                        throw EngineError(sqlite3_errmsg(db.get()));
                    unlistedIndexed = true;
                }
                if (!everyRecordIndexed)
                    everyRecordIndexed = indexMoreRecords(db.get(), table_, kRecordsPerStep);
                else if (clearStaleRecords(db.get(), table_, kRecordsPerStep))
                    break;
                std::this_thread::sleep_for(kPauseBetweenSteps);
            } catch (const EngineError&) {
                const int code = sqlite3_errcode(db.get()) & 0xff;
                if (code != SQLITE_BUSY && code != SQLITE_LOCKED)
                    break;
                std::this_thread::sleep_for(kPauseWhenBusy); // the windows are writing
            }
        }
    } catch (const EngineError&) {
        // The file went away or cannot be written: listings run without the index.
    }
    finished_ = true;
}

} // namespace katalox::store
