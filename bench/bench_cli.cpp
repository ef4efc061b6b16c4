// katalox-cli beside Debian's plocate and updatedb, on the same real-shaped tree: the names and
// sizes of /usr made eight times over (sparse files on the memory file system), scanned into a
// catalogue by `katalox-cli scan` and into a database by `updatedb`, then searched by both.
// Whole processes are timed, as a user at a terminal meets them.
#include "BenchUtil.h"
#include "GeneratedTree.h"

#include "scanner/FileWalk.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/CatalogFile.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace katalox;

namespace {

constexpr int kCopies = 8;

// /usr's files as empty files of the same sizes, `kCopies` times, with one rare name in each.
std::size_t makeUsrCopies(const std::string& root) {
    std::vector<std::pair<std::string, std::uint64_t>> files;
    const bool stopped = false;
    scanner::walkMatchingFiles(
        {"/usr/", "*", "*"},
        [&](const std::string& path, std::uint64_t size, std::int64_t) {
            files.emplace_back(path, size);
        },
        stopped);
    std::size_t made = 0;
    for (int copy = 0; copy < kCopies; ++copy) {
        const std::string base = root + "/copy" + std::to_string(copy);
        std::string lastFolder;
        for (const auto& [path, size] : files) {
            const std::string target = base + path;
            const std::string folder = target.substr(0, target.rfind('/'));
            if (folder != lastFolder) {
                bench::makeFolder(folder);
                lastFolder = folder;
            }
            bench::makeFile(target, static_cast<off_t>(std::min<std::uint64_t>(size, 1u << 30)));
            ++made;
        }
        bench::makeFile(base + "/usr/Quarterly-ZQX-Report.pdf", 1000);
        ++made;
    }
    return made;
}

} // namespace

int main() {
    bench::ScratchDir scratch;
    const bench::TreeDir treeDir(scratch.path() + "/tree");
    const std::string tree = treeDir.path();
    std::printf("tree: %zu files\n", makeUsrCopies(tree));
    const std::string catalogue = scratch.path() + "/Files.db";
    const std::string locateDb = scratch.path() + "/plocate.db";
    store::createEmptyCatalog(catalogue);
    ::sync();

    // updatedb reads names only: our scan is timed like for like, without content prints.
    const double scanMs = bench::processMs({KATALOX_CLI, "--catalog", catalogue, "scan", tree,
                                            "--disk-id", "usr", "--no-fingerprints"});
    const double updatedbMs = bench::processMs(
        {"updatedb", "--require-visibility", "0", "--database-root", tree, "--output", locateDb});
    bench::report("cli.scan.ms", scanMs, "ms");
    bench::report("cli.scan.updatedb_ms", updatedbMs, "ms");
    bench::report("cli.scan.vs_updatedb", scanMs / updatedbMs, "x");
    // Where the scan's time goes: the walk alone, in this process, on the warm cache.
    {
        const double start = bench::nowMs();
        std::size_t listed = 0;
        const bool stopped = false;
        scanner::walkMatchingFiles(
            {tree + "/", "*", "*"},
            [&](const std::string&, std::uint64_t, std::int64_t) { ++listed; }, stopped);
        bench::report("cli.scan.walk_ms", bench::nowMs() - start, "ms");
    }

    // The index the scan left being built behind it, finished before searching.
    bench::report("cli.index.ms", bench::processMs({KATALOX_CLI, "--catalog", catalogue, "index"}),
                  "ms");
    const double ours =
        bench::medianProcessMs({KATALOX_CLI, "--catalog", catalogue, "find", "zqx-report"});
    const double theirs = bench::medianProcessMs({"plocate", "-d", locateDb, "ZQX-Report"});
    const double theirsIgnoringCase =
        bench::medianProcessMs({"plocate", "-i", "-d", locateDb, "zqx-report"});
    bench::report("cli.find.ms", ours, "ms");
    bench::report("cli.find.plocate_ms", theirs, "ms");
    bench::report("cli.find.vs_plocate", ours / theirs, "x");
    bench::report("cli.find_i.plocate_i_ms", theirsIgnoringCase, "ms");
    bench::report("cli.find_i.vs_plocate_i", ours / theirsIgnoringCase, "x");
    // The same scan with content prints, as a user gets it by default (last: it leaves an index
    // being built behind it).
    {
        const std::string printed = scratch.path() + "/Printed.db";
        store::createEmptyCatalog(printed);
        bench::report(
            "cli.scan.fingerprints_ms",
            bench::processMs({KATALOX_CLI, "--catalog", printed, "scan", tree, "--disk-id", "usr"}),
            "ms");
    }
    return 0;
}
