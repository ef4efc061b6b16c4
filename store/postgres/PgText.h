#pragma once
// Names as a PostgreSQL server can keep them. Its text holds neither NUL nor bytes that are not
// UTF-8, while a record's names and paths are the file system's bytes. Every character of
// well-formed UTF-8 is kept as it is; every byte that cannot be kept becomes one character of
// a range of Unicode's private use (U+10FE00 plus the byte's value), and the characters of that
// range met in a name become their bytes' characters too, so the way back is exact.
//
// A character is read as the SQLite engine's LIKE reads it: a byte with every continuation
// byte after it. One that is not well-formed UTF-8 (too short, too long, overlong, a
// surrogate, past U+10FFFF) or that lies in the private range is kept byte by byte. So a text
// that begins with a character (not with a continuation byte), found inside a name where a
// character follows it, is found, in its server form, inside the name's server form: a Like
// pattern's literal text put through toServerText() matches the names it matched before.
// Where a name is not UTF-8, SQLite's LIKE goes further than its bytes, which the server form
// cannot follow: `_` takes a malformed sequence for one character (the server form has one for
// each byte), and characters count as equal by their decoded value (a lone A9 is U+00A9, an
// overlong form is the character it spells, whatever cannot be read is U+FFFD). The test
// tests/postgres/ListingDifferentialTest.cpp shows these cases.
#include <string>
#include <string_view>

namespace katalox::store {

// `bytes` as valid UTF-8 without NUL; `bytes` itself when it is already such text and holds no
// character of the private range.
std::string toServerText(std::string_view bytes);

// The bytes of which `text` is the server form: fromServerText(toServerText(b)) == b for every
// byte string b.
std::string fromServerText(std::string_view text);

} // namespace katalox::store
