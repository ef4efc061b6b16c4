#pragma once
// What a file's content is known by. A sampled print is XXH3-128, seeded with the file's size,
// over its first, middle and last 16 KiB (the whole file under 48 KiB): cheap enough to take
// for every file at scan time, and equal for every two files of equal content. A whole hash
// is XXH3-128 over every byte, taken when a disk is verified.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace katalox::store {

struct ContentPrint {
    std::array<unsigned char, 16> bytes{};
    // All zero: no print (a file unreadable, empty or never read).
    bool known() const;
    // The leading 8 bytes, by which prints are indexed.
    std::string_view key() const;
    std::string_view all() const;
    static ContentPrint fromBytes(std::string_view bytes);
    bool operator==(const ContentPrint&) const = default;
};

inline constexpr std::uint64_t kSampleBytes = 16 * 1024;

// How reading a file for its print ended.
enum class ReadOutcome {
    Read,
    Unreadable, // could not be opened or read
    Changed,    // its size or time changed while it was read: the print would not be its own
    Empty,      // nothing to print
    Link,       // a symbolic link: recorded as itself, not as the file it leads to
};

struct ReadPrint {
    ReadOutcome outcome = ReadOutcome::Unreadable;
    ContentPrint sampled;
    ContentPrint whole; // only when the whole file was read
    std::uint64_t size = 0;
    std::int64_t modified = 0; // seconds since 1970, as a scan records it
    std::uint64_t bytesRead = 0;
};

// The sampled print of the file at `path` (an absolute path of any length).
ReadPrint samplePrint(const std::string& path, std::vector<char>& buffer);

// Reads the whole file, giving its sampled print and its whole hash; `onBytes(n)` is told of
// each block read and may return false to stop (the outcome is then Unreadable).
ReadPrint wholePrint(const std::string& path, std::vector<char>& buffer,
                     const std::function<bool(std::uint64_t)>& onBytes = {});

} // namespace katalox::store
