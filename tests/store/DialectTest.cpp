#include "store/dialect/Dialect.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

using katalox::EngineError;
using namespace katalox::store;

TEST(Dialect, TreeStatementOverTwoLines) {
    EXPECT_EQ(translateStatement("Select Distinct Files.\"Disk ID\" from Files\n"
                                 "Order by Files.\"Disk ID\" asc;"),
              "Select Distinct \"Disk ID\" from Files\nOrder by \"Disk ID\" asc");
}

TEST(Dialect, ListingStatements) {
    EXPECT_EQ(translateStatement("select * from Files\n"
                                 "where Files.\"File Name\" Like \"%REP%\"\n"
                                 "and Files.\"File Path\" Like \"%.DOC%\"\n"
                                 "And Files.\"File Path\" Like \"%%\";"),
              "select * from Files\n"
              "where \"File Name\" Like '%REP%'\n"
              "and \"File Path\" Like '%.DOC%'\n"
              "And \"File Path\" Like '%%'");
    EXPECT_EQ(translateStatement("select * from Files\n"
                                 "where Files.\"File Name\" Like \"%%\"\n"
                                 "and Files.\"File Path\" Like \"%.%\"\n"
                                 "and Files.\"Disk ID\" Like \"Disk 1\"\n"
                                 "and Files.\"File Path\" Like \"%%\";"),
              "select * from Files\n"
              "where \"File Name\" Like '%%'\n"
              "and \"File Path\" Like '%.%'\n"
              "and \"Disk ID\" Like 'Disk 1'\n"
              "and \"File Path\" Like '%%'");
}

TEST(Dialect, MaintenanceStatements) {
    EXPECT_EQ(translateStatement("Delete From Files Where Files.\"Id\" = 42"),
              "Delete From Files Where \"Id\" = 42");
    EXPECT_EQ(translateStatement("Delete From Files Where Files.\"Disk ID\" = \"Backup\""),
              "Delete From Files Where \"Disk ID\" = 'Backup'");
    // The engine refuses a qualified field after SET, so the qualifier must go.
    EXPECT_EQ(translateStatement(
                  "UPDATE Files SET Files.\"Disk ID\" = \"New\" WHERE Files.\"Disk ID\" = \"Old\""),
              "UPDATE Files SET \"Disk ID\" = 'New' WHERE \"Disk ID\" = 'Old'");
}

TEST(Dialect, ConstantsKeepEveryCharacter) {
    // "" inside a constant is one double quote; a single quote is doubled for the engine.
    EXPECT_EQ(translateStatement("x = \"say \"\"hi\"\"\""), "x = 'say \"hi\"'");
    EXPECT_EQ(translateStatement("x = \"\"\"\""), "x = '\"'");
    EXPECT_EQ(translateStatement("x = \"\""), "x = ''");
    EXPECT_EQ(translateStatement("x = \"O'Brien\""), "x = 'O''Brien'");
    EXPECT_EQ(translateStatement("x Like \"%a_b%\""), "x Like '%a_b%'");
    // A colon or semicolon inside a constant is text, not a parameter or an end.
    EXPECT_EQ(translateStatement("x = \"C:\\DATA;:name\";"), "x = 'C:\\DATA;:name'");
    EXPECT_EQ(translateStatement("x Like \"50\\%\" ESCAPE \"\\\""), "x Like '50\\%' ESCAPE '\\'");
    // A constant that follows a dot but no name is still a constant.
    EXPECT_EQ(translateStatement("x = .\"a\""), "x = .'a'");
}

TEST(Dialect, TrailingSemicolon) {
    EXPECT_EQ(translateStatement("select 1;  \r\n\t"), "select 1");
    EXPECT_EQ(translateStatement("select 1"), "select 1");
    EXPECT_THROW(translateStatement("select 1; select 2"), EngineError);
    EXPECT_THROW(translateStatement("delete from Files;;"), EngineError);
}

TEST(Dialect, UnterminatedConstantIsAnError) {
    EXPECT_THROW(translateStatement("x = \"abc"), EngineError);
    EXPECT_THROW(translateStatement("x = \"abc\"\""), EngineError);
    EXPECT_THROW(translateStatement("x = 'abc"), EngineError);
}

TEST(Dialect, SingleQuotedLiteralsPassUntouched) {
    EXPECT_EQ(translateStatement("x = 'a\"b'"), "x = 'a\"b'");
}

TEST(Dialect, RecognisesWholeRowSelects) {
    auto match = matchWholeRowSelect("SELECT *  FROM Files\nwhere x = 1");
    ASSERT_TRUE(match);
    EXPECT_EQ(match->table, "Files");
    EXPECT_EQ(match->rest, "\nwhere x = 1");
    EXPECT_TRUE(matchWholeRowSelect("select * from Files"));
    EXPECT_TRUE(matchWholeRowSelect("select * from Files order by x"));
    EXPECT_FALSE(matchWholeRowSelect("select * from Files, Other"));
    EXPECT_FALSE(matchWholeRowSelect("select * from Files join Other"));
    EXPECT_FALSE(matchWholeRowSelect("select *, 1 from Files"));
    EXPECT_FALSE(matchWholeRowSelect("select * from Files group by x"));
    EXPECT_EQ(matchWholeRowSelect("select * from Fileswhere")->table, "Fileswhere");
    EXPECT_FALSE(matchWholeRowSelect("select count(*) from Files"));
    // Clauses that depend on the select list.
    EXPECT_FALSE(matchWholeRowSelect("select * from Files order by 2"));
    EXPECT_FALSE(matchWholeRowSelect("select * from Files where x = 1 order by \"A\", 3 desc"));
    EXPECT_FALSE(matchWholeRowSelect("select * from Files where x = 1 group by y"));
    EXPECT_FALSE(matchWholeRowSelect("select * from Files where 1 union select * from Files"));
    EXPECT_TRUE(matchWholeRowSelect("select * from Files where x = 'group by 2' order by \"A\""));
}

TEST(Dialect, RecognisesDistinctSelects) {
    auto match =
        matchDistinctSelect("Select Distinct \"Disk ID\" from Files\nOrder by \"disk id\" asc");
    ASSERT_TRUE(match);
    EXPECT_EQ(match->table, "Files");
    EXPECT_EQ(match->column, "Disk ID");
    EXPECT_TRUE(matchDistinctSelect("select distinct \"A\" from T order by \"A\""));
    EXPECT_FALSE(matchDistinctSelect("select distinct \"A\" from T order by \"A\" desc"));
    EXPECT_FALSE(matchDistinctSelect("select distinct \"A\" from T order by \"B\""));
    EXPECT_FALSE(matchDistinctSelect("select distinct \"A\" from T where 1 order by \"A\""));
}
