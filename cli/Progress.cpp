#include "cli/Progress.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace katalox::cli {

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

Progress::Progress() : shown_(::isatty(STDERR_FILENO) != 0), start_(now()) {}

Progress::~Progress() {
    if (shown_ && drawn_)
        std::fputs("\n", stderr);
}

bool Progress::due() {
    if (!shown_ || now() - last_ < 0.2)
        return false;
    last_ = now();
    return true;
}

void Progress::draw(const std::string& line) {
    drawn_ = true;
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
}

std::string rate(std::size_t files, double seconds) {
    return std::to_string(
               static_cast<long long>(static_cast<double>(files) / std::max(seconds, 0.001))) +
           " files/s";
}

} // namespace katalox::cli
