#include "cli/Output.h"

#include "platform/Utf8.h"

#include <cerrno>
#include <ctime>
#include <unistd.h>

namespace katalox::cli {

namespace {

constexpr std::size_t kWriteSize = 1 << 16;

void writeAll(std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(STDOUT_FILENO, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            ::_exit(0); // the reader went away (| head): nothing more to say
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

} // namespace

Output::Output() {
    buffer_.reserve(kWriteSize * 2);
}

Output::~Output() {
    flush();
}

void Output::resultDone() {
    if (first_ || buffer_.size() >= kWriteSize) {
        first_ = false;
        flush();
    }
}

void Output::flush() {
    writeAll(buffer_);
    buffer_.clear();
}

void appendJson(std::string& out, std::string_view bytes) {
    static const char* const kHex = "0123456789abcdef";
    out.push_back('"');
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = platform::characterLength(bytes, i);
        if (c >= 0x80 && length == 1) {
            out.append("\\udc").push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        } else if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20) {
            out.append("\\u00").push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        } else {
            out.append(bytes.substr(i, length));
        }
        i += length;
    }
    out.push_back('"');
}

void appendCsv(std::string& out, std::string_view bytes) {
    if (bytes.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(bytes);
        return;
    }
    out.push_back('"');
    for (const char c : bytes) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

std::string timeText(std::int64_t seconds) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    ::localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

} // namespace katalox::cli
