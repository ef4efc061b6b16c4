#include "store/sqlite/Database.h"

#include "platform/Error.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>

namespace katalox::store {

namespace {

// Live connections by resolved path; single-threaded like the rest of the program.
std::map<std::string, std::weak_ptr<Database>>& registry() {
    static std::map<std::string, std::weak_ptr<Database>> connections;
    return connections;
}

std::string resolvedPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return path;
    std::string result(real);
    std::free(real);
    return result;
}

// Connections holding records the file could not take yet, kept open until they are written.
std::vector<std::shared_ptr<Database>>& keptUnwritten() {
    static std::vector<std::shared_ptr<Database>> connections;
    return connections;
}

void keepUnwrittenConnection(std::shared_ptr<Database> db) {
    auto& kept = keptUnwritten();
    if (std::find(kept.begin(), kept.end(), db) == kept.end())
        kept.push_back(std::move(db));
}

// Lets go of the kept connections whose records are written; the last user of one closes it.
void releaseWritten() {
    std::vector<std::shared_ptr<Database>> written;
    std::erase_if(keptUnwritten(), [&written](const std::shared_ptr<Database>& db) {
        if (db->pendingCount() > 0)
            return false;
        written.push_back(db);
        return true;
    });
}

// The lock file every instance of the program locks shared while it has the catalogue open,
// so that one instance can tell whether another one uses it. Invalid where it can be neither
// created nor opened (a folder the user may not write); the file then counts as unused.
platform::UniqueFd openUserLock(const std::string& catalogue) {
    const std::string path = catalogue + ".lock";
    platform::UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (!fd.valid())
        fd = platform::UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return fd;
}

// Takes the shared lock, waiting as long as a statement waits while another instance holds the
// file alone (emptying it).
bool lockShared(int fd) {
    constexpr int stepMs = 20;
    for (int waited = 0;; waited += stepMs) {
        if (::flock(fd, LOCK_SH | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return true; // a file system without locks: nothing can be marked
        if (waited >= Database::busyTimeoutMs)
            return false;
        ::usleep(stepMs * 1000);
    }
}

} // namespace

std::shared_ptr<Database> Database::open(const std::string& path) {
    const std::string key = resolvedPath(path);
    auto& connections = registry();
    if (auto it = connections.find(key); it != connections.end()) {
        if (auto existing = it->second.lock())
            return existing;
    }
    struct stat info {};
    if (::stat(key.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        throw EngineError("unable to open database file \"" + path + "\": it is a folder");

    SqliteConnection db;
    try {
        db = openSqlite(key);
    } catch (const EngineError& error) {
        throw EngineError(std::string(error.what()) + " \"" + path + "\"");
    }
    // A field name the table lacks must be an error, never quietly read as a text constant.
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    std::shared_ptr<Database> database(new Database(std::move(db), key));
    // The program upper-cases names, paths and filters itself; Like compares them exactly.
    database->run("PRAGMA case_sensitive_like=ON");
    database->userLock_ = openUserLock(key);
    if (database->userLock_.valid() && !lockShared(database->userLock_.get()))
        throw EngineBusyError("database is locked");
    connections[key] = database;
    return database;
}

Database::Database(SqliteConnection db, std::string path)
    : db_(std::move(db)), path_(std::move(path)) {
    sqlite3_busy_timeout(db_.get(), busyTimeoutMs);
}

Database::~Database() {
    try {
        commitPending();
    } catch (const Error&) {
        // Nothing to tell from a destructor; the engine rolls the batch back on close.
    }
    insert_.reset();
    upkeep_.reset();
    auto& connections = registry();
    if (auto it = connections.find(path_); it != connections.end() && it->second.expired())
        connections.erase(it);
}

void Database::run(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : sqlite3_errmsg(db_.get());
        sqlite3_free(error);
        throwEngineError(sqlite3_errcode(db_.get()), message);
    }
}

Statement Database::prepare(const std::string& sql) {
    Statement statement(db_.get(), sql);
    if (!statement.readOnly())
        commitPending(); // a change of ours never joins the batch of posted records
    return statement;
}

namespace {

Statement bound(Database& db, const std::string& sql, const std::vector<Value>& parameters) {
    Statement statement = db.prepare(sql);
    for (std::size_t i = 0; i < parameters.size(); ++i)
        statement.bind(static_cast<int>(i) + 1, parameters[i]);
    return statement;
}

} // namespace

void Database::execute(const std::string& sql, const std::vector<Value>& parameters) {
    Statement statement = bound(*this, sql, parameters);
    while (statement.step()) {
    }
}

void Database::executeScript(const std::string& sql) {
    commitPending();
    run(sql.c_str());
}

bool Database::readOnly() const {
    return sqlite3_db_readonly(db_.get(), "main") != 0;
}

std::int64_t Database::integerOf(const std::string& sql, const std::vector<Value>& parameters) {
    Statement statement = bound(*this, sql, parameters);
    return statement.step() ? statement.columnInteger(0) : 0;
}

void Database::setUpkeep(std::unique_ptr<ConnectionUpkeep> upkeep) {
    upkeep_ = std::move(upkeep);
}

void Database::tidy() {
    if (upkeep_)
        upkeep_->afterChanges();
}

void Database::noteChanges() {
    tidy();
    // A watcher may stop watching while it is told.
    for (const auto& [watch, watcher] : std::map(watchers_))
        if (watchers_.contains(watch))
            watcher();
}

std::int64_t Database::watchChanges(std::function<void()> watcher) {
    watchers_.emplace(++lastWatch_, std::move(watcher));
    return lastWatch_;
}

void Database::unwatchChanges(std::int64_t watch) {
    watchers_.erase(watch);
}

void Database::pauseUpkeep() {
    if (upkeep_)
        upkeep_->stop();
}

std::int64_t Database::changeCount() const {
    return sqlite3_total_changes64(db_.get());
}

void Database::setBusyTimeout(int milliseconds) {
    sqlite3_busy_timeout(db_.get(), milliseconds);
}

std::int64_t Database::insertRow(const std::string& sql, std::vector<Value> values,
                                 bool rowIdGiven) {
    if (sql != insertSql_ || !insert_) {
        commitPending();
        insert_ = std::make_unique<Statement>(db_.get(), sql);
        insertSql_ = sql;
    }
    try {
        if (!inBatch_) {
            // The batch reads before it writes (the upkeep's hooks): taking the write lock at
            // once waits for another writer, where a read lock turned into a write one would
            // fail at once against it.
            run("BEGIN IMMEDIATE");
            inBatch_ = true;
            if (!rowIdGiven)
                openBatch();
        }
        if (rowIdGiven)
            closeBatch();
        stepInsert(values);
    } catch (const EngineError&) {
        keepPostedAfterFailure();
        throw;
    }
    const std::int64_t rowId = sqlite3_last_insert_rowid(db_.get());
    pending_.push_back(std::move(values));
    if (pending_.size() >= batchSize)
        commitPending();
    return rowId;
}

void Database::stepInsert(const std::vector<Value>& values) {
    insert_->reset();
    for (std::size_t i = 0; i < values.size(); ++i)
        insert_->bindKept(static_cast<int>(i) + 1, values[i]);
    insert_->step();
    insert_->reset();
}

void Database::openBatch() {
    if (upkeep_) {
        upkeep_->batchOpening(*this);
        batchOpened_ = true;
    }
}

bool Database::commitWithoutTheUpkeep() {
    // Putting back what the upkeep took out needs room too, which a full disk may not have: the
    // upkeep gives its work up instead, so that the records are kept.
    try {
        if (upkeep_ && !sqlite3_get_autocommit(db_.get())) {
            upkeep_->batchCannotClose(*this);
            batchOpened_ = false;
            run("COMMIT");
            return true;
        }
    } catch (const EngineError&) {
        // Nothing more to try: the batch is rolled back below.
    }
    rollbackOpenTransaction();
    return false;
}

void Database::closeBatch() {
    if (batchWatcher_ && !sqlite3_get_autocommit(db_.get()) && !pending_.empty())
        batchWatcher_();
    if (batchOpened_ && !sqlite3_get_autocommit(db_.get()))
        upkeep_->batchClosing(*this);
    batchOpened_ = false;
}

void Database::runInBatch(const std::string& sql) {
    run(sql.c_str());
}

std::int64_t Database::dataVersion() {
    Statement version(db_.get(), "PRAGMA data_version");
    return version.step() ? version.columnInteger(0) : 0;
}

Statement Database::prepareInBatch(const std::string& sql) {
    return Statement(db_.get(), sql);
}

std::int64_t Database::executeInBatch(const std::string& sql,
                                      const std::vector<Value>& parameters) {
    Statement statement(db_.get(), sql);
    for (std::size_t i = 0; i < parameters.size(); ++i)
        statement.bind(static_cast<int>(i) + 1, parameters[i]);
    while (statement.step()) {
    }
    return lastChanges();
}

std::int64_t Database::lastInsertRowId() const {
    return sqlite3_last_insert_rowid(db_.get());
}

std::int64_t Database::lastChanges() const {
    return sqlite3_changes64(db_.get());
}

void Database::keepPostedAfterFailure() {
    // A failed statement normally undoes only itself; on a full disk the engine may roll the
    // whole transaction back, and then the batch is written again. Either way one more
    // commit is tried before the batch is given up.
    bool written = false;
    if (!sqlite3_get_autocommit(db_.get())) {
        try {
            closeBatch();
            run("COMMIT");
            written = true;
        } catch (const EngineError&) {
            written = commitWithoutTheUpkeep();
        }
    }
    // Else the batch, rolled back, is written again: as it is, then with the upkeep's work
    // given up, which leaves more room.
    for (const bool givingUp : {false, true}) {
        if (written || !sqlite3_get_autocommit(db_.get()) || pending_.empty())
            break;
        batchOpened_ = false; // the rollback put back what the upkeep took out
        try {
            run("BEGIN IMMEDIATE");
            if (givingUp && upkeep_)
                upkeep_->batchCannotClose(*this);
            for (const auto& values : pending_)
                stepInsert(values);
            if (batchWatcher_)
                batchWatcher_();
            run("COMMIT");
            written = true;
        } catch (const EngineError&) {
            rollbackOpenTransaction();
        }
    }
    pending_.clear();
    inBatch_ = false;
}

void Database::rollbackOpenTransaction() {
    if (!sqlite3_get_autocommit(db_.get()))
        sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    if (sqlite3_get_autocommit(db_.get()))
        batchOpened_ = false;
}

void Database::commitPending() {
    if (!inBatch_)
        return;
    try {
        closeBatch();
        run("COMMIT");
    } catch (const EngineBusyError&) {
        // Another program still reads the file: the batch stays pending, and this connection
        // stays open with it, until a later commit gets it written.
        if (!sqlite3_get_autocommit(db_.get())) {
            if (auto self = weak_from_this().lock())
                keepUnwrittenConnection(std::move(self));
            throw;
        }
        keepPostedAfterFailure();
        throw;
    } catch (const EngineError&) {
        keepPostedAfterFailure();
        throw;
    }
    pending_.clear();
    inBatch_ = false;
}

void Database::retryUnwritten() {
    for (const auto& db : std::vector(keptUnwritten())) {
        const NoWaiting noWaiting(*db);
        try {
            db->commitPending();
        } catch (const Error&) {
            // Still held by another program; the next try may succeed.
        }
    }
    releaseWritten();
}

Database::Unwritten Database::writeAllPending() {
    std::vector<std::shared_ptr<Database>> open;
    for (const auto& [path, connection] : registry()) {
        if (auto db = connection.lock())
            open.push_back(std::move(db));
    }
    Unwritten unwritten;
    for (const auto& db : open) {
        const std::size_t pending = db->pendingCount();
        try {
            db->commitPending();
        } catch (const Error& error) {
            unwritten.records += pending;
            unwritten.reason = error.what();
        }
    }
    releaseWritten();
    return unwritten;
}

bool Database::takeSoleUse() {
    if (!userLock_.valid() || ::flock(userLock_.get(), LOCK_EX | LOCK_NB) == 0)
        return true;
    // A refused change of lock may have dropped the shared one: take it again.
    lockShared(userLock_.get());
    return false;
}

void Database::shareAgain() {
    if (userLock_.valid())
        ::flock(userLock_.get(), LOCK_SH);
}

} // namespace katalox::store
