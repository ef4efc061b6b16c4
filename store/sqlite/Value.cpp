#include "store/sqlite/Value.h"

#include "platform/Error.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <strings.h>

namespace katalox::store {

std::string Value::asString() const {
    if (const auto* integer = std::get_if<std::int64_t>(&data_))
        return std::to_string(*integer);
    if (const auto* real = std::get_if<double>(&data_)) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.15g", *real);
        return buffer;
    }
    if (const auto* text = std::get_if<std::string>(&data_))
        return *text;
    return {};
}

std::int64_t Value::asInteger() const {
    if (const auto* integer = std::get_if<std::int64_t>(&data_))
        return *integer;
    if (const auto* real = std::get_if<double>(&data_)) {
        // Only a whole number within the integer range is one: rounding 1.5 to 1 would make
        // a record's Id name another record. NaN fails every comparison and is refused too.
        if (*real >= -9223372036854775808.0 && *real < 9223372036854775808.0 &&
            std::trunc(*real) == *real)
            return static_cast<std::int64_t>(*real);
        throw EngineError("'" + asString() + "' is not a valid integer value");
    }
    if (const auto* text = std::get_if<std::string>(&data_)) {
        std::int64_t result = 0;
        const char* first = text->data();
        const char* last = first + text->size();
        if (first != last && *first == '+')
            ++first;
        auto [end, error] = std::from_chars(first, last, result);
        if (error != std::errc() || end != last || first == last)
            throw EngineError("'" + *text + "' is not a valid integer value");
        return result;
    }
    // An empty field is no number; taking it for 0 would make it name the record with Id 0.
    throw EngineError("NULL is not a valid integer value");
}

int fieldIndexOf(const std::vector<Field>& fields, const std::string& name) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (::strcasecmp(fields[i].name.c_str(), name.c_str()) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace katalox::store
