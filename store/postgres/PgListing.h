#pragma once
// The rows of one select, read through a cursor on the server a piece at a time: a result of
// millions of rows never lies in memory whole, and the first rows come before the last are
// found. The cursor reads one snapshot, in a read-only transaction of its own.
#include "store/postgres/PgConnection.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace katalox::store {

class PgListing {
public:
    // Opens a cursor on `select` with its parameters. Throws EngineError.
    PgListing(PgConnection& db, const std::string& select,
              const std::vector<PgParameter>& parameters = {});
    // Closes the cursor with its transaction.
    ~PgListing() = default;
    PgListing(const PgListing&) = delete;
    PgListing& operator=(const PgListing&) = delete;

    // Moves to the next row; false after the last. Throws EngineError.
    bool next();
    // A field of the current row, as PgResult gives it.
    std::string text(int column) const { return piece_->text(row_, column); }
    std::int64_t integer(int column) const { return piece_->integer(row_, column); }

private:
    PgConnection& db_;
    PgTransaction transaction_;
    std::optional<PgResult> piece_;
    int row_ = 0;
    bool ended_ = false;
};

} // namespace katalox::store
