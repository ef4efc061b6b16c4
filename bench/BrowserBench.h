#pragma once
// The disk browser on one disk of a catalogue: how long it takes to open, to show a folder of
// 10,000 files sorted by size and to draw the treemap of a large folder, and the memory it
// takes. The disk is a generated tree inserted as a scan is; its folder "wide" holds 10,000
// files of distinct sizes.
#include "BenchUtil.h"
#include "GeneratedTree.h"

#include "scanner/FileWalk.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/DiskContents.h"
#include "widgets/FolderListModel.h"
#include "widgets/TreemapView.h"
#include "windows/DiskBrowserWindow.h"

#include <QTableView>

#include <cstdio>
#include <malloc.h>
#include <string>
#include <vector>

namespace katalox::bench {

inline void makeWideFolder(const std::string& tree) {
    const std::string wide = tree + "/wide";
    makeFolder(wide);
    for (int i = 0; i < 10000; ++i)
        makeFile(wide + "/photo-" + std::to_string(i) + ".jpg", static_cast<off_t>(i) * 7919 + 1);
}

inline std::int64_t insertTree(store::Catalog& catalog, const std::string& tree,
                               const std::string& diskId) {
    const scanner::WalkRules rules{tree + "/", "*", "*"};
    std::vector<std::string> paths;
    const bool stopped = false;
    scanner::walkMatchingFiles(
        rules, [&](const std::string& path, std::uint64_t, std::int64_t) { paths.push_back(path); },
        stopped);
    const double start = nowMs();
    const store::InsertFigures figures = catalog.insert(
        {diskId, rules}, paths.size(), [&](std::size_t i) -> std::string_view { return paths[i]; });
    std::printf("  inserted %lld records in %.0f ms\n", static_cast<long long>(figures.records),
                nowMs() - start);
    return figures.records;
}

inline double heapInUseMb() {
    return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0);
}

inline std::uint32_t folderNamed(const store::DiskContents& contents, const std::string& name) {
    for (std::uint32_t i = 0; i < contents.folders().size(); ++i)
        if (contents.folders()[i].name == name)
            return i;
    throw std::runtime_error("no folder " + name);
}

// `suffix` names the disk's size in the figures ("1m"), or nothing.
inline void measureBrowser(const store::Catalog& catalog, const std::string& diskId,
                           const std::string& suffix) {
    const std::string size = suffix.empty() ? "" : "." + suffix;
    const double rssBefore = residentMb();
    const double heapBefore = heapInUseMb();
    DiskBrowserWindow window;
    auto* list = window.findChild<QTableView*>("folderList");
    double start = nowMs();
    window.browse(catalog, diskId);
    window.grab();
    report("browser.open" + size + ".ms", nowMs() - start, "ms");
    const std::uint32_t root = window.currentFolder();
    std::printf("  root: %lld files below it\n",
                static_cast<long long>(window.contents()->folders()[root].totalFiles));

    list->sortByColumn(widgets::FolderListModel::Size, Qt::DescendingOrder);
    const std::uint32_t wide = folderNamed(*window.contents(), "wide");
    start = nowMs();
    window.goToFolder(wide);
    list->grab();
    report("browser.folder" + size + ".ms", nowMs() - start, "ms");

    // The treemap of the root, every folder on the disk nested in it: made, laid out, drawn.
    window.goBack();
    auto* treemap = window.findChild<widgets::TreemapView*>("treemap");
    start = nowMs();
    window.showTreemap();
    treemap->grab();
    report("browser.treemap.ms", nowMs() - start, "ms");
    // Memory freed by the insert before is used again, so the heap in use tells too.
    report("browser.rss_mb", residentMb() - rssBefore, "MB");
    report("browser.heap_mb", heapInUseMb() - heapBefore, "MB");
}

} // namespace katalox::bench
