#pragma once
// The rows of `select * from <table> where <conditions>` on a server, in "Id" order, as the
// windows list them: counted exactly when opened and read a page at a time, so a listing of
// millions of rows never lies in memory. A page is found from the nearest page read before
// it, below or above (by "Id", so that scrolling on reads only the rows shown), or from either
// end of the listing, so that a jump to its last rows costs no walk through the others.
// The listing holds what the catalogue held when it was opened: records others write after
// that are not in it, and rows others delete read as NULL at its end.
#include "store/dataset/ResultSet.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace katalox::store {

class PgConnection;
class PgResult;

class ServerListing : public ResultSet {
public:
    static constexpr int kPageRows = 500;

    // `conditions` in the server's dialect; empty for every row. `diskId`: the Disk ID (in
    // its server form) that the conditions ask for exactly, when they do. Reads the count and
    // the first page. Throws EngineError with the server's message.
    ServerListing(std::shared_ptr<PgConnection> db, const std::string& table,
                  const std::string& conditions,
                  const std::optional<std::string>& diskId = std::nullopt);

    const std::vector<Field>& fields() const override { return fields_; }
    std::int64_t count() const override { return count_; }
    // Throws EngineError when the page cannot be read (the connection was lost).
    Value value(std::int64_t row, int column) override;
    std::optional<std::int64_t> summedKilobytes(int column) override;

private:
    // Rows read by one statement, from listing row `firstRow` on, in "Id" order or the reverse;
    // shared by the pages they cover, and read into values only when asked for.
    struct Rows {
        std::shared_ptr<const PgResult> result;
        std::int64_t firstRow = 0;
        std::int64_t rows = 0;
        bool backwards = false;
    };
    void loadPage(std::int64_t page);
    void keepPage(std::int64_t page, const Rows& rows);

    std::shared_ptr<PgConnection> db_;
    std::string from_;          // FROM and WHERE of every record listed
    std::string selectBetween_; // rows between two "Id"s, in "Id" order
    std::string selectBetweenBackwards_;
    std::vector<Field> fields_;
    int idColumn_ = -1;
    std::int64_t count_ = 0;
    std::int64_t lastId_ = 0; // the last record when opened
    // The first and the last record listed, when known; else bounds around every record.
    std::int64_t firstId_ = 0;
    std::int64_t lastListedId_ = 0;
    // The "Id" of rows at the edges of the pages read.
    std::map<std::int64_t, std::int64_t> idOfRow_;
    // The pages held, by number, with the order of their last use.
    std::map<std::int64_t, Rows> pages_;
    std::vector<std::int64_t> pageUse_;
    std::int64_t lastLoaded_ = -2;
    std::int64_t readAhead_ = 1;
};

// A value of a server result as the data sets give them: a text back in the file system's
// bytes, a whole number as an integer, NULL as NULL.
Value serverValue(const PgResult& result, int row, int column);
// A row of a server result as the data sets give values: texts back in the file system's
// bytes, whole numbers as integers, NULL as NULL.
std::vector<Value> serverRow(const PgResult& result, int row);
// The fields of a server result.
std::vector<Field> serverFields(const PgResult& result);

} // namespace katalox::store
