#include "store/Database.h"

#include "platform/Error.h"

#include <sqlite3.h>
#include <sys/stat.h>

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
    auto& connections = registry();
    if (auto it = connections.find(path_); it != connections.end() && it->second.expired())
        connections.erase(it);
}

void Database::run(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : sqlite3_errmsg(db_.get());
        sqlite3_free(error);
        throw EngineError(message);
    }
}

Statement Database::prepare(const std::string& sql) {
    commitPending();
    return Statement(db_.get(), sql);
}

void Database::execute(const std::string& sql) {
    Statement statement = prepare(sql);
    while (statement.step()) {
    }
}

std::int64_t Database::changeCount() const {
    return sqlite3_total_changes64(db_.get());
}

void Database::setBusyTimeout(int milliseconds) {
    sqlite3_busy_timeout(db_.get(), milliseconds);
}

std::int64_t Database::insertRow(const std::string& sql, std::vector<Value> values) {
    if (sql != insertSql_ || !insert_) {
        commitPending();
        insert_ = std::make_unique<Statement>(db_.get(), sql);
        insertSql_ = sql;
    }
    if (!inBatch_) {
        run("BEGIN");
        inBatch_ = true;
    }
    try {
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
        insert_->bind(static_cast<int>(i) + 1, values[i]);
    insert_->step();
    insert_->reset();
}

void Database::keepPostedAfterFailure() {
    // A failed statement normally undoes only itself; on a full disk the engine may roll the
    // whole transaction back, and then the batch is written again. Either way one more
    // commit is tried before the batch is given up.
    try {
        if (sqlite3_get_autocommit(db_.get())) {
            run("BEGIN");
            for (const auto& values : pending_)
                stepInsert(values);
        }
        run("COMMIT");
    } catch (const EngineError&) {
        rollbackOpenTransaction();
    }
    pending_.clear();
    inBatch_ = false;
}

void Database::rollbackOpenTransaction() {
    if (!sqlite3_get_autocommit(db_.get()))
        sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Database::commitPending() {
    if (!inBatch_)
        return;
    try {
        run("COMMIT");
    } catch (const EngineError&) {
        // Another program still reads the file: the batch stays pending for the next commit.
        if (sqlite3_errcode(db_.get()) == SQLITE_BUSY && !sqlite3_get_autocommit(db_.get()))
            throw;
        keepPostedAfterFailure();
        throw;
    }
    pending_.clear();
    inBatch_ = false;
}

} // namespace katalox::store
