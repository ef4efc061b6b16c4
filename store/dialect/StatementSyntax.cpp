#include "store/dialect/StatementSyntax.h"

#include "platform/Error.h"
#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgText.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <strings.h>
#include <tuple>
#include <utility>

namespace katalox::store {

namespace {

enum class TokenKind {
    Space,   // white space
    Comment, // -- to the end of the line, or /* ... */
    Word,    // a keyword, a name or a number
    Field,   // a double-quoted name after a qualifier; `value` is the name
    Text,    // a text constant; `value` is its text
    Name,    // a bracketed or back-quoted name, passed on as written
    Symbol,  // any other character
};

struct Token {
    TokenKind kind;
    std::string_view raw;
    std::string value; // Field and Text only
};

bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// As the engine reads names: ASCII letters, digits, "_" and every byte of a multibyte
// character; "$" inside a name.
bool isWordStart(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return std::isalnum(byte) || c == '_' || byte >= 0x80;
}

bool isWordChar(char c) {
    return isWordStart(c) || c == '$';
}

bool isWord(const Token& token, const char* word) {
    return token.kind == TokenKind::Word &&
           token.raw.size() == std::char_traits<char>::length(word) &&
           ::strncasecmp(token.raw.data(), word, token.raw.size()) == 0;
}

bool isSymbol(const Token& token, char symbol) {
    return token.kind == TokenKind::Symbol && token.raw.front() == symbol;
}

class Tokenizer {
public:
    explicit Tokenizer(std::string_view text) : text_(text) {}

    std::vector<Token> tokens() {
        std::vector<Token> tokens;
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == ';') {
                requireOnlySpaceAfter(at_ + 1);
                break;
            }
            if (c == '"')
                tokens.push_back(doubleQuoted(tokens));
            else if (c == '\'')
                tokens.push_back(quotedToken(TokenKind::Text, '\''));
            else if (c == '`')
                tokens.push_back(quotedToken(TokenKind::Name, '`'));
            else if (c == '[')
                tokens.push_back(bracketed());
            else if (startsWith("--"))
                tokens.push_back(take(TokenKind::Comment, endOfLine()));
            else if (startsWith("/*"))
                tokens.push_back(take(TokenKind::Comment, endOfBlockComment()));
            else if (c == '?' || c == ':' || c == '@' || c == '$')
                throw EngineError("Parameters are not supported in a statement");
            else if (isSpace(c))
                tokens.push_back(take(TokenKind::Space, endOf(isSpace)));
            else if (isWordStart(c))
                tokens.push_back(take(TokenKind::Word, endOf(isWordChar)));
            else
                tokens.push_back(take(TokenKind::Symbol, at_ + 1));
        }
        return tokens;
    }

private:
    bool startsWith(std::string_view prefix) const { return text_.substr(at_, 2) == prefix; }

    template <typename Predicate> std::size_t endOf(Predicate&& belongs) const {
        std::size_t end = at_;
        while (end < text_.size() && belongs(text_[end]))
            ++end;
        return end;
    }

    std::size_t endOfLine() const { return std::min(text_.find('\n', at_), text_.size()); }

    // An unterminated block comment runs to the end, as the engine reads it.
    std::size_t endOfBlockComment() const {
        const std::size_t close = text_.find("*/", at_ + 2);
        return close == std::string_view::npos ? text_.size() : close + 2;
    }

    Token take(TokenKind kind, std::size_t end, std::string value = {}) {
        Token token{kind, text_.substr(at_, end - at_), std::move(value)};
        at_ = end;
        return token;
    }

    // A token between `quote` characters, a doubled one standing for one inside.
    Token quotedToken(TokenKind kind, char quote) {
        std::string value;
        for (std::size_t i = at_ + 1; i < text_.size(); ++i) {
            if (text_[i] != quote) {
                value += text_[i];
            } else if (i + 1 < text_.size() && text_[i + 1] == quote) {
                value += quote;
                ++i;
            } else {
                return take(kind, i + 1, std::move(value));
            }
        }
        throw EngineError(quote == '`' ? "Unterminated name in the statement"
                                       : "Unterminated text constant in the statement");
    }

    Token bracketed() {
        const std::size_t close = text_.find(']', at_);
        if (close == std::string_view::npos)
            throw EngineError("Unterminated name in the statement");
        return take(TokenKind::Name, close + 1);
    }

    // A field when it follows `Name.` directly (the qualifier is dropped), else a constant.
    Token doubleQuoted(std::vector<Token>& before) {
        Token token = quotedToken(TokenKind::Text, '"');
        const std::size_t n = before.size();
        if (n >= 2 && isSymbol(before[n - 1], '.') && before[n - 2].kind == TokenKind::Word) {
            before.resize(n - 2);
            token.kind = TokenKind::Field;
        }
        return token;
    }

    void requireOnlySpaceAfter(std::size_t from) const {
        for (std::size_t i = from; i < text_.size(); ++i) {
            if (!isSpace(text_[i]))
                throw EngineError("Only one statement is allowed; text follows the \";\"");
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

std::string sqliteText(const Token& token) {
    switch (token.kind) {
    case TokenKind::Field:
        return quoteIdentifier(token.value);
    case TokenKind::Text:
        return quoted(token.value, '\'');
    default:
        return std::string(token.raw);
    }
}

// The tokens from `first` on, in SQLite's dialect.
std::string sqliteText(const std::vector<Token>& tokens, std::size_t first) {
    std::string text;
    for (std::size_t i = first; i < tokens.size(); ++i)
        text += sqliteText(tokens[i]);
    return text;
}

// Each token in PostgreSQL's dialect, on its own.
std::string serverText(const Token& token) {
    switch (token.kind) {
    case TokenKind::Field:
        return quoteIdentifier(token.value);
    case TokenKind::Text:
        return quoted(toServerText(token.value), '\'');
    case TokenKind::Name: // [name] or `name`
        return quoteIdentifier(token.raw.front() == '[' ? token.raw.substr(1, token.raw.size() - 2)
                                                        : std::string_view(token.value));
    default:
        return std::string(token.raw);
    }
}

bool isAnyWord(const Token* token, std::initializer_list<const char*> words) {
    return token && std::any_of(words.begin(), words.end(),
                                [&](const char* word) { return isWord(*token, word); });
}

bool isAnySymbol(const Token* token, std::string_view symbols) {
    return token && token->kind == TokenKind::Symbol &&
           symbols.find(token->raw.front()) != std::string_view::npos;
}

// What ends an operand: what follows a Like's pattern when the pattern is one constant.
bool endsOperand(const Token* next) {
    return !next || isAnySymbol(next, "),") ||
           isAnyWord(next, {"and", "or", "order", "limit", "offset", "group", "having", "union",
                            "intersect", "except", "window", "then", "when", "else", "end"});
}

// The catalogue's text fields, which SQLite orders by their bytes.
bool isTextField(const Token& token) {
    return token.kind == TokenKind::Field &&
           (token.value == "File Name" || token.value == "File Path" || token.value == "Disk ID");
}

// Each token in PostgreSQL's dialect, with what its place among the others adds (see
// StatementSyntax::server).
// `<field> Like '%'` (any number of %): true for every text, false for NULL.
bool matchesEveryText(const std::vector<const Token*>& meaningful, std::size_t at) {
    const Token& pattern = *meaningful[at];
    return at >= 2 && pattern.kind == TokenKind::Text && !pattern.value.empty() &&
           pattern.value.find_first_not_of('%') == std::string::npos &&
           isAnyWord(meaningful[at - 1], {"like"}) && meaningful[at - 2]->kind == TokenKind::Field;
}

// `<field> Like <text>` whose text holds no % and no _: true for that text alone.
bool matchesOneText(const std::vector<const Token*>& meaningful, std::size_t at) {
    const Token& pattern = *meaningful[at];
    return at >= 2 && pattern.kind == TokenKind::Text &&
           pattern.value.find_first_of("%_") == std::string::npos &&
           isAnyWord(meaningful[at - 1], {"like"}) && meaningful[at - 2]->kind == TokenKind::Field;
}

std::vector<std::string> serverPieces(const std::vector<Token>& tokens) {
    std::vector<std::string> pieces;
    std::vector<const Token*> meaningful;
    for (const Token& token : tokens) {
        pieces.push_back(serverText(token));
        if (token.kind != TokenKind::Space && token.kind != TokenKind::Comment)
            meaningful.push_back(&token);
    }
    // Where text fields standing alone are ordered by bytes: the terms after ORDER BY, and the
    // columns of a distinct select, which its ORDER BY must repeat.
    enum class Clause { Other, Distinct, Ordering } clause = Clause::Other;
    for (std::size_t at = 0; at < meaningful.size(); ++at) {
        const Token& token = *meaningful[at];
        const Token* before = at > 0 ? meaningful[at - 1] : nullptr;
        const Token* after = at + 1 < meaningful.size() ? meaningful[at + 1] : nullptr;
        std::string& piece = pieces[static_cast<std::size_t>(&token - tokens.data())];
        const bool alone =
            clause == Clause::Distinct
                ? (isAnyWord(before, {"distinct"}) || isAnySymbol(before, ",")) &&
                      (!after || isAnySymbol(after, ",") || isAnyWord(after, {"from", "as"}))
                : (isAnyWord(before, {"by"}) || isAnySymbol(before, ",")) &&
                      (endsOperand(after) || isAnyWord(after, {"asc", "desc", "nulls"}));
        if (isWord(token, kPgCatalogueTable) && isAnyWord(before, {"from", "update", "into"}))
            piece = quoteIdentifier(kPgCatalogueTable);
        else if (matchesEveryText(meaningful, at) && endsOperand(after))
            // The same rows, but a test the server makes without reading the text.
            std::tie(pieces[static_cast<std::size_t>(before - tokens.data())], piece) =
                std::pair("IS NOT", "NULL");
        else if (matchesOneText(meaningful, at) && endsOperand(after))
            // The same rows, and a test the index of the field (a Disk ID's) can serve.
            pieces[static_cast<std::size_t>(before - tokens.data())] = "=";
        else if (token.kind == TokenKind::Text && isAnyWord(before, {"like"}) && endsOperand(after))
            piece += " ESCAPE ''";
        else if (clause != Clause::Other && isTextField(token) && alone)
            piece += " COLLATE \"C\"";
        if (isWord(token, "distinct") && isAnyWord(before, {"select"}))
            clause = Clause::Distinct;
        else if (isWord(token, "by") && isAnyWord(before, {"order"}))
            clause = Clause::Ordering;
        else if (isAnySymbol(&token, "()") || isAnyWord(&token, {"from", "limit", "offset", "union",
                                                                 "intersect", "except", "window"}))
            clause = Clause::Other;
    }
    return pieces;
}

std::string joined(const std::vector<std::string>& pieces, std::size_t first) {
    std::string text;
    for (std::size_t i = first; i < pieces.size(); ++i)
        text += pieces[i];
    return text;
}

// Reads the tokens that carry meaning (not space, not comments) one after the other.
class Reader {
public:
    explicit Reader(const std::vector<Token>& tokens, std::size_t from = 0) : tokens_(tokens) {
        at_ = from;
        skipSpace();
    }

    bool atEnd() const { return at_ >= tokens_.size(); }
    const Token* peek() const { return atEnd() ? nullptr : &tokens_[at_]; }
    // The position of the token last read.
    std::size_t last() const { return last_; }

    const Token* next() {
        if (atEnd())
            return nullptr;
        last_ = at_++;
        skipSpace();
        return &tokens_[last_];
    }
    bool word(const char* expected) {
        if (const Token* token = peek(); token && isWord(*token, expected)) {
            next();
            return true;
        }
        return false;
    }
    bool words(std::initializer_list<const char*> expected) {
        for (const char* word : expected)
            if (!this->word(word))
                return false;
        return true;
    }
    const Token* of(TokenKind kind) {
        const Token* token = peek();
        return token && token->kind == kind ? next() : nullptr;
    }

private:
    void skipSpace() {
        while (at_ < tokens_.size() &&
               (tokens_[at_].kind == TokenKind::Space || tokens_[at_].kind == TokenKind::Comment))
            ++at_;
    }

    const std::vector<Token>& tokens_;
    std::size_t at_ = 0;
    std::size_t last_ = 0;
};

bool startsWithDigit(std::string_view word) {
    return std::isdigit(static_cast<unsigned char>(word.front())) != 0;
}

// True when the clauses read the same with any select list: no grouping, no compound select,
// no column numbers after ORDER BY (a number after LIMIT counts rows).
bool ignoresSelectList(const std::vector<Token>& tokens, std::size_t from) {
    bool afterOrder = false;
    for (std::size_t i = from; i < tokens.size(); ++i) {
        const Token& token = tokens[i];
        if (token.kind != TokenKind::Word)
            continue;
        for (const char* word : {"group", "having", "union", "intersect", "except", "window"})
            if (isWord(token, word))
                return false;
        if (isWord(token, "order") || isWord(token, "limit"))
            afterOrder = isWord(token, "order");
        else if (afterOrder && startsWithDigit(token.raw))
            return false;
    }
    return true;
}

// `where <field> like <text> [escape <text>] [and ...]` to the end, without comments, whose
// place the conditions would not keep when the engine builds on them.
std::optional<LikeConjunction> likeConjunction(const std::vector<Token>& tokens,
                                               const std::vector<std::string>& server,
                                               std::size_t from) {
    for (std::size_t i = from; i < tokens.size(); ++i)
        if (tokens[i].kind == TokenKind::Comment)
            return std::nullopt;
    Reader read(tokens, from);
    if (!read.word("where"))
        return std::nullopt;
    LikeConjunction likes{sqliteText(tokens, read.last() + 1), {}, joined(server, read.last() + 1)};
    do {
        LikeTest test;
        const Token* field = read.of(TokenKind::Field);
        if (!field || !read.word("like"))
            return std::nullopt;
        const Token* pattern = read.of(TokenKind::Text);
        if (!pattern)
            return std::nullopt;
        test.field = field->value;
        test.pattern = pattern->value;
        if (read.word("escape")) {
            if (!read.of(TokenKind::Text))
                return std::nullopt;
            test.escaped = true;
        }
        likes.tests.push_back(std::move(test));
    } while (read.word("and"));
    if (!read.atEnd())
        return std::nullopt;
    return likes;
}

std::optional<WholeRowSelect> wholeRowSelect(const std::vector<Token>& tokens,
                                             const std::vector<std::string>& server) {
    Reader read(tokens);
    if (!read.word("select") || !read.peek() || !isSymbol(*read.peek(), '*'))
        return std::nullopt;
    read.next();
    const Token* table = read.word("from") ? read.of(TokenKind::Word) : nullptr;
    if (!table || startsWithDigit(table->raw))
        return std::nullopt;
    const std::size_t restStart = read.last() + 1;
    if (const Token* next = read.peek();
        next && !isWord(*next, "where") && !isWord(*next, "order") && !isWord(*next, "limit"))
        return std::nullopt;
    if (!ignoresSelectList(tokens, restStart))
        return std::nullopt;
    return WholeRowSelect{std::string(table->raw), sqliteText(tokens, restStart),
                          likeConjunction(tokens, server, restStart), joined(server, restStart)};
}

bool isPlainName(std::string_view name) {
    return !name.empty() &&
           (std::isalpha(static_cast<unsigned char>(name.front())) || name.front() == '_') &&
           std::all_of(name.begin(), name.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
           });
}

std::optional<DistinctSelect> distinctSelect(const std::vector<Token>& tokens) {
    Reader read(tokens);
    if (!read.words({"select", "distinct"}))
        return std::nullopt;
    const Token* column = read.of(TokenKind::Field);
    const Token* table = column && read.word("from") ? read.of(TokenKind::Word) : nullptr;
    if (!table || !isPlainName(table->raw) || !read.words({"order", "by"}))
        return std::nullopt;
    const Token* ordered = read.of(TokenKind::Field);
    read.word("asc");
    if (!ordered || !read.atEnd() || column->value.empty() ||
        column->value.find('"') != std::string::npos ||
        ::strcasecmp(column->value.c_str(), ordered->value.c_str()) != 0)
        return std::nullopt;
    return DistinctSelect{std::string(table->raw), column->value};
}

} // namespace

StatementSyntax parseStatement(std::string_view text) {
    const std::vector<Token> tokens = Tokenizer(text).tokens();
    const std::vector<std::string> server = serverPieces(tokens);
    return {sqliteText(tokens, 0), wholeRowSelect(tokens, server), distinctSelect(tokens),
            joined(server, 0)};
}

StatementSyntax parseStatement(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += '\n';
        text += lines[i];
    }
    return parseStatement(std::string_view(text));
}

} // namespace katalox::store
