#pragma once
// The rows a statement returned, counted exactly, readable by row number.
#include "store/sqlite/Value.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace katalox::store {

class ResultSet {
public:
    virtual ~ResultSet() = default;
    virtual const std::vector<Field>& fields() const = 0;
    virtual std::int64_t count() const = 0;
    // 0-based row and column, both within range.
    virtual Value value(std::int64_t row, int column) = 0;
    // The sum over every row of the column's value in whole kilobytes (each value / 1024,
    // rounded down), computed where the rows are; none when reading the rows is as quick, or
    // when a value is not a whole number.
    virtual std::optional<std::int64_t> summedKilobytes(int /*column*/) { return std::nullopt; }
};

} // namespace katalox::store
