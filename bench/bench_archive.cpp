// Archives looked inside at insert: a zip and an ISO 9660 image of 10,000 entries each, their
// members written as records; and a tree where 2% of 100,000 files are zips of 50 entries,
// inserted with archives looked inside against the same insert with them off (prints off in
// both, so that only the archives differ); and that tree's inserts into a catalogue on the
// server that scripts/run-benchmarks.sh starts, when there is one.
#include "BenchUtil.h"
#include "GeneratedTree.h"
#include "ServerDatabase.h"

#include "scanner/FileWalk.h"
#include "store/archives/ArchiveListing.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/CatalogFile.h"
#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgListInsert.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace katalox;

namespace {

void run(const std::string& command) {
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("failed: " + command);
}

// `count` small files in folders of 100 under `root`.
void makeFiles(const std::string& root, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string folder = root + "/d" + std::to_string(i / 100);
        if (i % 100 == 0)
            bench::makeFolder(folder);
        std::ofstream(folder + "/member" + std::to_string(i) + ".txt") << "member " << i;
    }
}

std::vector<std::string> listed(const scanner::WalkRules& rules) {
    std::vector<std::string> paths;
    const bool stopped = false;
    scanner::walkMatchingFiles(
        rules, [&](const std::string& path, std::uint64_t, std::int64_t) { paths.push_back(path); },
        stopped);
    return paths;
}

// The insert of every file under `folder`, in milliseconds, into a new catalogue; the median
// of three.
double insertMs(const std::string& catalogue, const std::string& folder, bool archives) {
    const scanner::WalkRules rules{folder + "/", "*", "*"};
    const std::vector<std::string> paths = listed(rules);
    std::vector<double> runs;
    for (int round = 0; round < 3; ++round) {
        std::remove(catalogue.c_str());
        store::createEmptyCatalog(catalogue);
        store::Catalog catalog(catalogue);
        store::ScanToInsert scan{"bench", rules, false};
        if (!archives)
            scan.archives.reset();
        const double start = bench::nowMs();
        const store::InsertFigures figures = catalog.insert(
            scan, paths.size(), [&](std::size_t i) { return std::string_view(paths[i]); });
        runs.push_back(bench::nowMs() - start);
        if (round == 0)
            std::printf("  %s: %lld files, %lld members\n", folder.c_str(),
                        static_cast<long long>(figures.records),
                        static_cast<long long>(figures.members));
    }
    return bench::median(runs);
}

// The same on the server, by the scan window's insert, into a new database each time.
double serverInsertMs(const std::string& folder, bool archives) {
    const scanner::WalkRules rules{folder + "/", "*", "*"};
    const std::vector<std::string> paths = listed(rules);
    std::vector<double> runs;
    for (int round = 0; round < 3; ++round) {
        const std::string uri = bench::freshDatabase("bench_archive");
        store::initialiseCatalogue(uri);
        store::PgConnection db(uri);
        const double start = bench::nowMs();
        const store::ListInsertFigures figures = store::insertListOnServer(
            db, "Files", store::scanStarting("bench", rules, paths.size()), paths.size(),
            [&](std::size_t i) { return std::string_view(paths[i]); }, {}, false,
            archives ? std::optional(store::ArchiveLimits{store::defaultArchiveFormats()})
                     : std::nullopt);
        runs.push_back(bench::nowMs() - start);
        if (round == 0)
            std::printf("  server %s: %lld files, %lld members\n", folder.c_str(),
                        static_cast<long long>(figures.records),
                        static_cast<long long>(figures.members.members));
    }
    return bench::median(runs);
}

} // namespace

int main() {
    bench::ScratchDir scratch;
    const std::string s = scratch.path();
    const std::string catalogue = s + "/Files.db";
    makeFiles(s + "/entries", 10000);
    bench::makeFolder(s + "/zip");
    bench::makeFolder(s + "/iso");
    const std::string entries = "cd " + s + "/entries";
    run(entries + " && zip -q -r ../zip/big.zip .");
    run(entries + " && xorriso -as mkisofs -quiet -o ../iso/big.iso . 2>/dev/null");
    bench::report("archive.zip.list.ms", insertMs(catalogue, s + "/zip", true), "ms");
    // Its listing alone, without writing the records: what the catalogue adds is the rest.
    const double listStart = bench::nowMs();
    store::listArchive(s + "/zip/big.zip", {store::defaultArchiveFormats()});
    bench::report("archive.zip.read_alone.ms", bench::nowMs() - listStart, "ms");
    bench::report("archive.iso.list.ms", insertMs(catalogue, s + "/iso", true), "ms");

    // 98,000 plain files and 2,000 zips of 50 entries.
    makeFiles(s + "/small", 50);
    run("cd " + s + "/small && zip -q -r ../small.zip .");
    makeFiles(s + "/tree", 98000);
    for (int i = 0; i < 2000; ++i)
        std::filesystem::copy_file(s + "/small.zip", s + "/tree/d" + std::to_string(i % 980) +
                                                         "/archive" + std::to_string(i) + ".zip");
    const double plain = insertMs(catalogue, s + "/tree", false);
    const double inside = insertMs(catalogue, s + "/tree", true);
    std::printf("  tree: %.0f ms plain, %.0f ms looking inside archives\n", plain, inside);
    bench::report("archive.insert.vs_plain", inside / plain, "x");
    if (bench::benchServer().empty()) {
        std::printf("  no server: the inserts on a server are not measured\n");
        return 0;
    }
    const double serverPlain = serverInsertMs(s + "/tree", false);
    const double serverInside = serverInsertMs(s + "/tree", true);
    std::printf("  tree on a server: %.0f ms plain, %.0f ms looking inside archives\n", serverPlain,
                serverInside);
    bench::report("archive.server.insert.ms", serverInside, "ms");
    bench::report("archive.server.insert.vs_plain", serverInside / serverPlain, "x");
    return 0;
}
