#include "store/sqlite/Statement.h"

#include "platform/Error.h"

#include <sqlite3.h>

namespace katalox::store {

Statement::Statement(sqlite3* db, const std::string& sql) : db_(db), stmt_(prepareSqlite(db, sql)) {
    if (!stmt_) // only white space or comments
        throw EngineError("The statement is empty");
}

void Statement::bind(int index, const Value& value) {
    if (value.isNull())
        sqlite3_bind_null(stmt_.get(), index);
    else if (value.isInteger())
        bindInteger(index, value.asInteger());
    else
        bindText(index, value.asString());
}

void Statement::bindKept(int index, const Value& value) {
    if (const std::string* text = value.text())
        sqlite3_bind_text(stmt_.get(), index, text->data(), static_cast<int>(text->size()),
                          SQLITE_STATIC);
    else
        bind(index, value);
}

void Statement::bindInteger(int index, std::int64_t value) {
    sqlite3_bind_int64(stmt_.get(), index, value);
}

void Statement::bindText(int index, const std::string& text) {
    sqlite3_bind_text(stmt_.get(), index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

void Statement::bindBlob(int index, std::string_view bytes) {
    sqlite3_bind_blob64(stmt_.get(), index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
}

void Statement::refuseParameters() const {
    if (sqlite3_bind_parameter_count(stmt_.get()) > 0)
        throw EngineError("Parameters are not supported in a statement");
}

bool Statement::readOnly() const {
    return sqlite3_stmt_readonly(stmt_.get()) != 0;
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_.get());
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const int code = sqlite3_errcode(db_);
    std::string message = sqlite3_errmsg(db_);
    sqlite3_reset(stmt_.get());
    throwEngineError(code, message);
}

void Statement::reset() {
    sqlite3_reset(stmt_.get());
    sqlite3_clear_bindings(stmt_.get());
}

int Statement::columnCount() const {
    return sqlite3_column_count(stmt_.get());
}

std::string Statement::columnName(int column) const {
    const char* name = sqlite3_column_name(stmt_.get(), column);
    return name ? name : "";
}

std::string Statement::columnDeclaredType(int column) const {
    const char* type = sqlite3_column_decltype(stmt_.get(), column);
    return type ? type : "";
}

bool Statement::columnIsInteger(int column) const {
    return sqlite3_column_type(stmt_.get(), column) == SQLITE_INTEGER;
}

std::int64_t Statement::columnInteger(int column) const {
    return sqlite3_column_int64(stmt_.get(), column);
}

Value Statement::columnValue(int column) const {
    switch (sqlite3_column_type(stmt_.get(), column)) {
    case SQLITE_INTEGER:
        return Value(std::int64_t{sqlite3_column_int64(stmt_.get(), column)});
    case SQLITE_FLOAT:
        return Value(sqlite3_column_double(stmt_.get(), column));
    case SQLITE_NULL:
        return Value();
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_.get(), column));
        const int size = sqlite3_column_bytes(stmt_.get(), column);
        return Value(std::string(text ? text : "", static_cast<std::size_t>(size)));
    }
    }
}

} // namespace katalox::store
