#pragma once
// The statement dialect the windows write, turned into the engine's own:
// - a double-quoted token right after `Name.` is a field: Files."Disk ID" becomes "Disk ID";
// - every other double-quoted token is a text constant ("" inside stands for one "),
//   written as a single-quoted literal;
// - one trailing ";" is allowed, nothing but white space may follow it.
#include <optional>
#include <string>

namespace katalox::store {

// Throws EngineError for an unterminated constant or text after the ";".
std::string translateStatement(const std::string& text);

// `select * from <table> [where ...] [order by ...]` on a translated statement: a result that
// is rows of one table, so it can be kept as row ids and read on demand.
struct WholeRowSelect {
    std::string table;
    std::string rest; // everything after the table name
};
std::optional<WholeRowSelect> matchWholeRowSelect(const std::string& sql);

// `select distinct "<column>" from <table> order by "<column>" [asc]` on a translated
// statement.
struct DistinctSelect {
    std::string table;
    std::string column;
};
std::optional<DistinctSelect> matchDistinctSelect(const std::string& sql);

// `value` with every double quote doubled, so that written between double quotes it never ends
// the token: the form of a value inside a text constant of the statement text, and of a name
// inside a quoted identifier.
std::string doubledQuotes(const std::string& value);

// `name` as a double-quoted identifier.
std::string quoteIdentifier(const std::string& name);

} // namespace katalox::store
