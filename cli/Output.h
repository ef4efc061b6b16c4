#pragma once
// What the commands print: results written through one buffer to standard output (the first
// result at once, then in large writes), and the text forms of values for JSON and CSV.
#include <cstdint>
#include <string>
#include <string_view>

namespace katalox::cli {

class Output {
public:
    Output();
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    std::string& buffer() { return buffer_; }
    // Writes what is buffered once it is large, or at once for the first result, so that a
    // reader sees results while the search goes on.
    void resultDone();
    void flush();

private:
    std::string buffer_;
    bool first_ = true;
};

// `bytes` as a JSON string, quotes included. Bytes that are not UTF-8 are written as the
// escapes \udc80 to \udcff, which keep each byte (a reader can turn them back into it).
void appendJson(std::string& out, std::string_view bytes);
// A CSV field, quoted when it holds a comma, a quote or a line break.
void appendCsv(std::string& out, std::string_view bytes);
// Seconds since 1970 as local time, "2024-05-01T13:45:10".
std::string timeText(std::int64_t seconds);

} // namespace katalox::cli
