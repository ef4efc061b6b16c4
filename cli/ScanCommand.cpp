// scan: what the scan window and its insert do, without a window.
#include "cli/Arguments.h"
#include "cli/Commands.h"

#include "platform/Paths.h"
#include "scanner/WalkAhead.h"
#include "store/catalog/Catalog.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace katalox::cli {

namespace {

// A progress line on a terminal, at most a few times a second; nothing when not on one.
class Progress {
public:
    Progress() : shown_(::isatty(STDERR_FILENO) != 0), start_(now()) {}
    ~Progress() {
        if (shown_ && drawn_)
            std::fputs("\n", stderr);
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    template <typename Text> void show(Text&& text) {
        if (!shown_ || now() - last_ < 0.2)
            return;
        last_ = now();
        drawn_ = true;
        std::fprintf(stderr, "\r%s\033[K", text(last_ - start_).c_str());
    }

private:
    static double now() {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    bool shown_;
    bool drawn_ = false;
    double start_;
    double last_ = 0;
};

std::string rate(std::size_t files, double seconds) {
    return std::to_string(
               static_cast<long long>(static_cast<double>(files) / std::max(seconds, 0.001))) +
           " files/s";
}

} // namespace

int runScan(store::Catalog& catalog, const Words& words) {
    const Arguments args(words, {{"--disk-id", true},
                                 {"--name", true},
                                 {"--ext", true},
                                 {"--no-fingerprints", false},
                                 {"--no-archives", false}});
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
    const scanner::WalkRules rules{folder, args.value("--name").value_or("*"),
                                   args.value("--ext").value_or("*")};
    // The walk runs ahead on a thread of its own while the records are written.
    scanner::WalkAhead walk(rules);
    std::size_t folders = 0;
    std::size_t listed = 0;
    std::string lastFolder;
    Progress progress;
    const store::InsertFigures figures = catalog.insertAsListed(
        {*diskId, rules, !args.has("--no-fingerprints"),
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
    if (::isatty(STDERR_FILENO))
        std::fprintf(stderr, "%lld files inserted under %s\n",
                     static_cast<long long>(figures.records), diskId->c_str());
    if (figures.unreadArchives + figures.membersLeftOut > 0)
        std::fprintf(stderr,
                     "%lld archives could not be read and %lld members of archives were left "
                     "out\n",
                     static_cast<long long>(figures.unreadArchives),
                     static_cast<long long>(figures.membersLeftOut));
    if (figures.unreadable + figures.changing > 0)
        std::fprintf(stderr,
                     "%lld files could not be read and %lld changed while read: they "
                     "have no fingerprint\n",
                     static_cast<long long>(figures.unreadable),
                     static_cast<long long>(figures.changing));
    return 0;
}

} // namespace katalox::cli
