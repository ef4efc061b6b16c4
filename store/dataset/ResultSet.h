#pragma once
// The rows a statement returned, counted exactly, readable by row number.
#include "store/sqlite/Value.h"

#include <cstdint>
#include <vector>

namespace katalox::store {

class ResultSet {
public:
    virtual ~ResultSet() = default;
    virtual const std::vector<Field>& fields() const = 0;
    virtual std::int64_t count() const = 0;
    // 0-based row and column, both within range.
    virtual Value value(std::int64_t row, int column) = 0;
};

} // namespace katalox::store
