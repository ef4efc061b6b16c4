// The windows' statements in the server's dialect list on a catalogue on the server what they
// list on the catalogue file: the same records in the same order, over generated records with
// names of any bytes and generated listings, and the same Disk IDs in the tree. Where SQLite's
// Like reads text that is not UTF-8 its own way, each record listed on one side only is shown to
// be one that the two readings of the text tell apart.
#include "common/RandomPieces.h"
#include "common/TempDir.h"
#include "platform/Paths.h"
#include "platform/Utf8.h"
#include "postgres/PostgresTest.h"
#include "store/catalog/CatalogFile.h"
#include "store/catalog/ListingStatements.h"
#include "store/dataset/Query.h"
#include "store/dialect/StatementSyntax.h"
#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgInsert.h"
#include "store/postgres/PgText.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"
#include "store/sqlite/Transaction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

namespace katalox::test {
namespace {

// Pieces of names, and what SQLite's Like reads some of them as.
const std::vector<std::string> kPieces = {
    // letters of either case, the dialects' own characters
    "A", "B", "AB", "ABC", ".", "MP3", ".MP3", "a", "\xC3\xA9", " ", "%", "_", "\\", "'", "\"",
    // multibyte characters
    "\xC3\x84", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
    // lone lead and continuation bytes
    "\xC3", "\xFF", "\x80", "\xA9",
    // overlong, a surrogate (U+FFFD), one continuation byte too many (U+3A69)
    "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xC3\xA9\xA9",
    // the range PgText uses
    "\xF4\x8F\xB8\x80", "\xF4\x8F\xBB\xBF",
    // what a lone A9 is, and what cannot be read
    "\xC2\xA9", "\xEF\xBF\xBD"};
const std::vector<std::string> kDiskIds = {
    // letter case, Like's characters
    "D1", "D2", "d1", "D%1", "D_2", "D\\3",
    // what SQLite orders otherwise than the server
    "Caf\xE9", "\xC3\x89T\xC3\x89", "\x80", "\xFF", "\xF4\x8F\xB8\x80"};

struct Record {
    std::string path; // upper-cased, as the catalogue stores it
    std::string name;
    std::string diskId;
    std::int64_t size = 0;
    const std::string& field(const std::string& which) const {
        return which == "File Name" ? name : which == "File Path" ? path : diskId;
    }
};

using Ids = std::vector<std::int64_t>;

// What Like compares one by one: the characters of a text, as numbers.
using Characters = std::vector<std::uint32_t>;

// As SQLite's Like reads text: a byte from C0 up with every continuation byte after it, decoded
// without regard to length, a value below 80, a surrogate or FFFE/FFFF read as U+FFFD; any other
// byte on its own, as its value.
Characters sqliteCharacters(std::string_view bytes) {
    Characters out;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::uint32_t lead = static_cast<unsigned char>(bytes[at++]);
        std::uint32_t c = lead;
        if (lead >= 0xC0) {
            c = lead < 0xE0   ? lead & 0x1Fu
                : lead < 0xF0 ? lead & 0x0Fu
                : lead < 0xF8 ? lead & 0x07u
                : lead < 0xFC ? lead & 0x03u
                : lead < 0xFE ? lead & 0x01u
                              : 0u;
            for (; at < bytes.size() && (static_cast<unsigned char>(bytes[at]) & 0xC0) == 0x80;
                 ++at)
                c = (c << 6) + (static_cast<unsigned char>(bytes[at]) & 0x3Fu);
            if (c < 0x80 || (c & 0xFFFFF800) == 0xD800 || (c & 0xFFFFFFFE) == 0xFFFE)
                c = 0xFFFD;
        }
        out.push_back(c);
    }
    return out;
}

// As the server reads the bytes' server form: its UTF-8 characters.
Characters serverCharacters(std::string_view bytes) {
    const std::string text = store::toServerText(bytes);
    Characters out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = platform::characterLength(text, at);
        std::uint32_t c =
            static_cast<unsigned char>(text[at]) & (length == 1 ? 0x7Fu : 0x3Fu >> (length - 1));
        for (std::size_t i = 1; i < length; ++i)
            c = (c << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3Fu);
        out.push_back(c);
        at += length;
    }
    return out;
}

// Like over characters: % any run, _ any one, the backslash (when `escaped`) takes the next
// character as it is.
bool likeMatches(const Characters& pattern, bool escaped, const Characters& text) {
    std::vector<char> reached(text.size() + 1, 0), next(text.size() + 1);
    reached[0] = 1;
    for (std::size_t p = 0; p < pattern.size(); ++p) {
        const bool literal = escaped && pattern[p] == '\\' && p + 1 < pattern.size();
        p += literal ? 1 : 0;
        std::fill(next.begin(), next.end(), 0);
        char any = 0;
        for (std::size_t at = 0; at <= text.size(); ++at) {
            if (!literal && pattern[p] == '%') {
                any |= reached[at];
                next[at] = any;
            } else if (at < text.size() && reached[at] &&
                       ((!literal && pattern[p] == '_') || pattern[p] == text[at])) {
                next[at + 1] = 1;
            }
        }
        reached.swap(next);
    }
    return reached[text.size()] != 0;
}

class ListingDifferentialTest : public PostgresCatalogueTest {
protected:
    void SetUp() override {
        PostgresCatalogueTest::SetUp();
        if (HasFatalFailure())
            return;
        store::createEmptyCatalog(dir.file("Files.db"));
        query.setDatabaseName(dir.path());
        server = std::make_unique<store::PgConnection>(uri);
    }

    std::size_t below(std::size_t n) { return random.below(n); }
    bool chance(int percent) { return random.chance(percent); }
    std::string pieces(std::size_t most) { return random.pieces(most); }

    // A path as a scan meets it, made of pieces.
    std::string generatedPath() { return "/" + pieces(3) + "/" + pieces(2) + "/" + pieces(5); }

    // The same records on both sides, in the same order, so with the Ids 1..n: on the server
    // through the scan's insert, which upper-cases the path and takes the name from it.
    void insert(const std::vector<std::string>& paths) {
        store::PgInsert toServer(*server, store::kPgCatalogueTable);
        const std::shared_ptr<store::Database> file = store::openCatalogFile(dir.file("Files.db"));
        store::Transaction transaction(*file);
        for (const std::string& path : paths) {
            Record record{platform::upperCase(path), "", kDiskIds[below(kDiskIds.size())],
                          static_cast<std::int64_t>(below(100000))};
            record.name = record.path.substr(record.path.rfind(platform::kPathSeparator) + 1);
            file->execute("INSERT INTO Files (Id, \"File Name\", \"File Path\", \"Disk ID\", "
                          "\"File Size\") VALUES (?1, ?2, ?3, ?4, ?5)",
                          {store::Value(static_cast<std::int64_t>(records.size() + 1)),
                           store::Value(record.name), store::Value(record.path),
                           store::Value(record.diskId), store::Value(record.size)});
            toServer.add(path, record.diskId, record.size);
            records.push_back(std::move(record));
        }
        transaction.commit();
        toServer.finish();
    }

    // The Ids the file and the server list for the statement of `lines`, kept as `syntax`.
    std::pair<Ids, Ids> listings(const std::vector<std::string>& lines) {
        statementText.clear();
        for (const std::string& line : lines)
            statementText += line + "\n";
        syntax = store::parseStatement(statementText);
        EXPECT_TRUE(syntax.wholeRows && syntax.wholeRows->likes) << statementText;
        return {onFile(lines), onServer("SELECT \"Id\" FROM \"Files\"" +
                                        syntax.wholeRows->serverRest + " ORDER BY \"Id\"")};
    }

    // Mostly a piece of `from`, whole characters or cut anywhere, else made up.
    std::string filter(const std::string& from) {
        if (chance(25))
            return chance(20) ? std::string() : pieces(3);
        std::size_t start = below(from.size() + 1), end = std::min(from.size(), start + below(9));
        const bool whole = chance(70);
        const auto continues = [&](std::size_t at) {
            return whole && at < from.size() &&
                   (static_cast<unsigned char>(from[at]) & 0xC0) == 0x80;
        };
        while (continues(start))
            ++start;
        while (continues(end))
            ++end;
        return from.substr(start, std::max(start, end) - start);
    }

    // The main window's listing, or Like patterns of any shape, with and without an escape
    // character, on a table named in another letter case; mostly for a record's own text.
    std::vector<std::string> statement() {
        const Record& r = records[below(records.size())];
        if (chance(60)) {
            const std::string mask = chance(40) ? "" : chance(50) ? "mp3" : filter(r.path);
            store::ListingFilters filters{filter(r.name), mask, filter(r.path), std::nullopt};
            if (chance(40))
                filters.diskId = chance(50) ? r.diskId : kDiskIds[below(kDiskIds.size())];
            return store::listingStatement(filters);
        }
        // A piece of the field with some of its bytes wildcards, or escaped when they are Like's.
        const auto like = [&](const char* field) {
            const bool escaped = chance(40);
            std::string pattern = chance(70) ? "%" : "";
            for (const char c : filter(r.field(field))) {
                if (chance(10))
                    pattern += chance(70) ? '_' : '%';
                else if (escaped && (c == '%' || c == '_' || c == '\\'))
                    pattern += std::string("\\") + c;
                else
                    pattern += c;
            }
            pattern += chance(70) ? "%" : "";
            if (chance(3))
                pattern.clear();
            return std::string("Files.\"") + field + "\" Like " + store::quoted(pattern, '"') +
                   (escaped ? " Escape \"\\\"" : "");
        };
        return {chance(20) ? "select * from files" : "select * from Files",
                "where " + like("File Name"), "and " + like("File Path")};
    }

    Ids onFile(const std::vector<std::string>& lines) {
        query.setSql(lines);
        query.open();
        Ids ids;
        for (std::int64_t row = 0; row < query.recordCount(); ++row)
            ids.push_back(query.valueAt(row, 0).asInteger());
        query.close();
        return ids;
    }

    Ids onServer(const std::string& sql) {
        const store::PgResult rows = server->execute(sql);
        Ids ids;
        for (int row = 0; row < rows.rows(); ++row)
            ids.push_back(rows.integer(row, 0));
        return ids;
    }

    // Whether `record` passes every test of `likes` with text read as `characters` reads it.
    static bool passes(const store::LikeConjunction& likes, const Record& record,
                       Characters (*characters)(std::string_view)) {
        return std::all_of(likes.tests.begin(), likes.tests.end(), [&](const store::LikeTest& t) {
            return likeMatches(characters(t.pattern), t.escaped, characters(record.field(t.field)));
        });
    }

    TempDir dir;
    store::Query query;
    std::unique_ptr<store::PgConnection> server;
    std::vector<Record> records;
    std::string statementText;     // of the last listing
    store::StatementSyntax syntax; // of the last listing
    RandomPieces random{kPieces, 20261209};
};

TEST_F(ListingDifferentialTest, TheServerListsWhatTheCatalogueFileLists) {
    constexpr int kStatements = 1500;
    std::vector<std::string> paths(3000);
    std::generate(paths.begin(), paths.end(), [&] { return generatedPath(); });
    insert(paths);
    // Every record reached the server byte for byte, names that are not UTF-8 among them.
    const store::PgResult stored = server->execute(
        "SELECT \"Id\", \"File Name\", \"File Path\", \"Disk ID\", \"File Size\" FROM \"Files\" "
        "ORDER BY \"Id\"");
    ASSERT_EQ(stored.rows(), static_cast<int>(records.size()));
    std::size_t notUtf8 = 0;
    for (int row = 0; row < stored.rows(); ++row) {
        const Record& record = records[static_cast<std::size_t>(row)];
        ASSERT_EQ(stored.integer(row, 0), row + 1);
        ASSERT_EQ(store::fromServerText(stored.text(row, 1)), record.name);
        ASSERT_EQ(store::fromServerText(stored.text(row, 2)), record.path);
        ASSERT_EQ(store::fromServerText(stored.text(row, 3)), record.diskId);
        ASSERT_EQ(stored.integer(row, 4), record.size);
        notUtf8 += stored.text(row, 1) != record.name ? 1 : 0;
    }
    EXPECT_GT(notUtf8, records.size() / 4);

    std::size_t listed = 0, selective = 0;
    for (int round = 0; round < kStatements; ++round) {
        auto [inFile, inServer] = listings(statement());
        ASSERT_FALSE(HasFailure());
        // A record on one side only must be one that SQLite's reading of the text (a lead byte
        // with all its continuation bytes one character, decoded loosely) and the server's (each
        // byte that is not UTF-8 a character of its own) tell apart: Like cannot write SQLite's
        // reading on the server.
        const std::set<std::int64_t> fileSet(inFile.begin(), inFile.end()),
            serverSet(inServer.begin(), inServer.end());
        Ids oneSide;
        std::set_symmetric_difference(fileSet.begin(), fileSet.end(), serverSet.begin(),
                                      serverSet.end(), std::back_inserter(oneSide));
        for (const std::int64_t id : oneSide) {
            const Record& record = records[static_cast<std::size_t>(id - 1)];
            const auto& likes = *syntax.wholeRows->likes;
            EXPECT_EQ(passes(likes, record, sqliteCharacters), fileSet.contains(id))
                << statementText << record.path;
            EXPECT_EQ(passes(likes, record, serverCharacters), serverSet.contains(id))
                << statementText << record.path;
        }
        const auto onOneSide = [&](std::int64_t id) {
            return std::binary_search(oneSide.begin(), oneSide.end(), id);
        };
        std::erase_if(inFile, onOneSide);
        std::erase_if(inServer, onOneSide);
        ASSERT_EQ(inServer, inFile) << statementText;
        listed += inFile.size();
        selective += !inFile.empty() && inFile.size() < records.size() ? 1 : 0;
    }
    // The statements found something, and often not everything.
    EXPECT_GT(listed, kStatements * 10u);
    EXPECT_GT(selective, kStatements / 4u);

    // The tree's Disk IDs, each once. SQLite orders them by their bytes, the server by those of
    // their server form, which differ where a byte that is not UTF-8 meets a character.
    const std::vector<std::string> tree = store::diskIdTreeStatement();
    query.setSql(tree);
    query.open();
    std::vector<std::string> fileIds;
    for (std::int64_t row = 0; row < query.recordCount(); ++row)
        fileIds.push_back(query.valueAt(row, 0).asString());
    // By bytes even where the server's own order of text is by language rules.
    if (server->execute("SELECT 1 FROM pg_collation WHERE collname = 'und-x-icu'").rows() > 0)
        server->execute(
            "ALTER TABLE \"Files\" ALTER COLUMN \"Disk ID\" TYPE text COLLATE \"und-x-icu\"");
    std::vector<std::string> serverIds;
    const store::PgResult rows =
        server->execute(store::parseStatement(tree[0] + "\n" + tree[1]).server);
    for (int row = 0; row < rows.rows(); ++row)
        serverIds.push_back(store::fromServerText(rows.text(row, 0)));
    std::vector<std::string> bytesOrder = kDiskIds, serverOrder = kDiskIds;
    std::sort(bytesOrder.begin(), bytesOrder.end());
    std::sort(serverOrder.begin(), serverOrder.end(),
              [](const std::string& a, const std::string& b) {
                  return store::toServerText(a) < store::toServerText(b);
              });
    EXPECT_EQ(fileIds, bytesOrder);
    EXPECT_EQ(serverIds, serverOrder);
    // A lone 80 comes before "\xC3\x89T\xC3\x89" in bytes, after it in the server form.
    EXPECT_NE(serverOrder, bytesOrder);
}

// Where the two readings of text that is not UTF-8 part: SQLite's Like takes a lead byte with
// every continuation byte after it for one character, and reads characters by their value, which
// several byte sequences share; the server form keeps each such byte a character of its own.
TEST_F(ListingDifferentialTest, SqliteReadsTextThatIsNotUtf8AsTheServerCannot) {
    insert({"/\xC3\xA9\xA9Z", "/\xA9", "/\xC2\xA9", "/\xE9\xA9", "/\xFF"});
    const std::vector<std::pair<std::string, std::pair<Ids, Ids>>> cases = {
        // C3 A9 A9: to SQLite one character, on the server three
        {"_Z", {{1}, {}}},
        {"___Z", {{}, {1}}},
        // U+00A9: to SQLite also a lone A9
        {"%\xC2\xA9%", {{2, 3}, {3}}},
        // U+FFFD: to SQLite also a byte it cannot read
        {"%\xEF\xBF\xBD%", {{5}, {}}},
        // a lone E9: to SQLite U+FFFD, as FF is; on the server also the E9 of E9 A9
        {"%\xE9%", {{5}, {4}}},
    };
    for (const auto& [pattern, expected] : cases)
        EXPECT_EQ(listings({"select * from Files",
                            "where Files.\"File Name\" Like " + store::quoted(pattern, '"')}),
                  expected)
            << statementText;
}

} // namespace
} // namespace katalox::test
