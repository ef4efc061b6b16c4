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
// The tree gives the statement in SQLite's dialect and in PostgreSQL's, for a catalogue on a
// server, and the shapes the engine runs faster.
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
    std::string serverConditions; // in PostgreSQL's dialect
};

// `select * from <table> [where ...] [order by ...] [limit ...]`: a result that is rows of one
// table, so it can be kept as row ids and read on demand. No grouping, no compound select, no
// column numbers after `order by`: clauses that read the same with any select list.
struct WholeRowSelect {
    std::string table;
    std::string rest; // everything after the table name, in SQLite's dialect
    // When `rest` is `where <conditions>` and nothing else, and the conditions are Like tests.
    std::optional<LikeConjunction> likes;
    std::string serverRest; // everything after the table name, in PostgreSQL's dialect
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
    // The whole statement in PostgreSQL's dialect, without the ";", for the catalogue table on a
    // server (PgCatalogue.h), which holds names in their server form (PgText.h):
    // - fields, and bracketed or back-quoted names, become quoted names; text constants become
    //   standard strings of their server form (a backslash is itself, as the server reads
    //   strings unless standard_conforming_strings has been turned off);
    // - the table's name after FROM, UPDATE or INTO, "Files" in any letter case, is quoted, as
    //   the server made it;
    // - `<x> Like <text>` without Escape gets ESCAPE '' (SQLite's Like has no escape character
    //   unless given, the server's is the backslash); both compare letter case;
    // - a text field standing alone after ORDER BY, or as a column of a distinct select (which
    //   its ORDER BY must repeat), gets COLLATE "C": SQLite orders text by its bytes.
    // What only SQLite reads is left as written, for the server's own message: unquoted
    // mixed-case names (the server folds them to lower case), GLOB, REGEXP, ==, rowid,
    // LIMIT <offset>, <count>. A Like whose pattern is an expression rather than one constant
    // keeps the server's escape character.
    std::string server;
};

// Throws EngineError for an unterminated constant, name or comment, text after the ";", or a
// parameter.
StatementSyntax parseStatement(std::string_view text);
// The same for a statement held as lines, joined by line breaks.
StatementSyntax parseStatement(const std::vector<std::string>& lines);

} // namespace katalox::store
