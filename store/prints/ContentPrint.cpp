#include "store/prints/ContentPrint.h"

#include "platform/DeepPath.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <xxhash.h>
// On x86 the library picks the widest vector unit the processor has (AVX2, AVX-512) at run
// time; the plain entry points use the baseline one, at about half the speed.
#if defined(__x86_64__) || defined(__i386__)
#include <xxh_x86dispatch.h>
#endif

namespace katalox::store {

namespace {

struct StateFree {
    void operator()(XXH3_state_t* state) const { XXH3_freeState(state); }
};
using HashState = std::unique_ptr<XXH3_state_t, StateFree>;

HashState newState(std::uint64_t seed) {
    HashState state(XXH3_createState());
    XXH3_128bits_reset_withSeed(state.get(), seed);
    return state;
}

// The parts of a file of `size` bytes that its sampled print covers, in file order; they never
// overlap.
struct Range {
    std::uint64_t from;
    std::uint64_t to;
};
std::vector<Range> sampledRanges(std::uint64_t size) {
    if (size < 3 * kSampleBytes)
        return {{0, size}};
    const std::uint64_t middle = (size - kSampleBytes) / 2;
    return {{0, kSampleBytes}, {middle, middle + kSampleBytes}, {size - kSampleBytes, size}};
}

std::int64_t modifiedOf(const struct stat& info) {
    return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

bool readFully(int fd, char* into, std::uint64_t length, std::uint64_t at, std::uint64_t& got) {
    got = 0;
    while (got < length) {
        const ssize_t n = ::pread(fd, into + got, length - got, static_cast<off_t>(at + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        got += static_cast<std::uint64_t>(n);
    }
    return true;
}

// Reading for a print leaves the file's access time alone where the kernel lets us (files we
// own, or with the right to): otherwise every file read would have its inode written back.
platform::UniqueFd openLeavingAccessTime(const std::string& path) {
    // A link is recorded with its own size, so it is never read through.
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW;
    static std::atomic<bool> refused{false};
    if (!refused.load(std::memory_order_relaxed)) {
        platform::UniqueFd fd = platform::openDeep(path, kFlags | O_NOATIME);
        if (fd.valid() || errno != EPERM)
            return fd;
        refused.store(true, std::memory_order_relaxed);
    }
    return platform::openDeep(path, kFlags);
}

// Opens the file and tells its size and time; none when it cannot be read.
platform::UniqueFd openForPrint(const std::string& path, ReadPrint& result, struct stat& before) {
    platform::UniqueFd fd = openLeavingAccessTime(path);
    if (!fd.valid() && errno == ELOOP) {
        result.outcome = ReadOutcome::Link;
        return platform::UniqueFd();
    }
    if (!fd.valid() || ::fstat(fd.get(), &before) != 0 || !S_ISREG(before.st_mode)) {
        result.outcome = ReadOutcome::Unreadable;
        return platform::UniqueFd();
    }
    result.size = static_cast<std::uint64_t>(before.st_size);
    result.modified = before.st_mtim.tv_sec;
    return fd;
}

// The file read must still be the one that was opened, and as large as it was.
ReadOutcome outcomeAfterRead(int fd, const struct stat& before, std::uint64_t lastGot,
                             std::uint64_t lastWanted) {
    struct stat after {};
    if (::fstat(fd, &after) != 0)
        return ReadOutcome::Unreadable;
    if (after.st_size != before.st_size || modifiedOf(after) != modifiedOf(before) ||
        lastGot != lastWanted)
        return ReadOutcome::Changed;
    return ReadOutcome::Read;
}

ContentPrint printOfHash(XXH128_hash_t hash) {
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, hash);
    ContentPrint print;
    std::memcpy(print.bytes.data(), canonical.digest, print.bytes.size());
    // All zero means "no print": a real hash of zeros is moved aside.
    if (!print.known())
        print.bytes[15] = 1;
    return print;
}

// A file printed whole in one read, one byte more than its size asked for: getting exactly its
// size proves it neither grew nor shrank while read, with no second look at it.
ReadPrint printOfSmallFile(int fd, ReadPrint& result, std::vector<char>& buffer) {
    const std::size_t wanted = result.size + 1;
    buffer.resize(std::max(buffer.size(), wanted));
    ssize_t got = 0;
    do
        got = ::pread(fd, buffer.data(), wanted, 0);
    while (got < 0 && errno == EINTR);
    if (got < 0) {
        result.outcome = ReadOutcome::Unreadable;
        return result;
    }
    result.bytesRead = static_cast<std::uint64_t>(got);
    if (result.bytesRead != result.size) {
        result.outcome = ReadOutcome::Changed;
        return result;
    }
    result.outcome = ReadOutcome::Read;
    result.sampled =
        printOfHash(XXH3_128bits_withSeed(buffer.data(), result.bytesRead, result.size));
    return result;
}

} // namespace

bool ContentPrint::known() const {
    return std::any_of(bytes.begin(), bytes.end(), [](unsigned char b) { return b != 0; });
}

std::string_view ContentPrint::key() const {
    return {reinterpret_cast<const char*>(bytes.data()), 8};
}

std::string_view ContentPrint::all() const {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

ContentPrint ContentPrint::fromBytes(std::string_view from) {
    ContentPrint print;
    if (from.size() >= print.bytes.size())
        std::memcpy(print.bytes.data(), from.data(), print.bytes.size());
    return print;
}

ReadPrint samplePrint(const std::string& path, std::vector<char>& buffer) {
    ReadPrint result;
    struct stat before {};
    const platform::UniqueFd fd = openForPrint(path, result, before);
    if (!fd.valid())
        return result;
    if (result.size == 0) {
        result.outcome = ReadOutcome::Empty;
        return result;
    }
    if (result.size < 3 * kSampleBytes)
        return printOfSmallFile(fd.get(), result, buffer);
    const HashState state = newState(result.size);
    std::uint64_t got = 0;
    std::uint64_t wanted = 0;
    for (const Range& range : sampledRanges(result.size)) {
        wanted = range.to - range.from;
        buffer.resize(std::max<std::size_t>(buffer.size(), wanted));
        if (!readFully(fd.get(), buffer.data(), wanted, range.from, got)) {
            result.outcome = ReadOutcome::Unreadable;
            return result;
        }
        XXH3_128bits_update(state.get(), buffer.data(), got);
        result.bytesRead += got;
        if (got != wanted)
            break;
    }
    result.outcome = outcomeAfterRead(fd.get(), before, got, wanted);
    if (result.outcome == ReadOutcome::Read)
        result.sampled = printOfHash(XXH3_128bits_digest(state.get()));
    return result;
}

ReadPrint wholePrint(const std::string& path, std::vector<char>& buffer,
                     const std::function<bool(std::uint64_t)>& onBytes) {
    ReadPrint result;
    struct stat before {};
    const platform::UniqueFd fd = openForPrint(path, result, before);
    if (!fd.valid())
        return result;
    if (result.size == 0) {
        result.outcome = ReadOutcome::Empty;
        return result;
    }
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    constexpr std::size_t kBlock = 1 << 20;
    buffer.resize(std::max(buffer.size(), kBlock));
    const HashState whole = newState(0);
    const HashState sampled = newState(result.size);
    const std::vector<Range> ranges = sampledRanges(result.size);
    std::uint64_t at = 0;
    std::uint64_t got = 0;
    std::uint64_t wanted = 0;
    while (at < result.size) {
        wanted = std::min<std::uint64_t>(kBlock, result.size - at);
        if (!readFully(fd.get(), buffer.data(), wanted, at, got)) {
            result.outcome = ReadOutcome::Unreadable;
            return result;
        }
        XXH3_128bits_update(whole.get(), buffer.data(), got);
        // The sampled parts within this block feed the sampled print as they pass.
        for (const Range& range : ranges) {
            const std::uint64_t from = std::max(range.from, at);
            const std::uint64_t to = std::min(range.to, at + got);
            if (from < to)
                XXH3_128bits_update(sampled.get(), buffer.data() + (from - at), to - from);
        }
        at += got;
        result.bytesRead += got;
        if (onBytes && !onBytes(got)) {
            result.outcome = ReadOutcome::Unreadable;
            return result;
        }
        if (got != wanted)
            break;
    }
    // A file that grew is read to its old end only: it changed while being read.
    result.outcome = outcomeAfterRead(fd.get(), before, got, wanted);
    if (result.outcome == ReadOutcome::Read) {
        result.sampled = printOfHash(XXH3_128bits_digest(sampled.get()));
        result.whole = printOfHash(XXH3_128bits_digest(whole.get()));
    }
    return result;
}

} // namespace katalox::store
