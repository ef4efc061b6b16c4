// scan: what the scan window and its insert do, without a window.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Progress.h"
#include "cli/ScanTarget.h"

#include "platform/Paths.h"
#include "scanner/WalkAhead.h"
#include "store/catalog/Catalog.h"

#include <cstdio>

namespace katalox::cli {

int runScan(store::Catalog& catalog, const Words& words) {
    const Arguments args(words, scanOptions());
    const auto [diskId, rules] = scanTargetOf(args);
    // The walk runs ahead on a thread of its own while the records are written.
    scanner::WalkAhead walk(rules);
    std::size_t folders = 0;
    std::size_t listed = 0;
    std::string lastFolder;
    Progress progress;
    const store::InsertFigures figures = catalog.insertAsListed(
        {diskId, rules, !args.has("--no-fingerprints"),
         args.has("--no-archives")
             ? std::nullopt
             : std::optional(store::ArchiveLimits{store::defaultArchiveFormats()})},
        [&](std::string& path, store::Catalog::ListedFile& file) {
            const scanner::WalkAhead::Listed* found = walk.next();
            if (!found)
                return false;
            path = found->path;
            file = {found->size, found->modified};
            const std::string_view in(path.data(), path.rfind(platform::kPathSeparator));
            if (in != lastFolder) {
                lastFolder.assign(in);
                ++folders;
            }
            ++listed;
            return true;
        },
        [&](std::size_t) {
            progress.show([&](double seconds) {
                return std::to_string(folders) + " folders, " + std::to_string(listed) +
                       " files, " + rate(listed, seconds);
            });
            return true;
        });
    indexInTheBackground(catalog);
    tellScanEnd(diskId, {figures.records, figures.unreadArchives, figures.membersLeftOut,
                         figures.unreadable, figures.changing});
    return 0;
}

} // namespace katalox::cli
