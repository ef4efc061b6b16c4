#pragma once
// The statement dialect the windows write, read once into a small syntax tree:
// - a double-quoted token right after `Name.` is a field: Files."Disk ID" is the field "Disk ID"
//   (the qualifier is dropped: the engine refuses SET Files."Disk ID");
// - every other double-quoted token is a text constant ("" inside stands for one "), and so is
//   a single-quoted one ('' inside stands for one ');
// - one trailing ";" is allowed, nothing but white space may follow it;
// - parameters (?, :name, @name, $name) are refused: a statement runs as written, and a
//   parameter left unbound would quietly read as NULL.
// Comments and bracketed or back-quoted names are read as the engine reads them and passed on.
// The tree gives the statement in SQLite's dialect and the shapes the engine runs faster.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace katalox::store {

// `<field> Like <text> [Escape <text>]`.
struct LikeTest {
    std::string field;
    std::string pattern;
    bool escaped = false;
    bool operator==(const LikeTest&) const = default;
};

// Conditions that are nothing but Like tests joined by `and`.
struct LikeConjunction {
    std::string conditions; // in SQLite's dialect
    std::vector<LikeTest> tests;
};

// `select * from <table> [where ...] [order by ...] [limit ...]`: a result that is rows of one
// table, so it can be kept as row ids and read on demand. No grouping, no compound select, no
// column numbers after `order by`: clauses that read the same with any select list.
struct WholeRowSelect {
    std::string table;
    std::string rest; // everything after the table name, in SQLite's dialect
    // When `rest` is `where <conditions>` and nothing else, and the conditions are Like tests.
    std::optional<LikeConjunction> likes;
};

// `select distinct <field> from <table> order by <the same field> [asc]`.
struct DistinctSelect {
    std::string table;
    std::string column;
};

struct StatementSyntax {
    std::string sqlite; // the whole statement in SQLite's dialect, without the ";"
    std::optional<WholeRowSelect> wholeRows;
    std::optional<DistinctSelect> distinct;
};

// Throws EngineError for an unterminated constant, name or comment, text after the ";", or a
// parameter.
StatementSyntax parseStatement(std::string_view text);

} // namespace katalox::store
