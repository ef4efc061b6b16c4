#include "BenchUtil.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace katalox::bench {

void report(const std::string& name, double value, const std::string& unit) {
    std::printf("BENCH %s %.6g %s\n", name.c_str(), value, unit.c_str());
    std::fflush(stdout);
}

double residentMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    }
    return 0;
}

double nowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

namespace {

// Started with posix_spawn, which does not copy this process's page tables as fork() does: a
// benchmark holding a large tree in memory would otherwise add milliseconds to every run.
pid_t spawn(const std::vector<std::string>& words) {
    std::vector<char*> argv;
    for (const std::string& word : words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int failed = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        throw std::runtime_error(words[0] + " could not be started");
    return child;
}

// The exit code, or -1 for a program ended by a signal.
int exitCode(pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

double processMs(const std::vector<std::string>& words) {
    const double start = nowMs();
    const int code = exitCode(spawn(words));
    const double ms = nowMs() - start;
    if (code < 0 || code > 1)
        throw std::runtime_error(words[0] + " failed");
    return ms;
}

double concurrentProcessesMs(const std::vector<std::vector<std::string>>& programs) {
    const double start = nowMs();
    std::vector<pid_t> children;
    for (const std::vector<std::string>& words : programs)
        children.push_back(spawn(words));
    int failed = 0;
    for (const pid_t child : children)
        failed += exitCode(child) != 0;
    const double ms = nowMs() - start;
    if (failed > 0)
        throw std::runtime_error(std::to_string(failed) + " of " + std::to_string(programs.size()) +
                                 " programs failed");
    return ms;
}

double medianProcessMs(const std::vector<std::string>& words) {
    processMs(words);
    std::vector<double> runs;
    for (int i = 0; i < 9; ++i)
        runs.push_back(processMs(words));
    return median(runs);
}

ScratchDir::ScratchDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "katalox-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a scratch folder");
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

} // namespace katalox::bench
