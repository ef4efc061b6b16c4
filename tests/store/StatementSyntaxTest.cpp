// The one reading of the statement dialect: what the engine is sent, and the shapes it runs
// faster, for every statement the windows build and for broken ones.
#include "store/dialect/StatementSyntax.h"

#include "platform/Error.h"
#include "store/catalog/ListingStatements.h"
#include "store/catalog/MaintenanceStatements.h"

#include <gtest/gtest.h>

using katalox::EngineError;
using namespace katalox::store;

namespace {

StatementSyntax parsedLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return parseStatement(text);
}

std::string sqlite(std::string_view text) {
    return parseStatement(text).sqlite;
}

} // namespace

TEST(StatementSyntax, TreeStatementIsADistinctSelect) {
    const StatementSyntax tree = parsedLines(diskIdTreeStatement());
    EXPECT_EQ(tree.sqlite, "Select Distinct \"Disk ID\" from Files\nOrder by \"Disk ID\" asc");
    ASSERT_TRUE(tree.distinct);
    EXPECT_EQ(tree.distinct->table, "Files");
    EXPECT_EQ(tree.distinct->column, "Disk ID");
    EXPECT_FALSE(tree.wholeRows);
}

TEST(StatementSyntax, ListingsAreLikeConjunctionsOverWholeRows) {
    ListingFilters filters{"rep\"ort", "doc", "o'brien", std::string("50%_off")};
    const StatementSyntax listing = parsedLines(listingStatement(filters));
    EXPECT_EQ(listing.sqlite, "select * from Files\n"
                              "where \"File Name\" Like '%REP\"ORT%'\n"
                              "and \"File Path\" Like '%.DOC%'\n"
                              "and \"Disk ID\" Like '50\\%\\_off' ESCAPE '\\'\n"
                              "and \"File Path\" Like '%O''BRIEN%'");
    ASSERT_TRUE(listing.wholeRows && listing.wholeRows->likes);
    EXPECT_EQ(listing.wholeRows->table, "Files");
    EXPECT_EQ(listing.wholeRows->rest,
              listing.sqlite.substr(std::string("select * from Files").size()));
    const std::vector<LikeTest> expected{{"File Name", "%REP\"ORT%", false},
                                         {"File Path", "%.DOC%", false},
                                         {"Disk ID", "50\\%\\_off", true},
                                         {"File Path", "%O'BRIEN%", false}};
    EXPECT_EQ(listing.wholeRows->likes->tests, expected);
    EXPECT_EQ(listing.wholeRows->likes->conditions,
              listing.wholeRows->rest.substr(std::string("\nwhere").size()));

    const StatementSyntax allDisks = parsedLines(listingStatement({}));
    ASSERT_TRUE(allDisks.wholeRows && allDisks.wholeRows->likes);
    EXPECT_EQ(allDisks.wholeRows->likes->tests.size(), 3u);
}

TEST(StatementSyntax, MaintenanceStatementsLoseTheirQualifiers) {
    EXPECT_EQ(parsedLines(deleteEntryStatement(42)).sqlite, "Delete From Files Where \"Id\" = 42");
    EXPECT_EQ(parsedLines(deleteDiskIdStatement("Back\"up")).sqlite,
              "Delete From Files Where \"Disk ID\" = 'Back\"up'");
    // The engine refuses a qualified field after SET, so the qualifier must go.
    const StatementSyntax rename = parsedLines(renameDiskIdStatement("Old", "New's"));
    EXPECT_EQ(rename.sqlite, "UPDATE Files SET \"Disk ID\" = 'New''s' WHERE \"Disk ID\" = 'Old'");
    EXPECT_FALSE(rename.wholeRows || rename.distinct);
}

TEST(StatementSyntax, ConstantsAndFields) {
    const std::pair<const char*, const char*> translations[] = {
        {"x = \"say \"\"hi\"\"\"", "x = 'say \"hi\"'"},
        {"x = \"\"", "x = ''"},
        {"x = 'a\"b'", "x = 'a\"b'"},
        // A colon or semicolon inside a constant is text, not a parameter or an end.
        {"x = \"C:\\DATA;:name?\";", "x = 'C:\\DATA;:name?'"},
        // Only a name directly before the dot makes a field.
        {"x = .\"a\"", "x = .'a'"},
        {"Files . \"a\"", "Files . 'a'"},
        {"a.b.\"c\"", "a.\"c\""},
        {"F\xC3\xAFles.\"a\"\"b\"", "\"a\"\"b\""},
        // Comments and bracketed names are passed on as the engine reads them.
        {"select [a\"b] -- it's \"x\" ?\n/* :y */ `c`",
         "select [a\"b] -- it's \"x\" ?\n/* :y */ `c`"},
        {"select 1;  \r\n\t", "select 1"},
        {"select a$b", "select a$b"},
    };
    for (const auto& [dialect, expected] : translations)
        EXPECT_EQ(sqlite(dialect), expected) << dialect;
}

TEST(StatementSyntax, BrokenStatementsAreRefused) {
    for (const char* broken :
         {"x = \"abc", "x = \"abc\"\"", "x = 'abc", "select [a", "select `a", "select 1; select 2",
          "delete from Files;;", "select 1; -- more", "x = ?", "x = ?1", "x = :name", "x = @a",
          "x = $a", "select * from Files where \"File Name\" like :p"})
        EXPECT_THROW(parseStatement(broken), EngineError) << broken;
}

TEST(StatementSyntax, WholeRowSelects) {
    auto rest = [](std::string_view text) -> std::optional<std::string> {
        const auto whole = parseStatement(text).wholeRows;
        return whole ? std::optional(whole->rest) : std::nullopt;
    };
    EXPECT_EQ(rest("SELECT *  FROM Files\nwhere x = 1"), "\nwhere x = 1");
    EXPECT_EQ(rest("select * from Files"), "");
    EXPECT_EQ(rest("select * from Files order by x limit 3"), " order by x limit 3");
    EXPECT_EQ(parseStatement("select * from Fileswhere").wholeRows->table, "Fileswhere");
    EXPECT_TRUE(rest("select * from Files where x = 'group by 2' order by \"A\""));
    for (const char* other :
         {"select * from Files, Other", "select * from Files join Other", "select *, 1 from Files",
          "select count(*) from Files", "select * from 1Files", "select * from Files group by x",
          "select * from Files order by 2", "select * from Files where x = 1 order by a, 3 desc",
          "select * from Files where 1 union select * from Files"})
        EXPECT_FALSE(rest(other)) << other;
}

TEST(StatementSyntax, OnlyPlainLikeConjunctionsAreReadAsTests) {
    auto likes = [](std::string_view text) { return parseStatement(text).wholeRows->likes; };
    const auto plain = likes("select * from T where T.\"A\" Like \"x\" AND T.\"B\" LIKE 'y'");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->conditions, " \"A\" Like 'x' AND \"B\" LIKE 'y'");
    for (const char* other :
         {"select * from T where T.\"A\" Like \"x\" or T.\"B\" Like \"y\"",
          "select * from T where (T.\"A\" Like \"x\")", "select * from T where \"A\" Like \"x\"",
          "select * from T where T.\"A\" Like \"x\" order by x",
          "select * from T where T.\"A\" Like \"x\" -- note",
          "select * from T where T.\"A\" Like \"x\" escape",
          "select * from T where T.\"A\" = \"x\"", "select * from T"})
        EXPECT_FALSE(likes(other)) << other;
}

TEST(StatementSyntax, DistinctSelects) {
    EXPECT_TRUE(parseStatement("select distinct T.\"A\" from T order by T.\"a\"").distinct);
    for (const char* other : {"select distinct T.\"A\" from T order by T.\"A\" desc",
                              "select distinct T.\"A\" from T order by T.\"B\"",
                              "select distinct T.\"A\" from T where 1 order by T.\"A\"",
                              "select distinct T.\"A\" from T",
                              "select distinct \"A\" from T "
                              "order by \"A\""})
        EXPECT_FALSE(parseStatement(other).distinct) << other;
}

TEST(StatementSyntax, TheWindowsStatementsInTheServersDialect) {
    const StatementSyntax listing =
        parsedLines(listingStatement({"caf\xE9", "", "a\\b", std::string("50%")}));
    EXPECT_EQ(listing.server, "select * from \"Files\"\n"
                              "where \"File Name\" Like '%CAF\xF4\x8F\xBB\xA9%' ESCAPE ''\n"
                              "and \"File Path\" IS NOT NULL\n"
                              "and \"Disk ID\" Like '50\\%' ESCAPE '\\'\n"
                              "and \"File Path\" Like '%A\\B%' ESCAPE ''");
    ASSERT_TRUE(listing.wholeRows && listing.wholeRows->likes);
    EXPECT_EQ(listing.wholeRows->serverRest,
              listing.server.substr(std::string("select * from \"Files\"").size()));
    EXPECT_EQ(listing.wholeRows->likes->serverConditions,
              listing.wholeRows->serverRest.substr(std::string("\nwhere").size()));
    // The server orders text by its letters' rules unless told to order by bytes, as SQLite does.
    EXPECT_EQ(parsedLines(diskIdTreeStatement()).server,
              "Select Distinct \"Disk ID\" COLLATE \"C\" from \"Files\"\n"
              "Order by \"Disk ID\" COLLATE \"C\" asc");
    EXPECT_EQ(parsedLines(renameDiskIdStatement("O'ld", "New")).server,
              "UPDATE \"Files\" SET \"Disk ID\" = 'New' WHERE \"Disk ID\" = 'O''ld'");
    EXPECT_EQ(parsedLines(deleteDiskIdStatement("D1")).server,
              "Delete From \"Files\" Where \"Disk ID\" = 'D1'");
}

TEST(StatementSyntax, TheServersDialectChangesOnlyWhatItMust) {
    const std::pair<const char*, const char*> translations[] = {
        // Only the table's name after FROM, UPDATE or INTO is quoted, in any letter case.
        {"insert into files (x) select files from Files2",
         "insert into \"Files\" (x) select files from Files2"},
        // Like without Escape gets none where its pattern is one constant.
        {"x like 'a' or y not like \"b\" escape '!' and (z like 'c')",
         "x like 'a' ESCAPE '' or y not like 'b' escape '!' and (z like 'c' ESCAPE '')"},
        {"x like 'a' || 'b'", "x like 'a' || 'b'"},
        // A field's Like that one text passes is a comparison, one every text passes a test
        // for NULL.
        {"where T.\"A\" like 'x' and T.\"B\" like 'y_' and z like 'w'",
         "where \"A\" = 'x' and \"B\" like 'y_' ESCAPE '' and z like 'w' ESCAPE ''"},
        {"where T.\"A\" like '%%%' and T.\"B\" not like '%' or x like '%'",
         "where \"A\" IS NOT NULL and \"B\" not like '%' ESCAPE '' or x like '%' ESCAPE ''"},
        {"x like y", "x like y"},
        // Only text fields standing alone after ORDER BY are ordered by bytes.
        {"order by T.\"File Name\" desc, T.\"File Size\", T.\"File Path\" || 'x', T.\"Disk ID\" "
         "limit 2",
         "order by \"File Name\" COLLATE \"C\" desc, \"File Size\", \"File Path\" || 'x', \"Disk "
         "ID\" "
         "COLLATE \"C\" limit 2"},
        {"where T.\"Disk ID\" = 'a' order by 1", "where \"Disk ID\" = 'a' order by 1"},
        {"select [a\"b], `c``d` -- x\n", "select \"a\"\"b\", \"c`d\" -- x\n"},
    };
    for (const auto& [dialect, expected] : translations)
        EXPECT_EQ(parseStatement(dialect).server, expected) << dialect;
}
