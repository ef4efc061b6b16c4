#pragma once
// The copies of files over a large catalogue: the other copies of one file, the first page of
// the groups of copies, and the coverage of a disk of a million files.
#include "BenchUtil.h"

#include "store/catalog/Catalog.h"
#include "store/copies/CopyGroups.h"
#include "store/copies/DiskCoverage.h"
#include "store/copies/OtherCopies.h"
#include "store/sqlite/Database.h"

#include <cstdio>
#include <string>
#include <vector>

namespace katalox::bench {

inline void measureCopies(store::Catalog& catalog, const std::string& coveredDisk,
                          const std::string& suffix) {
    store::Database& db = catalog.database();
    const std::int64_t records = db.integerOf("SELECT max(Id) FROM Files");
    std::vector<double> other;
    std::size_t found = 0;
    for (std::int64_t i = 1; i <= 21; ++i) {
        const std::int64_t record = 1 + (i * 476837) % records;
        const double start = nowMs();
        found += store::otherCopies(db, catalog.table(), record).size();
        catalog.disks(); // whether each copy's disk is connected
        other.push_back(nowMs() - start);
    }
    std::printf("  %zu other copies of 21 records\n", found);
    report("copies.other." + suffix + ".ms", median(other), "ms");

    std::vector<double> groups;
    for (int round = 0; round < 3; ++round) {
        const double start = nowMs();
        store::CopyGroups page(db, catalog.table(), {});
        const auto first = page.next(100);
        groups.push_back(nowMs() - start);
        if (round == 0 && !first.empty())
            std::printf("  first group: %zu copies of %lld bytes\n", first[0].members.size(),
                        static_cast<long long>(first[0].size));
    }
    report("copies.groups." + suffix + ".ms", median(groups), "ms");

    const double start = nowMs();
    const store::DiskCoverage coverage = store::coverageOf(db, catalog.table(), coveredDisk);
    const double ms = nowMs() - start;
    std::printf("  coverage: %lld files copied, %lld single, %lld unknown, %.1f%% protected\n",
                static_cast<long long>(coverage.copied.files),
                static_cast<long long>(coverage.single.files),
                static_cast<long long>(coverage.unknown.files), 100 * coverage.protectedShare());
    report("coverage.1m.ms", ms, "ms");
}

} // namespace katalox::bench
