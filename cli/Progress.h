#pragma once
// A progress line on a terminal, at most a few times a second; nothing when not on one.
#include <cstddef>
#include <string>

namespace katalox::cli {

class Progress {
public:
    Progress();
    ~Progress(); // ends the line
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Shows `text(seconds since the start)` unless a line was shown a moment ago.
    template <typename Text> void show(Text&& text) {
        if (!due())
            return;
        draw(text(last_ - start_));
    }

private:
    bool due();
    void draw(const std::string& line);

    bool shown_;
    bool drawn_ = false;
    double start_;
    double last_ = 0;
};

// "1234 files/s".
std::string rate(std::size_t files, double seconds);

} // namespace katalox::cli
