#pragma once
// Another program with the catalogue open on a connection of its own: it checks what reached
// the file, changes it behind the program's back, and can hold it while a command runs.
#include "store/sqlite/SqliteHandles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace katalox::test {

class OtherProgram {
public:
    // Waits for a lock as long as the program does: the program's index builder writes too.
    explicit OtherProgram(const std::string& path) : db_(store::openSqlite(path)) {
        sqlite3_busy_timeout(db_.get(), 2000);
    }

    sqlite3* handle() const { return db_.get(); }

    void exec(const std::string& sql) {
        ASSERT_EQ(sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db_.get());
    }
    // The first column of the first row; -1 when there is none or the statement fails.
    std::int64_t number(const std::string& sql) {
        try {
            const store::SqliteStatement statement = store::prepareSqlite(db_.get(), sql);
            if (statement && sqlite3_step(statement.get()) == SQLITE_ROW)
                return sqlite3_column_int64(statement.get(), 0);
        } catch (const std::exception&) {
        }
        return -1;
    }

    // Every record's name, path, Disk ID and size, in Id order, text byte for byte.
    using Record = std::tuple<std::string, std::string, std::string, std::int64_t>;
    std::vector<Record> records() {
        const store::SqliteStatement statement =
            store::prepareSqlite(db_.get(), "SELECT \"File Name\", \"File Path\", \"Disk ID\", "
                                            "\"File Size\" FROM Files ORDER BY Id");
        sqlite3_stmt* row = statement.get();
        auto text = [row](int column) {
            const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
            return std::string(bytes ? bytes : "",
                               static_cast<std::size_t>(sqlite3_column_bytes(row, column)));
        };
        std::vector<Record> rows;
        while (sqlite3_step(row) == SQLITE_ROW)
            rows.emplace_back(text(0), text(1), text(2), sqlite3_column_int64(row, 3));
        return rows;
    }

private:
    store::SqliteConnection db_;
};

} // namespace katalox::test
