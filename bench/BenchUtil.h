#pragma once
// Small helpers shared by the benchmark programs.
#include <chrono>
#include <string>
#include <vector>

namespace katalox::bench {

// Prints one figure as "BENCH <name> <value> <unit>".
void report(const std::string& name, double value, const std::string& unit);

// Resident memory of this process in MB (from /proc/self/status).
double residentMb();

// Milliseconds since an arbitrary start, monotonic.
double nowMs();

// The middle value of repeated measurements (the upper middle of an even count).
double median(std::vector<double> values);

// Runs a program (found on PATH) with its output thrown away and returns its time in ms, as a
// whole process; throws when it fails with anything but "nothing found" (exit 1).
double processMs(const std::vector<std::string>& words);
// The median of nine runs, after one to warm the cache.
double medianProcessMs(const std::vector<std::string>& words);
// Runs the programs all at once, as processMs() does one, and returns the time until the last
// has ended; throws unless every one exited 0.
double concurrentProcessesMs(const std::vector<std::vector<std::string>>& programs);

// A temporary folder removed at the end of the benchmark.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace katalox::bench
