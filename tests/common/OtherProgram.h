#pragma once
// Another program with the catalogue open on a connection of its own: it checks what reached
// the file, and can hold the catalogue while a command runs.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace katalox::test {

class OtherProgram {
public:
    explicit OtherProgram(const std::string& path) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        db_.reset(db);
    }
    void exec(const std::string& sql) {
        ASSERT_EQ(sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db_.get());
    }
    std::int64_t number(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        std::int64_t result = -1;
        if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            result = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
        return result;
    }

    // Every record's name, path, Disk ID and size, in Id order, text byte for byte.
    using Record = std::tuple<std::string, std::string, std::string, std::int64_t>;
    std::vector<Record> records() {
        sqlite3_stmt* stmt = nullptr;
        std::vector<Record> rows;
        sqlite3_prepare_v2(db_.get(),
                           "SELECT \"File Name\", \"File Path\", \"Disk ID\", \"File Size\" "
                           "FROM Files ORDER BY Id",
                           -1, &stmt, nullptr);
        auto text = [stmt](int column) {
            const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
            return std::string(bytes ? bytes : "",
                               static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)));
        };
        while (stmt && sqlite3_step(stmt) == SQLITE_ROW)
            rows.emplace_back(text(0), text(1), text(2), sqlite3_column_int64(stmt, 3));
        sqlite3_finalize(stmt);
        return rows;
    }

private:
    struct Close {
        void operator()(sqlite3* db) const { sqlite3_close(db); }
    };
    std::unique_ptr<sqlite3, Close> db_;
};

} // namespace katalox::test
