#pragma once
// One connection to a catalogue file, shared by every data set on that file so that a query
// sees the records a table cursor has just posted. Posted records are written in batches, one
// transaction per batch; any other statement that writes commits the batch first. A batch the
// file cannot take yet (another program reads it) is kept and written later, never dropped.
#include "platform/UniqueFd.h"
#include "store/sqlite/SqliteHandles.h"
#include "store/sqlite/Statement.h"
#include "store/sqlite/Value.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace katalox::store {

class Database;

// Work kept going beside a connection's statements for as long as it is open (the search
// index's upkeep): told after records were changed, stopped while the file is needed alone.
class ConnectionUpkeep {
public:
    virtual ~ConnectionUpkeep() = default;
    virtual void afterChanges() = 0;
    virtual void stop() = 0;
    // Run inside each batch of posted records as it opens and before it is committed (see
    // Database::runInBatch()): work that every record posted would otherwise cost can be
    // taken out of the batch and put back before anyone else sees the file.
    virtual void batchOpening(Database&) {}
    virtual void batchClosing(Database&) {}
    // batchClosing() failed (a full disk): gives up what it could not put back, so that the
    // batch can be committed without it.
    virtual void batchCannotClose(Database&) {}
    // Does the work still to do at once and in full, and returns when it is done: for a
    // program about to end, such as the command line after an insert.
    virtual void finishNow() {}
};

class Database : public std::enable_shared_from_this<Database> {
public:
    // Records per transaction while inserting: large enough that commits cost little, small
    // enough that a crash loses at most one batch.
    static constexpr std::size_t batchSize = 50000;
    // How long a statement waits for another program's lock before it fails.
    static constexpr int busyTimeoutMs = 2000;

    // The connection to the file at `path`, opened on first use and shared by path (after
    // resolving links). Never creates a file; throws EngineError when it cannot be opened.
    // While open it marks the file as in use by this program (see takeSoleUse()).
    static std::shared_ptr<Database> open(const std::string& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const std::string& path() const { return path_; }
    // True when the file cannot be written through this connection.
    bool readOnly() const;

    // Prepares `sql`. A statement that writes commits pending records first; one that only
    // reads runs inside the open batch and sees its records, and never waits for a commit.
    Statement prepare(const std::string& sql);
    // Prepares and runs `sql` (no result rows) to completion, with `parameters` (?1, ...).
    void execute(const std::string& sql, const std::vector<Value>& parameters = {});
    // Commits pending records, then runs every statement of `sql` in turn.
    void executeScript(const std::string& sql);
    // The first column of the first row of `sql` run with `parameters` as an integer; 0 when
    // it gives no row.
    std::int64_t integerOf(const std::string& sql, const std::vector<Value>& parameters = {});

    // The upkeep, set once by whoever opens the file as a catalogue; null until then.
    ConnectionUpkeep* upkeep() const { return upkeep_.get(); }
    void setUpkeep(std::unique_ptr<ConnectionUpkeep> upkeep);
    // The file may have been changed (by us or by another program): the upkeep follows.
    void tidy();
    // After records were added, deleted or changed through this connection: the upkeep follows,
    // and every watcher is told (a table cursor shown in a grid counts its records again).
    void noteChanges();
    std::int64_t watchChanges(std::function<void()> watcher);
    void unwatchChanges(std::int64_t watch);
    // Waits for the upkeep's current step and stops it, so that a change needing the file to
    // itself is not refused because of our own background work; tidy() starts it again.
    void pauseUpkeep();
    // Runs `sql` inside the open batch of posted records, for the upkeep's batch hooks.
    void runInBatch(const std::string& sql);
    // Runs `sql` with `parameters` inside the open batch (no commit first); returns the rows
    // it changed.
    std::int64_t executeInBatch(const std::string& sql, const std::vector<Value>& parameters);
    // Prepares `sql` to run inside the open batch or transaction (no commit first).
    Statement prepareInBatch(const std::string& sql);
    // Told inside each batch of posted records just before it is committed, so that what it
    // writes is committed with them (the row of the scan being inserted). It must not throw.
    void setBatchWatcher(std::function<void()> watcher) { batchWatcher_ = std::move(watcher); }
    std::int64_t lastInsertRowId() const;
    std::int64_t lastChanges() const;

    // Inserts one record with `sql` (an INSERT with one parameter per value) inside the
    // current batch and returns its row id. On failure every record posted before it is kept
    // (committed) and EngineError carries the engine's message. `rowIdGiven`: the values set
    // the row id, so the record may take the id of an earlier one; what the upkeep took out
    // of the batch is put back first.
    std::int64_t insertRow(const std::string& sql, std::vector<Value> values,
                           bool rowIdGiven = false);
    // Commits the current batch, if any. While another program holds the file this throws
    // EngineBusyError and the batch stays pending: it is kept, with this connection, until
    // retryUnwritten() or writeAllPending() gets it written.
    void commitPending();
    // Records posted but not yet written to the file.
    std::size_t pendingCount() const { return pending_.size(); }
    // Rolls back the open transaction, if the engine has not already done so after a failure.
    void rollbackOpenTransaction();

    // Tries once, without waiting, to write every batch a busy file kept back; meant to run
    // now and then while the program runs. Errors stay for the next try.
    static void retryUnwritten();
    // What could not be written on the last try: how many records, and why.
    struct Unwritten {
        std::size_t records = 0;
        std::string reason;
    };
    // Commits the pending records of every connection, waiting for locks as usual; for the
    // program's end. Returns what is still not written.
    static Unwritten writeAllPending();

    // Whether no other instance of this program has the file open; if so, holds it alone
    // until shareAgain(), so that none can open it meanwhile.
    bool takeSoleUse();
    void shareAgain();

    // Counts every row changed through this connection; a data set compares it to notice
    // changes made by others on the same connection.
    std::int64_t changeCount() const;
    // Changes whenever another connection (another program) commits a change to the file.
    std::int64_t dataVersion();
    void setBusyTimeout(int milliseconds);

private:
    Database(SqliteConnection db, std::string path);
    void run(const char* sql);
    void stepInsert(const std::vector<Value>& values);
    void keepPostedAfterFailure();
    void openBatch();
    bool commitWithoutTheUpkeep();
    // Puts back what the upkeep took out of the open batch, before it is committed.
    void closeBatch();

    // A lock file beside the catalogue, locked shared while this connection is open; released
    // last, once the connection is closed.
    platform::UniqueFd userLock_;
    SqliteConnection db_;
    std::string path_;
    bool inBatch_ = false;
    // The upkeep has taken work out of the open batch and has not put it back yet.
    bool batchOpened_ = false;
    std::string insertSql_;
    std::unique_ptr<Statement> insert_;
    // The records of the open batch, kept to write them again if the engine rolls the
    // transaction back on a failure (it may, on a full disk).
    std::vector<std::vector<Value>> pending_;
    std::unique_ptr<ConnectionUpkeep> upkeep_;
    std::function<void()> batchWatcher_;
    std::map<std::int64_t, std::function<void()>> watchers_;
    std::int64_t lastWatch_ = 0;
};

// While alive, statements on `db` fail at once instead of waiting for another program's lock.
class NoWaiting {
public:
    explicit NoWaiting(Database& db) : db_(db) { db_.setBusyTimeout(0); }
    ~NoWaiting() { db_.setBusyTimeout(Database::busyTimeoutMs); }
    NoWaiting(const NoWaiting&) = delete;
    NoWaiting& operator=(const NoWaiting&) = delete;

private:
    Database& db_;
};

} // namespace katalox::store
