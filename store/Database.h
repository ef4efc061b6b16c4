#pragma once
// One connection to a catalogue file, shared by every data set on that file so that a query
// sees the records a table cursor has just posted. Posted records are written in batches, one
// transaction per batch; anything else that runs on the connection commits the batch first.
#include "store/SqliteHandles.h"
#include "store/Statement.h"
#include "store/Value.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace katalox::store {

class Database {
public:
    // Records per transaction while inserting: large enough that commits cost little, small
    // enough that a crash loses at most one batch.
    static constexpr std::size_t batchSize = 50000;
    // How long a statement waits for another program's lock before it fails.
    static constexpr int busyTimeoutMs = 2000;

    // The connection to the file at `path`, opened on first use and shared by path (after
    // resolving links). Never creates a file; throws EngineError when it cannot be opened.
    static std::shared_ptr<Database> open(const std::string& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const std::string& path() const { return path_; }

    // Commits pending records, then prepares `sql`.
    Statement prepare(const std::string& sql);
    // Commits pending records, then runs `sql` (no result rows) to completion.
    void execute(const std::string& sql);

    // Inserts one record with `sql` (an INSERT with one parameter per value) inside the
    // current batch and returns its row id. On failure every record posted before it is kept
    // (committed) and EngineError carries the engine's message.
    std::int64_t insertRow(const std::string& sql, std::vector<Value> values);
    // Commits the current batch, if any.
    void commitPending();
    // Rolls back the open transaction, if the engine has not already done so after a failure.
    void rollbackOpenTransaction();

    // Counts every row changed through this connection; a data set compares it to notice
    // changes made by others on the same connection.
    std::int64_t changeCount() const;
    void setBusyTimeout(int milliseconds);

private:
    Database(SqliteConnection db, std::string path);
    void run(const char* sql);
    void stepInsert(const std::vector<Value>& values);
    void keepPostedAfterFailure();

    SqliteConnection db_;
    std::string path_;
    bool inBatch_ = false;
    std::string insertSql_;
    std::unique_ptr<Statement> insert_;
    // The records of the open batch, kept to write them again if the engine rolls the
    // transaction back on a failure (it may, on a full disk).
    std::vector<std::vector<Value>> pending_;
};

} // namespace katalox::store
