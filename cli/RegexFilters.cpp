#include "cli/RegexFilters.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>

namespace katalox::cli {

// A compiled regular expression, freed with its match data.
class Regex {
public:
    Regex(const std::string& pattern, bool caseless) {
        int error = 0;
        PCRE2_SIZE at = 0;
        const std::uint32_t options =
            PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | (caseless ? PCRE2_CASELESS : 0);
        code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), options,
                              &error, &at, nullptr);
        if (!code_) {
            PCRE2_UCHAR message[256];
            pcre2_get_error_message(error, message, sizeof message);
            throw UsageError("the regular expression \"" + pattern +
                             "\" is not valid: " + reinterpret_cast<const char*>(message));
        }
        match_ = pcre2_match_data_create_from_pattern(code_, nullptr);
    }
    ~Regex() {
        pcre2_match_data_free(match_);
        pcre2_code_free(code_);
    }
    Regex(const Regex&) = delete;
    Regex& operator=(const Regex&) = delete;
    bool matches(const std::string& text) const {
        return pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0,
                           match_, nullptr) >= 0;
    }

private:
    pcre2_code* code_ = nullptr;
    pcre2_match_data* match_ = nullptr;
};

RegexFilters::RegexFilters() = default;
RegexFilters::~RegexFilters() = default;
RegexFilters::RegexFilters(RegexFilters&&) noexcept = default;
RegexFilters& RegexFilters::operator=(RegexFilters&&) noexcept = default;

bool RegexFilters::passes(const FoundRecord& record) const {
    return std::all_of(regexes_.begin(), regexes_.end(),
                       [&](const auto& regex) { return regex->matches(record.path()); });
}

RegexFilters regexFiltersOf(const Arguments& args) {
    RegexFilters filters;
    if (args.has("--regex"))
        for (const std::string& pattern : args.words())
            filters.regexes_.push_back(std::make_unique<Regex>(pattern, args.has("-i")));
    return filters;
}

} // namespace katalox::cli
