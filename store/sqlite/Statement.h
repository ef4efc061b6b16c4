#pragma once
// One prepared SQLite statement, finalized when it goes out of scope.
#include "store/sqlite/SqliteHandles.h"
#include "store/sqlite/Value.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace katalox::store {

class Statement {
public:
    // Prepares one statement; throws EngineError with the engine's message when it is refused.
    Statement(sqlite3* db, const std::string& sql);

    void bind(int index, const Value& value); // 1-based, as the engine numbers parameters
    // The same without copying text: the value must stay where it is until the next reset().
    void bindKept(int index, const Value& value);
    void bindInteger(int index, std::int64_t value);
    void bindText(int index, const std::string& text);
    void bindBlob(int index, std::string_view bytes);
    // Throws EngineError when the statement has parameters (":name", "?"): statements the
    // user writes run as written, and a parameter left unbound would quietly read as NULL.
    void refuseParameters() const;
    // True when the statement only reads (a select).
    bool readOnly() const;

    // Steps once: true when a row is ready, false when done. Throws EngineError on failure.
    bool step();
    // Readies the statement to run again, its parameters unbound.
    void reset();

    int columnCount() const;
    std::string columnName(int column) const;
    // The declared type of a result column that comes straight from a table, else empty.
    std::string columnDeclaredType(int column) const;
    bool columnIsInteger(int column) const;
    std::int64_t columnInteger(int column) const;
    Value columnValue(int column) const;

private:
    sqlite3* db_ = nullptr;
    SqliteStatement stmt_;
};

} // namespace katalox::store
