#include "cli/Arguments.h"

#include <cmath>
#include <ctime>

namespace katalox::cli {

Arguments::Arguments(const std::vector<std::string>& words, const std::vector<OptionSpec>& specs) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            words_.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        // "--disk=ID" as well as "--disk ID".
        const std::size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& candidate : specs)
            if (name == candidate.name || (candidate.alias && name == candidate.alias))
                spec = &candidate;
        if (!spec)
            throw UsageError("unknown option " + name);
        std::vector<std::string>& given = values_[spec->name];
        if (!spec->takesValue) {
            if (equals != std::string::npos)
                throw UsageError("the option " + name + " takes no value");
            given.emplace_back();
        } else if (equals != std::string::npos) {
            given.push_back(word.substr(equals + 1));
        } else if (i + 1 < words.size()) {
            given.push_back(words[++i]);
        } else {
            throw UsageError("the option " + name + " needs a value");
        }
    }
}

std::optional<std::string> Arguments::value(const std::string& option) const {
    const auto found = values_.find(option);
    if (found == values_.end() || found->second.empty())
        return std::nullopt;
    return found->second.back();
}

std::vector<std::string> Arguments::values(const std::string& option) const {
    const auto found = values_.find(option);
    return found == values_.end() ? std::vector<std::string>{} : found->second;
}

std::int64_t sizeArgument(const std::string& option, const std::string& text) {
    std::size_t used = 0;
    double number = 0;
    try {
        number = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    double unit = 1;
    const std::string suffix = text.substr(used);
    if (suffix == "K" || suffix == "k")
        unit = 1024.0;
    else if (suffix == "M" || suffix == "m")
        unit = 1024.0 * 1024;
    else if (suffix == "G" || suffix == "g")
        unit = 1024.0 * 1024 * 1024;
    else if (!suffix.empty())
        used = 0;
    if (used == 0 || !(number >= 0) || number * unit > 9.0e18)
        throw UsageError(option + " needs a size such as 700, 64K, 1.5M or 4G, not \"" + text +
                         "\"");
    return static_cast<std::int64_t>(std::llround(number * unit));
}

std::int64_t dateArgument(const std::string& option, const std::string& text) {
    std::tm when{};
    when.tm_isdst = -1;
    int seconds = 0;
    char rest = 0;
    const int read =
        std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &when.tm_year, &when.tm_mon,
                    &when.tm_mday, &when.tm_hour, &when.tm_min, &seconds, &rest);
    when.tm_sec = seconds;
    const bool valid = (read == 3 && text.size() == 10) || read == 5 || read == 6;
    when.tm_year -= 1900;
    when.tm_mon -= 1;
    const std::time_t time = valid ? std::mktime(&when) : -1;
    if (!valid || time == -1)
        throw UsageError(option + " needs a date such as 2024-05-01 or 2024-05-01T13:45, not \"" +
                         text + "\"");
    return static_cast<std::int64_t>(time);
}

std::int64_t countArgument(const std::string& option, const std::string& text) {
    std::size_t used = 0;
    long long number = -1;
    try {
        number = std::stoll(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || number < 0)
        throw UsageError(option + " needs a whole number, not \"" + text + "\"");
    return number;
}

} // namespace katalox::cli
