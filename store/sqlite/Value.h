#pragma once
// One field value of a record, as the engine gives it.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace katalox::store {

class Value {
public:
    Value() = default;
    explicit Value(std::int64_t integer) : data_(integer) {}
    explicit Value(double real) : data_(real) {}
    explicit Value(std::string text) : data_(std::move(text)) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(data_); }
    bool isInteger() const { return std::holds_alternative<std::int64_t>(data_); }
    // The text of a text value; null for any other.
    const std::string* text() const { return std::get_if<std::string>(&data_); }

    // Text form: integers in decimal, NULL as the empty text.
    std::string asString() const;
    // Integer form. NULL, a real that is not a whole number within the integer range, or a
    // text that is not a whole number throws EngineError "'<text>' is not a valid integer
    // value" ("NULL is not a valid integer value"): nothing is rounded or taken for 0.
    std::int64_t asInteger() const;

    bool operator==(const Value&) const = default;

private:
    std::variant<std::monostate, std::int64_t, double, std::string> data_;
};

enum class FieldKind { Integer, Float, Text, Blob };

struct Field {
    std::string name;
    FieldKind kind = FieldKind::Text;
    bool operator==(const Field&) const = default;
};

// Index of the field named `name` in `fields`, letter case ignored as the engine does; -1 when
// there is none.
int fieldIndexOf(const std::vector<Field>& fields, const std::string& name);

} // namespace katalox::store
