#include "store/postgres/PgText.h"

#include <cstdint>

namespace katalox::store {

namespace {

// The byte b is kept as U+10FE00 + b, whose UTF-8 form is F4 8F (B8 + b / 64) (80 + b % 64).
constexpr unsigned char kFirst = 0xF4;
constexpr unsigned char kSecond = 0x8F;
constexpr unsigned char kThirdLow = 0xB8;
constexpr unsigned char kThirdHigh = 0xBB;

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

void appendEscaped(std::string& out, unsigned char byte) {
    out += static_cast<char>(kFirst);
    out += static_cast<char>(kSecond);
    out += static_cast<char>(kThirdLow + (byte >> 6));
    out += static_cast<char>(0x80 | (byte & 0x3F));
}

// Whether the lead byte and continuation bytes of `character` make one well-formed UTF-8
// character outside the private range.
bool keptAsItIs(std::string_view character) {
    const auto lead = static_cast<unsigned char>(character[0]);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return false;
    }
    if (character.size() != length)
        return false;
    for (std::size_t at = 1; at < length; ++at)
        code = (code << 6) | (static_cast<unsigned char>(character[at]) & 0x3Fu);
    const std::uint32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    const bool privateRange = code >= 0x10FE00 && code <= 0x10FEFF;
    return code >= smallest && code <= 0x10FFFF && !surrogate && !privateRange;
}

} // namespace

std::string toServerText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (byte < 0x80) {
            if (byte == 0)
                appendEscaped(out, byte);
            else
                out += static_cast<char>(byte);
            ++at;
            continue;
        }
        std::size_t end = at + 1;
        if (!isContinuation(byte))
            while (end < bytes.size() && isContinuation(static_cast<unsigned char>(bytes[end])))
                ++end;
        const std::string_view character = bytes.substr(at, end - at);
        if (keptAsItIs(character))
            out += character;
        else
            for (const char each : character)
                appendEscaped(out, static_cast<unsigned char>(each));
        at = end;
    }
    return out;
}

std::string fromServerText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t escape = text.find(static_cast<char>(kFirst), at);
        if (escape == std::string_view::npos) {
            out += text.substr(at);
            break;
        }
        out += text.substr(at, escape - at);
        at = escape;
        const auto byteAt = [&](std::size_t offset) {
            return static_cast<unsigned char>(text[at + offset]);
        };
        if (at + 3 < text.size() && byteAt(1) == kSecond && byteAt(2) >= kThirdLow &&
            byteAt(2) <= kThirdHigh && isContinuation(byteAt(3))) {
            out += static_cast<char>(((byteAt(2) - kThirdLow) << 6) | (byteAt(3) & 0x3F));
            at += 4;
        } else {
            out += text[at];
            ++at;
        }
    }
    return out;
}

} // namespace katalox::store
