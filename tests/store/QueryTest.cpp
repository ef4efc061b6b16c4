#include "CatalogFixture.h"

#include "platform/Error.h"

using katalox::EngineError;
using katalox::test::CatalogFixture;
using katalox::test::Record;

namespace {

using Lines = std::vector<std::string>;
using Texts = std::vector<std::string>;

// The listing as the main window writes it, for all disks or for one Disk ID.
Lines listing(const std::string& name, const std::string& mask, const std::string& path,
              const std::string* diskId = nullptr) {
    Lines lines = {"select * from Files", "where Files.\"File Name\" Like \"%" + name + "%\"",
                   "and Files.\"File Path\" Like \"%." + mask + "%\""};
    if (diskId) {
        lines.push_back("and Files.\"Disk ID\" Like \"" + *diskId + "\"");
        lines.push_back("and Files.\"File Path\" Like \"%" + path + "%\";");
    } else {
        lines.push_back("And Files.\"File Path\" Like \"%" + path + "%\";");
    }
    return lines;
}

const Lines treeLines = {"Select Distinct Files.\"Disk ID\" from Files",
                         "Order by Files.\"Disk ID\" asc;"};

} // namespace

class QueryTest : public CatalogFixture {
protected:
    QueryTest() {
        insertAll({{"REPORT.DOC", "/DATA/REPORT.DOC", "Disk 1", 1000},
                   {"MOVIE.AVI", "/DATA/MOVIE.AVI", "Disk 2", 5'000'000'000},
                   {"NODOT", "/DATA/NODOT", "Disk 1", 7},
                   {"SAY\"HI\".TXT", "/Q/SAY\"HI\".TXT", "Disk \"Q\"", 3},
                   {"CAFE.MP3", "/A.AVIX/CAFE.MP3", "disk 1", 2},
                   {"100%.TXT", "/P/100%.TXT", "50%_off", 4},
                   {"X.TXT", "/P/X.TXT", "50x_off", 5}});
    }
};

TEST_F(QueryTest, AllDisksListingWithEmptyFilters) {
    runQuery(listing("", "", ""));
    // Line 3 needs a dot in the path, so the record without one never lists.
    EXPECT_EQ(query.recordCount(), 6);
    EXPECT_EQ(query.fields().size(), 5u);
    EXPECT_EQ(column("File Name"),
              (Texts{"REPORT.DOC", "MOVIE.AVI", "SAY\"HI\".TXT", "CAFE.MP3", "100%.TXT", "X.TXT"}));
    EXPECT_EQ(column("Id"), (Texts{"1", "2", "4", "5", "6", "7"}));
}

TEST_F(QueryTest, FiltersCompareLetterCaseExactly) {
    runQuery(listing("", "AVI", ""));
    EXPECT_EQ(column("File Path"), (Texts{"/DATA/MOVIE.AVI", "/A.AVIX/CAFE.MP3"}));
    runQuery(listing("", "avi", ""));
    EXPECT_EQ(query.recordCount(), 0);
    runQuery(listing("REP", "", "DATA"));
    EXPECT_EQ(column("File Name"), (Texts{"REPORT.DOC"}));
}

TEST_F(QueryTest, DiskIdListing) {
    const std::string disk1 = "Disk 1";
    runQuery(listing("", "", "", &disk1));
    EXPECT_EQ(column("File Name"), (Texts{"REPORT.DOC"})); // "disk 1" is another disk
    // A double quote written doubled is a character of the value.
    const std::string quoted = "Disk \"\"Q\"\"";
    runQuery(listing("\"\"HI\"\"", "", "", &quoted));
    EXPECT_EQ(column("Disk ID"), (Texts{"Disk \"Q\""}));
}

TEST_F(QueryTest, EscapedWildcardsInADiskIdMatchThemselves) {
    runQuery({"select * from Files", "where Files.\"Disk ID\" Like \"50\\%\\_off\" ESCAPE \"\\\""});
    EXPECT_EQ(column("File Name"), (Texts{"100%.TXT"}));
    runQuery({"select * from Files", "where Files.\"Disk ID\" Like \"50%_off\""});
    EXPECT_EQ(query.recordCount(), 2);
}

TEST_F(QueryTest, SizesReadWhole) {
    runQuery(listing("MOVIE", "", ""));
    ASSERT_EQ(query.recordCount(), 1);
    EXPECT_EQ(query.fieldByName("File Size").asInteger(), 5'000'000'000);
    EXPECT_EQ(query.fieldByName("File Size").asString(), "5000000000");
    EXPECT_EQ(query.valueAt(0, 4).asInteger(), 5'000'000'000);
}

TEST_F(QueryTest, TreeStatementGivesDistinctDiskIdsAscending) {
    runQuery(treeLines);
    EXPECT_EQ(query.fields().size(), 1u);
    EXPECT_EQ(query.fields()[0].name, "Disk ID");
    EXPECT_EQ(column("Disk ID"),
              (Texts{"50%_off", "50x_off", "Disk \"Q\"", "Disk 1", "Disk 2", "disk 1"}));
}

TEST_F(QueryTest, TreeStatementMatchesThePlainQuery) {
    // NULL, empty, mixed case, accents and byte order all sort as the engine sorts them.
    table.open();
    table.insert();
    table.setFieldText("File Name", "NOID.TXT");
    table.post();
    for (const char* id : {"", "Zed", "ab", "ÄÖ", "Ab", " lead", "Disk 1"}) {
        table.insert();
        table.setFieldText("Disk ID", id);
        table.post();
    }
    table.close();
    runQuery(treeLines);
    const Texts fast = column("Disk ID");
    ASSERT_TRUE(query.valueAt(0, 0).isNull());
    runQuery({"select Files.\"Disk ID\" from Files group by Files.\"Disk ID\"",
              "order by Files.\"Disk ID\""});
    EXPECT_EQ(fast, column("Disk ID"));
    EXPECT_EQ(fast.size(), 13u);
}

TEST_F(QueryTest, TreeStatementOnAnEmptyCatalogue) {
    table.setExclusive(true);
    table.emptyTable();
    runQuery(treeLines);
    EXPECT_EQ(query.recordCount(), 0);
    EXPECT_TRUE(query.fieldByName("Disk ID").isNull());
    EXPECT_THROW(query.setRecNo(1), EngineError);
}

TEST_F(QueryTest, DeleteAndRenameStatements) {
    query.setSql({"Delete From Files Where Files.\"Id\" = 2"});
    query.execSQL();
    query.setSql(
        {"UPDATE Files SET Files.\"Disk ID\" = \"New \"\"one\"\"\" WHERE Files.\"Disk ID\" = "
         "\"Disk \"\"Q\"\"\""});
    query.execSQL();
    query.setSql({"delete from Files where Files.\"Disk ID\" = \"Disk 1\";"});
    query.execSQL();
    EXPECT_FALSE(query.active());
    runQuery(treeLines);
    EXPECT_EQ(column("Disk ID"), (Texts{"50%_off", "50x_off", "New \"one\"", "disk 1"}));
}

TEST_F(QueryTest, RowsDeletedAfterTheListingReadAsEmpty) {
    runQuery(listing("", "", ""));
    ASSERT_EQ(query.recordCount(), 6);
    CatalogFixture::query.setRecNo(1);
    katalox::store::Query other;
    other.setDatabaseName(dir.path());
    other.setSql({"Delete From Files Where Files.\"Id\" = 1"});
    other.execSQL();
    EXPECT_EQ(query.recordCount(), 6); // the result keeps its count until reopened
    EXPECT_TRUE(query.fieldByName("File Name").isNull());
    EXPECT_EQ(query.fieldByName("Id").asInteger(), 1);
}

TEST_F(QueryTest, ChangingTheLinesClosesTheQuery) {
    int changes = 0;
    QObject::connect(&query, &katalox::store::DataSet::stateChanged, [&] { ++changes; });
    runQuery(treeLines);
    EXPECT_EQ(changes, 1);
    query.addSql("");
    EXPECT_FALSE(query.active());
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(query.fields().empty());
    EXPECT_THROW(query.recordCount(), EngineError);
    EXPECT_TRUE(query.valueAt(0, 0).isNull());
    runQuery(treeLines);
    EXPECT_THROW(query.setDatabaseName("/"), EngineError);
    query.clearSql();
    EXPECT_FALSE(query.active());
}

TEST_F(QueryTest, RejectedStatementsLeaveTheQueryClosed) {
    const Lines bad[] = {
        {"select * from Files where Files.\"File Name\" Like \"%\"X\"%\""}, // broken constant
        {"select * from Nothing"},
        {"select * from Files where Files.\"No Field\" = 1"},
        {"select * from Files where Files.\"File Name\" = :name"},
        {"select * from Files; delete from Files"},
        {"delete from Files"}, // opening runs queries only
        {""},
    };
    for (const Lines& lines : bad) {
        query.setSql(lines);
        EXPECT_THROW(query.open(), EngineError) << lines[0];
        EXPECT_FALSE(query.active()) << lines[0];
    }
    EXPECT_EQ(countOutside(), 7);
    query.setSql({"delete from Files where Files.\"Id\" = ?"});
    EXPECT_THROW(query.execSQL(), EngineError);
    EXPECT_EQ(countOutside(), 7);
}

TEST_F(QueryTest, MissingCatalogueFolderIsAnError) {
    query.setDatabaseName(dir.file("elsewhere"));
    query.setSql(treeLines);
    EXPECT_THROW(query.open(), EngineError);
    EXPECT_THROW(query.execSQL(), EngineError);
}

TEST_F(QueryTest, OtherSelectsAreKeptWhole) {
    runQuery({"select Files.\"Disk ID\", count(*) as N, sum(Files.\"File Size\") from Files",
              "group by Files.\"Disk ID\" order by N desc, Files.\"Disk ID\""});
    ASSERT_EQ(query.recordCount(), 6);
    query.setRecNo(1);
    EXPECT_EQ(query.fieldByName("disk id").asString(), "Disk 1");
    EXPECT_EQ(query.fieldByName("N").asInteger(), 2);
    EXPECT_EQ(query.valueAt(0, 2).asInteger(), 1007);
}

TEST_F(QueryTest, OrderByColumnNumberSortsByTheListedField) {
    runQuery({"select * from Files where Files.\"Disk ID\" Like \"Disk%\" order by 2 desc"});
    EXPECT_EQ(column("File Name"), (Texts{"SAY\"HI\".TXT", "REPORT.DOC", "NODOT", "MOVIE.AVI"}));
}

TEST_F(QueryTest, IntegerFieldHoldingTextReadsAsStored) {
    query.setSql({"UPDATE Files SET Files.\"File Size\" = \"big\" WHERE Files.\"Id\" = 1"});
    query.execSQL();
    runQuery(listing("", "", ""));
    query.setRecNo(1);
    EXPECT_EQ(query.fieldByName("File Size").asString(), "big");
    EXPECT_THROW(query.fieldByName("File Size").asInteger(), EngineError);
    query.setRecNo(2);
    EXPECT_EQ(query.fieldByName("File Size").asInteger(), 5'000'000'000);
}
