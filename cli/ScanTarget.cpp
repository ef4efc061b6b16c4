#include "cli/ScanTarget.h"

#include "platform/Paths.h"

#include <climits>
#include <cstdlib>

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

} // namespace katalox::cli
