#include "store/Statement.h"

#include "platform/Error.h"

#include <sqlite3.h>

#include <utility>

namespace katalox::store {

Statement::Statement(sqlite3* db, const std::string& sql) : db_(db) {
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, &tail) !=
        SQLITE_OK) {
        std::string message = sqlite3_errmsg(db);
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        throw EngineError(message);
    }
    if (!stmt_) // only white space or comments
        throw EngineError("The statement is empty");
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = other.db_;
        stmt_ = std::exchange(other.stmt_, nullptr);
    }
    return *this;
}

void Statement::bind(int index, const Value& value) {
    if (value.isNull())
        sqlite3_bind_null(stmt_, index);
    else if (value.isInteger())
        bindInteger(index, value.asInteger());
    else
        bindText(index, value.asString());
}

void Statement::bindInteger(int index, std::int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
}

void Statement::bindText(int index, const std::string& text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void Statement::refuseParameters() const {
    if (sqlite3_bind_parameter_count(stmt_) > 0)
        throw EngineError("Parameters are not supported in a statement");
}

bool Statement::readOnly() const {
    return sqlite3_stmt_readonly(stmt_) != 0;
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    std::string message = sqlite3_errmsg(db_);
    sqlite3_reset(stmt_);
    throw EngineError(message);
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int Statement::columnCount() const {
    return sqlite3_column_count(stmt_);
}

std::string Statement::columnName(int column) const {
    const char* name = sqlite3_column_name(stmt_, column);
    return name ? name : "";
}

std::string Statement::columnDeclaredType(int column) const {
    const char* type = sqlite3_column_decltype(stmt_, column);
    return type ? type : "";
}

bool Statement::columnIsInteger(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_INTEGER;
}

std::int64_t Statement::columnInteger(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

Value Statement::columnValue(int column) const {
    switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_INTEGER:
        return Value(std::int64_t{sqlite3_column_int64(stmt_, column)});
    case SQLITE_FLOAT:
        return Value(sqlite3_column_double(stmt_, column));
    case SQLITE_NULL:
        return Value();
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        const int size = sqlite3_column_bytes(stmt_, column);
        return Value(std::string(text ? text : "", static_cast<std::size_t>(size)));
    }
    }
}

} // namespace katalox::store
