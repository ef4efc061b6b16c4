#pragma once
// Folder trees generated for the scan and insert benchmarks.
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace katalox::bench {

// Creates a file of the given size without writing its bytes (a sparse file).
inline void makeFile(const std::string& path, off_t size = 0) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path);
    const bool sized = size == 0 || ::ftruncate(fd, size) == 0;
    ::close(fd);
    if (!sized)
        throw std::runtime_error("cannot size " + path);
}

inline void makeFolder(const std::string& path) {
    std::filesystem::create_directories(path);
}

// About 4,000 folders 4 to 6 levels deep holding 192,000 files of assorted sizes, and ten
// hidden folders holding 20 files each. Returns the number of files made.
inline int makeScanTree(const std::string& root) {
    int files = 0;
    auto fill = [&](const std::string& folder, int count) {
        for (int i = 0; i < count; ++i, ++files)
            makeFile(folder + "/file" + std::to_string(i) + (i % 3 ? ".dat" : ".txt"),
                     static_cast<off_t>(files % 1000) * 4099);
    };
    for (int a = 0; a < 10; ++a) {
        const std::string l1 = root + "/dir" + std::to_string(a);
        makeFolder(l1 + "/.hidden");
        fill(l1 + "/.hidden", 20);
        for (int b = 0; b < 10; ++b) {
            const std::string l2 = l1 + "/sub" + std::to_string(b);
            for (int c = 0; c < 10; ++c) {
                const std::string l3 = l2 + "/part" + std::to_string(c);
                for (int d = 0; d < 3; ++d) {
                    std::string l4 = l3 + "/leaf" + std::to_string(d);
                    // Every seventh leaf goes two levels deeper.
                    if ((a + b + c + d) % 7 == 0)
                        l4 += "/deeper/deepest";
                    makeFolder(l4);
                    fill(l4, 64);
                }
            }
        }
    }
    return files;
}

// `folders` folders under `root`, each holding `entries` files that are hard links to one sparse
// file of its own (a file takes at most 65,000 links): a million files in seconds, taking no
// space, each link a path of its own. All files of a folder have the same size.
inline void makeLinkedFolders(const std::string& root, int folders, int entries) {
    for (int f = 0; f < folders; ++f) {
        const std::string folder = root + "/folder" + std::to_string(f);
        const std::string original = folder + "/original";
        makeFolder(folder);
        makeFile(original, static_cast<off_t>(f) * 4099);
        for (int i = 1; i < entries; ++i) {
            const std::string link = folder + "/name-of-a-listed-file-" + std::to_string(i);
            if (::link(original.c_str(), link.c_str()) != 0)
                throw std::runtime_error("cannot link " + link);
        }
    }
}

// A million files in 100 folders of 10,000.
inline void makeWideMillionTree(const std::string& root) {
    makeLinkedFolders(root, 100, 10000);
}

// A million files spread as on a full disk: 100 folders of 50 subfolders of 200 files.
inline void makeMillionTree(const std::string& root) {
    for (int part = 0; part < 100; ++part)
        makeLinkedFolders(root + "/part" + std::to_string(part), 50, 200);
}

// A folder for a generated tree: on the memory file system when there is one, where a million
// entries take seconds to make and remove instead of minutes (the cache is warm either way).
class TreeDir {
public:
    explicit TreeDir(const std::string& fallback) {
        std::string pattern = "/dev/shm/katalox-bench-XXXXXX";
        path_ = ::mkdtemp(pattern.data()) ? pattern : fallback;
        if (path_ == fallback)
            makeFolder(path_);
    }
    ~TreeDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TreeDir(const TreeDir&) = delete;
    TreeDir& operator=(const TreeDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace katalox::bench
