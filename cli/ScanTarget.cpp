#include "cli/ScanTarget.h"

#include "platform/Paths.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace katalox::cli {

const std::vector<OptionSpec>& scanOptions() {
    static const std::vector<OptionSpec> options = {{"--disk-id", true},
                                                    {"--name", true},
                                                    {"--ext", true},
                                                    {"--no-fingerprints", false},
                                                    {"--no-archives", false}};
    return options;
}

ScanTarget scanTargetOf(const Arguments& args) {
    if (args.words().size() != 1)
        throw UsageError("scan needs one folder");
    const auto diskId = args.value("--disk-id");
    if (!diskId || diskId->empty())
        throw UsageError("scan needs --disk-id ID");
    char resolved[PATH_MAX];
    if (!::realpath(args.words()[0].c_str(), resolved))
        throw Error("cannot scan " + args.words()[0] + ": no such folder");
    std::string folder = resolved;
    if (folder.back() != platform::kPathSeparator)
        folder.push_back(platform::kPathSeparator);
    return {*diskId,
            {folder, args.value("--name").value_or("*"), args.value("--ext").value_or("*")}};
}

void tellScanEnd(const std::string& diskId, const ScanEnd& end) {
    if (::isatty(STDERR_FILENO))
        std::fprintf(stderr, "%lld files inserted under %s\n", static_cast<long long>(end.records),
                     diskId.c_str());
    if (end.unreadArchives + end.membersLeftOut > 0)
        std::fprintf(stderr,
                     "%lld archives could not be read and %lld members of archives were left "
                     "out\n",
                     static_cast<long long>(end.unreadArchives),
                     static_cast<long long>(end.membersLeftOut));
    if (end.unreadable + end.changing > 0)
        std::fprintf(stderr,
                     "%lld files could not be read and %lld changed while read: they "
                     "have no fingerprint\n",
                     static_cast<long long>(end.unreadable), static_cast<long long>(end.changing));
}

} // namespace katalox::cli
