#include "cli/FindFilters.h"

#include "platform/Utf8.h"

#include <fnmatch.h>

#include <algorithm>

namespace katalox::cli {

namespace {

bool extensionMatches(const std::string& upperName, const std::string& extension) {
    const std::size_t dot = upperName.rfind('.');
    const std::string own = dot == std::string::npos ? std::string() : upperName.substr(dot + 1);
    return ::fnmatch(extension.c_str(), own.c_str(), 0) == 0;
}

} // namespace

const std::vector<OptionSpec>& findOptions() {
    static const std::vector<OptionSpec> options = {
        {"--glob", false}, {"--regex", false},   {"--disk", true},
        {"--ext", true},   {"--min-size", true}, {"--max-size", true},
        {"--newer", true}, {"--older", true},    {"--online", false},
        {"--limit", true}, {"--count", false},   {"-0", false, "--null"},
        {"--json", false}, {"--csv", false},     {"-i", false, "--ignore-case"}};
    return options;
}

void requireChoice(const Arguments& args) {
    if (args.words().empty() && !args.has("--disk") && !args.has("--ext") &&
        !args.has("--min-size") && !args.has("--max-size") && !args.has("--newer") &&
        !args.has("--older") && !args.has("--online"))
        throw UsageError("find needs a PATTERN (or an option that chooses records)");
}

std::string likeSubstring(const std::string& pattern) {
    std::string like = "%";
    for (const char c : platform::upperCase(pattern)) {
        if (c == '%' || c == '_' || c == '\\')
            like.push_back('\\');
        like.push_back(c);
    }
    return like + "%";
}

bool RecordFilters::passes(const FoundRecord& record) const {
    if (!disks.empty() && std::none_of(disks.begin(), disks.end(), [&](const std::string& disk) {
            return ::fnmatch(disk.c_str(), record.diskId.c_str(), 0) == 0;
        }))
        return false;
    if (extension && !extensionMatches(record.upperName, *extension))
        return false;
    if ((minSize && record.size < *minSize) || (maxSize && record.size > *maxSize))
        return false;
    return std::all_of(globs.begin(), globs.end(), [&](const std::string& glob) {
        return ::fnmatch(glob.c_str(), record.storedPath.c_str(), 0) == 0;
    });
}

RecordFilters recordFiltersOf(const Arguments& args) {
    RecordFilters filters;
    filters.disks = args.values("--disk");
    if (const auto ext = args.value("--ext"))
        filters.extension = platform::upperCase(*ext);
    if (const auto size = args.value("--min-size"))
        filters.minSize = sizeArgument("--min-size", *size);
    if (const auto size = args.value("--max-size"))
        filters.maxSize = sizeArgument("--max-size", *size);
    if (args.has("--glob"))
        for (const std::string& pattern : args.words())
            filters.globs.push_back(platform::upperCase(pattern));
    return filters;
}

FindOutput findOutputOf(const Arguments& args) {
    FindOutput output;
    if (const auto limit = args.value("--limit"))
        output.limit = countArgument("--limit", *limit);
    output.countOnly = args.has("--count");
    output.format = args.has("--json")  ? RecordFormat::Json
                    : args.has("--csv") ? RecordFormat::Csv
                    : args.has("-0")    ? RecordFormat::NulSeparated
                                        : RecordFormat::Lines;
    return output;
}

bool TimeFilters::passes(const FoundRecord& record) const {
    if (!any())
        return true;
    return record.facts && (!newer || record.facts->modified >= *newer) &&
           (!older || record.facts->modified < *older);
}

TimeFilters timeFiltersOf(const Arguments& args) {
    TimeFilters filters;
    if (const auto date = args.value("--newer"))
        filters.newer = dateArgument("--newer", *date);
    if (const auto date = args.value("--older"))
        filters.older = dateArgument("--older", *date);
    return filters;
}

} // namespace katalox::cli
