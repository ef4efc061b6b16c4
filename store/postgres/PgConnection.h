#pragma once
// A connection to a PostgreSQL server and the results of its statements, released by scope.
// Statements take their values as parameters ($1, $2, ...) in the server's text form; errors
// are EngineError (or one of its kinds) carrying the server's message.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct pg_conn;
struct pg_result;

namespace katalox::store {

struct PgRelease {
    void operator()(pg_conn* connection) const;
    void operator()(pg_result* result) const;
};

// A statement's parameter: text (which the server cannot hold with NUL or bytes that are not
// UTF-8: see PgText.h), or NULL.
using PgParameter = std::optional<std::string>;

class PgResult {
public:
    explicit PgResult(pg_result* result) : result_(result) {}

    int rows() const;
    int columns() const;
    bool isNull(int row, int column) const;
    // A value in its text form, as the server sent it; empty for NULL.
    std::string text(int row, int column) const;
    // A value as a whole number. Throws EngineError for one that is not.
    std::int64_t integer(int row, int column) const;
    // A column's name, and whether the server sends it as a whole number, a real or bytes.
    std::string columnName(int column) const;
    enum class ColumnType { Integer, Real, Text, Bytes };
    ColumnType columnType(int column) const;
    // The rows an INSERT, UPDATE or DELETE changed.
    std::int64_t changedRows() const;
    // The libpq result, for store/postgres.
    pg_result* get() const { return result_.get(); }

private:
    std::unique_ptr<pg_result, PgRelease> result_;
};

class PgConnection {
public:
    // Connects to the server that `uri` names (a libpq URI, postgresql://user@host/dbname, or
    // key=value words). Passwords come from ~/.pgpass or libpq's environment as usual. Text
    // travels as UTF-8 whatever the environment says. Throws EngineError with libpq's reason.
    explicit PgConnection(const std::string& uri);

    // Runs one statement with `parameters` and returns its rows. Throws EngineBusyError when
    // a lock could not be had, EngineFullError when the server's disk is full,
    // EngineReadOnlyError on a server that only reads, otherwise EngineError.
    PgResult execute(const std::string& sql, const std::vector<PgParameter>& parameters = {});

    // Rows copied in: startCopy() runs a COPY ... FROM STDIN, sendCopyData() hands over rows in
    // COPY's text form, endCopy() ends them and returns how many the server took. A COPY is one
    // statement, so outside BEGIN its rows are one transaction: all of them or none. Failures
    // throw as execute() does, with the server's reason once it has given one; the connection
    // is then ready for the next statement, unless it was lost.
    void startCopy(const std::string& sql);
    void sendCopyData(std::string_view rows);
    std::int64_t endCopy();

    // A setting the server reports at connection (server_encoding, server_version, ...);
    // empty when unknown.
    std::string serverSetting(const std::string& name) const;

    // True once the connection to the server is gone: every statement fails from then on.
    bool lost() const;

private:
    // Reads the results of a COPY until there are none, so the connection is ready again.
    std::int64_t finishCopy();

    std::unique_ptr<pg_conn, PgRelease> connection_;
};

// One transaction on a connection: begun when made, rolled back when left without commit().
class PgTransaction {
public:
    explicit PgTransaction(PgConnection& connection);
    ~PgTransaction();
    PgTransaction(const PgTransaction&) = delete;
    PgTransaction& operator=(const PgTransaction&) = delete;

    void commit();

private:
    PgConnection& connection_;
    bool open_ = true;
};

// `uri` without the password it may hold, for messages and output.
std::string uriForDisplay(const std::string& uri);

} // namespace katalox::store
