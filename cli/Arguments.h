#pragma once
// A command's arguments: its options (with or without a value, some repeatable) and the words
// left. A mistake throws UsageError with the text to show.
#include "platform/Error.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace katalox::cli {

class UsageError : public Error {
public:
    using Error::Error;
};

struct OptionSpec {
    const char* name; // "--disk", or "-0"
    bool takesValue;
    const char* alias = nullptr; // another spelling, "--null"
};

class Arguments {
public:
    // Reads `words` against `specs`; "--" ends the options.
    Arguments(const std::vector<std::string>& words, const std::vector<OptionSpec>& specs);

    bool has(const std::string& option) const { return values_.count(option) > 0; }
    // The last value given, or none.
    std::optional<std::string> value(const std::string& option) const;
    // Every value given, in order.
    std::vector<std::string> values(const std::string& option) const;
    const std::vector<std::string>& words() const { return words_; }

private:
    std::map<std::string, std::vector<std::string>> values_;
    std::vector<std::string> words_;
};

// "10", "4K", "1.5M", "2G" (1024-based) as bytes. Throws UsageError.
std::int64_t sizeArgument(const std::string& option, const std::string& text);
// "2024-05-01", "2024-05-01T13:45" or "2024-05-01T13:45:10", local time, as seconds since
// 1970. Throws UsageError.
std::int64_t dateArgument(const std::string& option, const std::string& text);
// A whole number of at least 0. Throws UsageError.
std::int64_t countArgument(const std::string& option, const std::string& text);

} // namespace katalox::cli
