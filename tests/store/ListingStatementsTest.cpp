#include "store/catalog/ListingStatements.h"

#include <gtest/gtest.h>

using katalox::store::diskIdTreeStatement;
using katalox::store::ListingFilters;
using katalox::store::listingStatement;

using Lines = std::vector<std::string>;

TEST(ListingStatementsTest, TreeStatementListsDistinctDiskIdsAscending) {
    EXPECT_EQ(diskIdTreeStatement(), (Lines{R"(Select Distinct Files."Disk ID" from Files)",
                                            R"(Order by Files."Disk ID" asc;)"}));
}

TEST(ListingStatementsTest, EmptyFiltersOnAllDisksMatchPathsWithoutADot) {
    EXPECT_EQ(listingStatement({}), (Lines{
                                        "select * from Files",
                                        R"(where Files."File Name" Like "%%")",
                                        R"(and Files."File Path" Like "%%")",
                                        R"(And Files."File Path" Like "%%";)",
                                    }));
}

TEST(ListingStatementsTest, FiltersAreUpperCasedAndTheDiskIdIsNot) {
    ListingFilters filters{"holiday", "mp3", "/music/é", std::string("Backup Disk")};
    EXPECT_EQ(listingStatement(filters), (Lines{
                                             "select * from Files",
                                             R"(where Files."File Name" Like "%HOLIDAY%")",
                                             R"(and Files."File Path" Like "%.MP3%")",
                                             R"(and Files."Disk ID" Like "Backup Disk")",
                                             R"(and Files."File Path" Like "%/MUSIC/É%";)",
                                         }));
}

TEST(ListingStatementsTest, EmptyDiskIdStillRestricts) {
    ListingFilters filters;
    filters.diskId = "";
    const Lines lines = listingStatement(filters);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3], R"(and Files."Disk ID" Like "")");
    EXPECT_EQ(lines[4], R"(and Files."File Path" Like "%%";)");
}

TEST(ListingStatementsTest, DoubleQuotesInValuesAreDoubled) {
    ListingFilters filters{R"(a"b)", R"(")", R"(x""y)", std::string(R"(disk "one")")};
    const Lines lines = listingStatement(filters);
    EXPECT_EQ(lines[1], R"(where Files."File Name" Like "%A""B%")");
    EXPECT_EQ(lines[2], R"(and Files."File Path" Like "%.""%")");
    EXPECT_EQ(lines[3], R"(and Files."Disk ID" Like "disk ""one""")");
    EXPECT_EQ(lines[4], R"(and Files."File Path" Like "%X""""Y%";)");

    filters.diskId.reset();
    EXPECT_EQ(listingStatement(filters)[3], R"(And Files."File Path" Like "%X""""Y%";)");
}

TEST(ListingStatementsTest, FilterWildcardsStayWildcards) {
    ListingFilters filters{"a%b_c", "m_3", "%\\", std::nullopt};
    const Lines lines = listingStatement(filters);
    EXPECT_EQ(lines[1], R"(where Files."File Name" Like "%A%B_C%")");
    EXPECT_EQ(lines[2], R"(and Files."File Path" Like "%.M_3%")");
    EXPECT_EQ(lines[3], R"(And Files."File Path" Like "%%\%";)");
}

TEST(ListingStatementsTest, DiskIdPatternCharactersAreMatchedLiterally) {
    auto diskIdLine = [](const std::string& diskId) {
        ListingFilters filters;
        filters.diskId = diskId;
        return listingStatement(filters)[3];
    };
    EXPECT_EQ(diskIdLine("a%b"), R"(and Files."Disk ID" Like "a\%b" ESCAPE "\")");
    EXPECT_EQ(diskIdLine("_"), R"(and Files."Disk ID" Like "\_" ESCAPE "\")");
    // Once an escape character is in use, a backslash of the value is escaped too.
    EXPECT_EQ(diskIdLine(R"(c:\100%)"), R"(and Files."Disk ID" Like "c:\\100\%" ESCAPE "\")");
    EXPECT_EQ(diskIdLine(R"(5" "_)"), R"(and Files."Disk ID" Like "5"" ""\_" ESCAPE "\")");
    // Without pattern characters the text stays plain, backslashes included.
    EXPECT_EQ(diskIdLine(R"(c:\data)"), R"(and Files."Disk ID" Like "c:\data")");
}
