#include "store/dialect/Dialect.h"

#include "platform/Error.h"

#include <cctype>
#include <regex>
#include <strings.h>

namespace katalox::store {

namespace {

bool isWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Index just past the token that opens at `open` with the quote character `quote`, where a
// doubled quote stays inside the token.
std::size_t endOfQuoted(const std::string& text, std::size_t open, char quote) {
    for (std::size_t i = open + 1; i < text.size(); ++i) {
        if (text[i] != quote)
            continue;
        if (i + 1 < text.size() && text[i + 1] == quote) {
            ++i;
            continue;
        }
        return i + 1;
    }
    throw EngineError("Unterminated text constant in the statement");
}

// When `out` ends with `Name.`, drops that qualifier and returns true.
bool dropQualifier(std::string& out) {
    if (out.empty() || out.back() != '.')
        return false;
    std::size_t start = out.size() - 1;
    while (start > 0 && isWordChar(out[start - 1]))
        --start;
    if (start == out.size() - 1)
        return false;
    out.erase(start);
    return true;
}

std::string textConstant(const std::string& token) {
    std::string result = "'";
    for (std::size_t i = 1; i + 1 < token.size(); ++i) {
        const char c = token[i];
        if (c == '"')
            ++i; // the second quote of a doubled pair
        else if (c == '\'')
            result += '\'';
        result += c;
    }
    result += '\'';
    return result;
}

void requireOnlySpaceAfter(const std::string& text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i) {
        if (!std::isspace(static_cast<unsigned char>(text[i])))
            throw EngineError("Only one statement is allowed; text follows the \";\"");
    }
}

// True when the clauses after `from <table>` read the same with any select list: no
// grouping, no compound select, no column numbers after ORDER BY.
bool clausesIgnoreSelectList(const std::string& rest) {
    bool afterOrder = false;
    std::size_t i = 0;
    while (i < rest.size()) {
        const char c = rest[i];
        if (c == '\'' || c == '"') {
            i = endOfQuoted(rest, i, c);
        } else if (isWordChar(c)) {
            std::string word;
            while (i < rest.size() && isWordChar(rest[i]))
                word += static_cast<char>(std::tolower(static_cast<unsigned char>(rest[i++])));
            if (word == "group" || word == "having" || word == "union" || word == "intersect" ||
                word == "except" || word == "window")
                return false;
            if (word == "order")
                afterOrder = true;
            else if (afterOrder && std::isdigit(static_cast<unsigned char>(word[0])))
                return false;
        } else {
            ++i;
        }
    }
    return true;
}

} // namespace

std::string translateStatement(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"') {
            const std::size_t end = endOfQuoted(text, i, '"');
            const std::string token = text.substr(i, end - i);
            out += dropQualifier(out) ? token : textConstant(token);
            i = end;
        } else if (c == '\'') {
            const std::size_t end = endOfQuoted(text, i, '\'');
            out.append(text, i, end - i);
            i = end;
        } else if (c == ';') {
            requireOnlySpaceAfter(text, i + 1);
            break;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

std::optional<WholeRowSelect> matchWholeRowSelect(const std::string& sql) {
    // Read word by word rather than with one pattern: a filter value can be long.
    std::size_t i = 0;
    auto skipSpace = [&] {
        const std::size_t from = i;
        while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i])))
            ++i;
        return i > from;
    };
    auto word = [&] {
        const std::size_t from = i;
        while (i < sql.size() && isWordChar(sql[i]))
            ++i;
        return sql.substr(from, i - from);
    };
    auto is = [](const std::string& w, const char* expected) {
        return ::strcasecmp(w.c_str(), expected) == 0;
    };
    skipSpace();
    if (!is(word(), "select") || !skipSpace() || i >= sql.size() || sql[i++] != '*')
        return std::nullopt;
    skipSpace();
    if (!is(word(), "from") || !skipSpace())
        return std::nullopt;
    const std::string table = word();
    if (table.empty() || std::isdigit(static_cast<unsigned char>(table[0])))
        return std::nullopt;
    const std::size_t restStart = i;
    const bool spaced = skipSpace();
    if (i < sql.size()) {
        const std::string next = word();
        if (!spaced || !(is(next, "where") || is(next, "order") || is(next, "limit")))
            return std::nullopt;
    }
    std::string rest = sql.substr(restStart);
    if (!clausesIgnoreSelectList(rest))
        return std::nullopt;
    return WholeRowSelect{table, std::move(rest)};
}

std::optional<DistinctSelect> matchDistinctSelect(const std::string& sql) {
    if (sql.size() > 1000) // the statement the tree writes is short
        return std::nullopt;
    static const std::regex pattern(
        R"re(^\s*select\s+distinct\s+"([^"]+)"\s+from\s+([A-Za-z_][A-Za-z0-9_]*)\s+order\s+by\s+"([^"]+)"(\s+asc)?\s*$)re",
        std::regex::icase);
    std::smatch match;
    if (!std::regex_match(sql, match, pattern))
        return std::nullopt;
    const std::string column = match[1].str();
    if (::strcasecmp(column.c_str(), match[3].str().c_str()) != 0)
        return std::nullopt;
    return DistinctSelect{match[2].str(), column};
}

std::string doubledQuotes(const std::string& value) {
    std::string doubled;
    doubled.reserve(value.size());
    for (char c : value) {
        doubled += c;
        if (c == '"')
            doubled += '"';
    }
    return doubled;
}

std::string quoteIdentifier(const std::string& name) {
    return '"' + doubledQuotes(name) + '"';
}

} // namespace katalox::store
