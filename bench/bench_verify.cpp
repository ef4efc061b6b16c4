// Verifying a disk of about 2 GB of files of mixed sizes in the page cache, against Debian's
// xxhsum hashing the same files with the same 128-bit hash in one process.
#include "BenchUtil.h"
#include "GeneratedTree.h"

#include "store/catalog/Catalog.h"
#include "store/catalog/CatalogFile.h"
#include "store/copies/DiskVerification.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace katalox;

namespace {

// Two large files, a hundred middling ones, and thousands of small ones: 2.0 GB in all.
std::vector<std::string> makeMixedTree(const std::string& root) {
    std::string block(1 << 20, '\0');
    std::mt19937_64 random(7);
    for (std::size_t i = 0; i < block.size(); i += 8) {
        const std::uint64_t word = random();
        block.replace(i, 8, reinterpret_cast<const char*>(&word), 8);
    }
    std::vector<std::string> paths;
    const auto make = [&](const std::string& folder, int count, std::size_t size) {
        bench::makeFolder(root + "/" + folder);
        for (int n = 0; n < count; ++n) {
            paths.push_back(root + "/" + folder + "/file" + std::to_string(n));
            std::ofstream out(paths.back(), std::ios::binary);
            const std::string own = std::to_string(paths.size());
            for (std::size_t written = 0; written < size; written += block.size()) {
                const std::size_t part = std::min(block.size(), size - written);
                out.write(own.data(), static_cast<std::streamsize>(own.size()));
                out.write(block.data(), static_cast<std::streamsize>(part - own.size()));
            }
        }
    };
    make("large", 2, std::size_t{400} << 20);
    make("middle", 100, std::size_t{8} << 20);
    make("small", 2000, 200 << 10);
    make("tiny", 4000, 4 << 10);
    return paths;
}

double verifyMs(const std::string& catalogue) {
    store::Catalog catalog(catalogue);
    const double start = bench::nowMs();
    store::DiskVerification verification(catalog, "bench");
    const store::VerifyFigures figures = verification.run({});
    const double ms = bench::nowMs() - start;
    if (!figures.finished || figures.corrupted + figures.gone + figures.unreadable > 0)
        throw std::runtime_error("the verification did not read every file cleanly");
    return ms;
}

} // namespace

int main() {
    bench::ScratchDir scratch;
    const std::vector<std::string> paths = makeMixedTree(scratch.path() + "/tree");
    const std::string catalogue = scratch.path() + "/Files.db";
    store::createEmptyCatalog(catalogue);
    {
        store::Catalog catalog(catalogue);
        const scanner::WalkRules rules{scratch.path() + "/tree/", "*", "*"};
        catalog.insert({"bench", rules, false}, paths.size(),
                       [&](std::size_t i) { return std::string_view(paths[i]); });
    }
    std::vector<std::string> xxhsum{"xxhsum", "-H2"};
    xxhsum.insert(xxhsum.end(), paths.begin(), paths.end());
    bench::processMs(xxhsum); // both read from the page cache from here on
    std::vector<double> ours, theirs;
    for (int round = 0; round < 3; ++round) {
        ours.push_back(verifyMs(catalogue));
        theirs.push_back(bench::processMs(xxhsum));
    }
    std::printf("  %zu files: verified in %.0f ms, xxhsum -H2 in %.0f ms\n", paths.size(),
                bench::median(ours), bench::median(theirs));
    bench::report("verify.ms", bench::median(ours), "ms");
    bench::report("verify.vs_xxhsum", bench::median(ours) / bench::median(theirs), "x");
}
