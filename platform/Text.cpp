#include "platform/Text.h"

#include "platform/Error.h"
#include "platform/UniqueFd.h"

#include <QChar>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace katalox::platform {

namespace {

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Decodes the character at `at` when it is valid UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF); returns its length, or 0 when the bytes are not a valid sequence.
std::size_t decode(std::string_view text, std::size_t at, char32_t& code) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[at + i]);
        if (!isContinuation(byte))
            return 0;
        code = (code << 6) | (byte & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

void appendUtf8(char32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string reasonOf(int error) {
    return std::strerror(error);
}

[[noreturn]] void cannotOpen(const std::string& path, int error) {
    throw FileError("Cannot open file \"" + path + "\". " + reasonOf(error));
}

[[noreturn]] void cannotCreate(const std::string& path, int error) {
    throw FileError("Cannot create file \"" + path + "\". " + reasonOf(error));
}

std::string readWholeFile(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        cannotOpen(path, errno);
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            cannotOpen(path, errno); // a folder fails here with "Is a directory"
        if (got == 0)
            return content;
        content.append(buffer, static_cast<std::size_t>(got));
    }
}

// Returns 0 once everything is written, otherwise the error number.
int writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t wrote = ::write(fd, data.data() + done, data.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote < 0)
            return errno;
        done += static_cast<std::size_t>(wrote);
    }
    return 0;
}

// Removes the temporary file unless the rename has taken it over.
struct TemporaryFile {
    std::string path;
    bool kept = false;
    ~TemporaryFile() {
        if (!kept && !path.empty())
            ::unlink(path.c_str());
    }
};

} // namespace

void appendUpperCase(std::string_view text, std::string& out) {
    out.reserve(out.size() + text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            out += (byte >= 'a' && byte <= 'z') ? static_cast<char>(byte - 'a' + 'A')
                                                : static_cast<char>(byte);
            ++at;
            continue;
        }
        char32_t code = 0;
        const std::size_t length = decode(text, at, code);
        if (length == 0) {
            out += static_cast<char>(byte);
            ++at;
            continue;
        }
        appendUtf8(QChar::toUpper(code), out);
        at += length;
    }
}

std::string upperCase(const std::string& text) {
    std::string out;
    appendUpperCase(text, out);
    return out;
}

std::size_t characterLength(std::string_view text, std::size_t at) {
    char32_t code = 0;
    const std::size_t length = decode(text, at, code);
    return length == 0 ? 1 : length;
}

std::size_t characterCount(const std::string& text) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); at += characterLength(text, at))
        ++count;
    return count;
}

std::string characterSlice(const std::string& text, std::size_t from, std::size_t count) {
    std::size_t at = 0;
    for (std::size_t skipped = 0; skipped < from && at < text.size(); ++skipped)
        at += characterLength(text, at);
    std::size_t end = at;
    for (std::size_t taken = 0; taken < count && end < text.size(); ++taken)
        end += characterLength(text, end);
    return text.substr(at, end - at);
}

std::string currentDirectory() {
    std::string buffer(4096, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) {
            buffer.resize(std::strlen(buffer.c_str()));
            return buffer;
        }
        if (errno != ERANGE)
            throw FileError("Cannot read the current directory. " + reasonOf(errno));
        buffer.resize(buffer.size() * 2);
    }
}

std::vector<std::string> readTextLines(const std::string& path) {
    std::string content = readWholeFile(path);
    if (const auto nul = content.find('\0'); nul != std::string::npos)
        content.resize(nul);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(content.substr(start));
            break;
        }
        lines.push_back(content.substr(start, end - start));
        start = end + 1;
        if (content[end] == '\r' && start < content.size() && content[start] == '\n')
            ++start;
    }
    return lines;
}

void writeTextLines(const std::string& path, const std::vector<std::string>& lines) {
    std::string data;
    for (const auto& line : lines)
        data.append(line).append("\r\n");

    static std::atomic<unsigned> counter{0};
    TemporaryFile temporary;
    UniqueFd fd;
    // The temporary file lies beside the target so the final rename stays on one file system.
    for (int attempt = 0; !fd.valid(); ++attempt) {
        temporary.path = path + ".tmp-" + std::to_string(::getpid()) + "-" +
                         std::to_string(counter.fetch_add(1));
        fd =
            UniqueFd(::open(temporary.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd.valid() && (errno != EEXIST || attempt > 100)) {
            const int error = errno;
            temporary.path.clear();
            cannotCreate(path, error);
        }
    }
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd.get(), old.st_mode & 07777); // keep the permissions the file had
    if (const int error = writeAll(fd.get(), data); error != 0)
        cannotCreate(path, error);
    if (::fsync(fd.get()) != 0 || fd.reset() != 0)
        cannotCreate(path, errno);
    if (::rename(temporary.path.c_str(), path.c_str()) != 0)
        cannotCreate(path, errno);
    temporary.kept = true;
}

} // namespace katalox::platform
