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
