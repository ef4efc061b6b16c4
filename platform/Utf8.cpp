#include "platform/Utf8.h"

#include <cstdint>

namespace katalox::platform {

namespace {

#include "platform/UpperCaseTable.inc"

// The simple upper-case form of one code point (the catalogue's upper-casing, which stored
// paths were made with, so the table must not change with the machine's locale).
char32_t upperOf(char32_t code) {
    if (code >= kUpperCaseLimit)
        return code;
    const std::size_t block = kUpperCaseBlockOf[code / kUpperCaseBlock];
    return static_cast<char32_t>(static_cast<std::int32_t>(code) +
                                 kUpperCaseDelta[block][code % kUpperCaseBlock]);
}

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
        appendUtf8(upperOf(code), out);
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

} // namespace katalox::platform
