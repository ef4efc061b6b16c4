#include "store/postgres/PgFacts.h"

#include "platform/Paths.h"
#include "platform/Utf8.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgFactTables.h"
#include "store/postgres/PgInsert.h"
#include "store/postgres/PgText.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>

namespace katalox::store {

namespace {

std::string number(std::int64_t value) {
    return std::to_string(value);
}

// The numbers of an array as the server writes it: {1,2,3}.
std::vector<std::int64_t> numbersOf(const std::string& array) {
    std::vector<std::int64_t> numbers;
    for (std::size_t at = 1; at < array.size() && array[at] != '}';) {
        std::size_t end = array.find_first_of(",}", at);
        numbers.push_back(std::stoll(array.substr(at, end - at)));
        at = end + 1;
    }
    return numbers;
}

// Bytes as bytea's hex form, written into COPY's text form (whose backslash is doubled).
void appendBytea(std::string& out, std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\\\x";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
}

int hexValue(char c) {
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

} // namespace

std::string byteaBytes(const std::string& text) {
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 2; i + 1 < text.size(); i += 2)
        bytes.push_back(static_cast<char>(hexValue(text[i]) << 4 | hexValue(text[i + 1])));
    return bytes;
}

std::string bigintArray(const std::vector<std::int64_t>& values) {
    std::string array = "{";
    for (const std::int64_t value : values)
        array += (array.size() > 1 ? "," : "") + number(value);
    return array + "}";
}

ServerFactsSink::ServerFactsSink(PgConnection& db, const std::string& table)
    : db_(db), table_(table) {}

bool ServerFactsSink::folderExists(std::int64_t folder) {
    return db_.execute("SELECT 1 FROM " + quoteIdentifier(serverFoldersTable(table_)) +
                           " WHERE \"Id\" = $1",
                       {number(folder)})
               .rows() > 0;
}

std::vector<std::int64_t> ServerFactsSink::addFolders(std::int64_t scanId,
                                                      const std::vector<NewFolder>& folders) {
    // Their Ids are taken first, so that children name their parents in the same COPY.
    const std::string name = quoteIdentifier(serverFoldersTable(table_));
    const PgResult taken =
        db_.execute("SELECT nextval(pg_get_serial_sequence(" + quoted(name, '\'') +
                        ", 'Id')) FROM generate_series(1, $1)",
                    {number(static_cast<std::int64_t>(folders.size()))});
    std::vector<std::int64_t> ids;
    ids.reserve(folders.size());
    std::string rows;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const NewFolder& folder = folders[i];
        ids.push_back(taken.integer(static_cast<int>(i), 0));
        rows += number(ids.back()) + '\t' + number(scanId) + '\t';
        if (folder.parentAt)
            rows += number(ids[*folder.parentAt]);
        else
            rows += folder.parentId != 0 ? number(folder.parentId) : "\\N";
        rows += '\t';
        appendCopyField(rows, toServerText(folder.name));
        rows += "\t0\t0\n";
    }
    db_.startCopy("COPY " + name +
                  " (\"Id\", \"Scan\", \"Parent\", \"Name\", \"Files\", "
                  "\"Bytes\") FROM STDIN");
    db_.sendCopyData(rows);
    db_.endCopy();
    return ids;
}

void ServerFactsSink::addRuns(const std::vector<FactRun>& runs) {
    if (runs.empty())
        return;
    // A server's records take Ids from a sequence, which gives none twice: no run is there
    // before, but a mark made by another program for the Id is cleared.
    std::string rows;
    std::vector<std::int64_t> firsts, pasts;
    for (const FactRun& run : runs) {
        rows += number(run.first) + '\t' + number(run.count) + '\t' + number(run.folder) + '\t';
        appendBytea(rows, run.names);
        rows += '\t';
        appendBytea(rows, run.times);
        rows += '\n';
        firsts.push_back(run.first);
        pasts.push_back(run.first + run.count);
    }
    db_.startCopy("COPY " + quoteIdentifier(serverFactsTable(table_)) +
                  " (\"First Record\", \"Records\", \"Folder\", \"Names\", \"Times\") FROM STDIN");
    db_.sendCopyData(rows);
    db_.endCopy();
    db_.execute("DELETE FROM " + quoteIdentifier(serverDroppedTable(table_)) +
                    " d USING unnest($1::bigint[], $2::bigint[]) AS r(first, past)"
                    " WHERE d.\"Record\" >= r.first AND d.\"Record\" < r.past",
                {bigintArray(firsts), bigintArray(pasts)});
}

void ServerFactsSink::growFolders(const std::vector<FolderGrowth>& growths) {
    if (growths.empty())
        return;
    std::vector<std::int64_t> folders, files, bytes;
    for (const FolderGrowth& growth : growths) {
        folders.push_back(growth.folder);
        files.push_back(growth.files);
        bytes.push_back(growth.bytes);
    }
    db_.execute("UPDATE " + quoteIdentifier(serverFoldersTable(table_)) +
                    " f SET \"Files\" = f.\"Files\" + g.files, \"Bytes\" = f.\"Bytes\" + g.bytes"
                    " FROM unnest($1::bigint[], $2::bigint[], $3::bigint[]) AS g(id, files, bytes)"
                    " WHERE f.\"Id\" = g.id",
                {bigintArray(folders), bigintArray(files), bigintArray(bytes)});
}

ServerFactsSource::ServerFactsSource(PgConnection& db, const std::string& table)
    : db_(db),
      runSql_("SELECT x.\"First Record\", x.\"Records\", x.\"Folder\", x.\"Names\", x.\"Times\","
              " ARRAY(SELECT d.\"Record\" FROM " +
              quoteIdentifier(serverDroppedTable(table)) +
              " d WHERE d.\"Record\" >= x.\"First Record\" AND d.\"Record\" < x.\"First Record\""
              " + x.\"Records\" ORDER BY 1) FROM " +
              quoteIdentifier(serverFactsTable(table)) +
              " x WHERE x.\"First Record\" <= $1 ORDER BY x.\"First Record\" DESC LIMIT 1"),
      folderSql_("SELECT \"Parent\", \"Name\", \"Scan\" FROM " +
                 quoteIdentifier(serverFoldersTable(table)) + " WHERE \"Id\" = $1") {}

std::optional<FactRun> ServerFactsSource::runFrom(std::int64_t record) {
    const PgResult row = db_.execute(runSql_, {number(record)});
    if (row.rows() == 0)
        return std::nullopt;
    dropped_ = numbersOf(row.text(0, 5));
    return FactRun{row.integer(0, 0), row.integer(0, 1), row.integer(0, 2),
                   byteaBytes(row.text(0, 3)), byteaBytes(row.text(0, 4))};
}

bool ServerFactsSource::dropped(std::int64_t record) {
    return std::binary_search(dropped_.begin(), dropped_.end(), record);
}

std::optional<FolderRow> ServerFactsSource::folder(std::int64_t id) {
    const PgResult row = db_.execute(folderSql_, {number(id)});
    if (row.rows() == 0)
        return std::nullopt;
    return FolderRow{row.isNull(0, 0) ? std::nullopt : std::optional(row.integer(0, 0)),
                     fromServerText(row.text(0, 1)), row.integer(0, 2)};
}

std::optional<RecordedPath> serverRecordedPath(PgConnection& db, const std::string& table,
                                               std::int64_t record) {
    const PgResult name =
        db.execute("SELECT \"File Name\" FROM " + quoteIdentifier(table) + " WHERE \"Id\" = $1",
                   {number(record)});
    if (name.rows() == 0)
        return std::nullopt;
    return RecordedFactsReader(std::make_unique<ServerFactsSource>(db, table))
        .factsOf(record, fromServerText(name.text(0, 0)));
}

ServerScanFacts::ServerScanFacts(PgConnection& db, const std::string& table, PgInsert& insert,
                                 std::int64_t scanId, std::string rootFolder)
    : writer_(std::make_unique<ServerFactsSink>(db, table), std::move(rootFolder)) {
    // Every record's Id is known when it is added.
    insert.addBatchClosing([this, scanId](PgConnection&) { writer_.flush(scanId, 0); });
}

void ServerScanFacts::add(std::string_view realPath, std::int64_t record, std::int64_t size,
                          std::int64_t modified) {
    const std::string upperName = platform::upperCase(
        std::string(realPath.substr(realPath.rfind(platform::kPathSeparator) + 1)));
    writer_.add(realPath, upperName, size, modified, record);
}

} // namespace katalox::store
