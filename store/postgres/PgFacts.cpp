#include "store/postgres/PgFacts.h"

#include "platform/Paths.h"
#include "platform/Utf8.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgDisks.h"
#include "store/postgres/PgInsert.h"
#include "store/postgres/PgText.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>

namespace katalox::store {

namespace {

std::string number(std::int64_t value) {
    return std::to_string(value);
}

// A list of whole numbers as an array literal, for unnest($n::bigint[]).
template <typename Field> std::string arrayOf(const std::vector<FolderGrowth>& rows, Field field) {
    std::string array = "{";
    for (const FolderGrowth& row : rows)
        array += (array.size() > 1 ? "," : "") + number(row.*field);
    return array + "}";
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

// The rows of `rows` (a relation with "Id" and whatever `columns` names) whose facts still
// apply, with the folder of their run.
std::string heldFactsSql(const std::string& table, const std::string& rows,
                         const std::string& columns) {
    return "SELECT g.\"Id\", x.\"Folder\" AS folder, " + columns + " FROM " + rows +
           " g CROSS JOIN LATERAL (SELECT \"First Record\", \"Records\", \"Folder\" FROM " +
           quoteIdentifier(serverFactsTable(table)) +
           " WHERE \"First Record\" <= g.\"Id\" ORDER BY \"First Record\" DESC LIMIT 1) x"
           " WHERE x.\"First Record\" + x.\"Records\" > g.\"Id\" AND NOT EXISTS (SELECT 1 FROM " +
           quoteIdentifier(serverDroppedTable(table)) + " d WHERE d.\"Record\" = g.\"Id\")";
}

// Drops the facts of the held rows that `moved` tells, and takes from their folders the files
// dropped and `bytes` (summed per folder).
std::string keepInStepSql(const std::string& table, const std::string& held,
                          const std::string& moved, const std::string& bytes) {
    return "WITH held AS (" + held + "), marked AS (INSERT INTO " +
           quoteIdentifier(serverDroppedTable(table)) + " SELECT \"Id\" FROM held WHERE " + moved +
           " ON CONFLICT DO NOTHING) UPDATE " + quoteIdentifier(serverFoldersTable(table)) +
           " f SET \"Files\" = f.\"Files\" - h.files, \"Bytes\" = f.\"Bytes\" - h.bytes FROM"
           " (SELECT folder, count(*) FILTER (WHERE " +
           moved + ") AS files, coalesce(sum(" + bytes +
           "), 0) AS bytes FROM held GROUP BY folder) h WHERE f.\"Id\" = h.folder";
}

// A trigger function `name` running `body`, and its trigger after each statement `event` on
// `table`, which sees the rows it changed as `transition` names them.
void createTrigger(PgConnection& db, const std::string& table, const std::string& name,
                   const std::string& event, const std::string& transition,
                   const std::string& body) {
    const std::string function = quoteIdentifier(table + " " + name);
    db.execute("CREATE FUNCTION " + function +
               "() RETURNS trigger LANGUAGE plpgsql AS $katalox$ BEGIN " + body +
               "; RETURN NULL; END $katalox$");
    db.execute("CREATE TRIGGER " + quoteIdentifier(table + " " + name) + " AFTER " + event +
               " ON " + quoteIdentifier(table) + " REFERENCING " + transition +
               " FOR EACH STATEMENT EXECUTE FUNCTION " + function + "()");
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

std::string serverFoldersTable(const std::string& table) {
    return table + " Disk Folders";
}

std::string serverFactsTable(const std::string& table) {
    return table + " File Facts";
}

std::string serverDroppedTable(const std::string& table) {
    return table + " Dropped Facts";
}

void createServerFactTables(PgConnection& db, const std::string& table) {
    const std::string folders = quoteIdentifier(serverFoldersTable(table));
    const std::string facts = quoteIdentifier(serverFactsTable(table));
    // "Files" and "Bytes" count only the files directly in the folder. A run covers the
    // records "First Record" to "First Record" + "Records" - 1.
    db.execute("CREATE TABLE " + folders +
               " (\"Id\" bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, \"Scan\" bigint,"
               " \"Parent\" bigint, \"Name\" text, \"Files\" bigint, \"Bytes\" bigint)");
    db.execute("CREATE INDEX " + quoteIdentifier(serverFoldersTable(table) + " Scan") + " ON " +
               folders + " (\"Scan\")");
    db.execute("CREATE TABLE " + facts +
               " (\"First Record\" bigint PRIMARY KEY, \"Records\" bigint, \"Folder\" bigint,"
               " \"Names\" bytea, \"Times\" bytea)");
    db.execute("CREATE INDEX " + quoteIdentifier(serverFactsTable(table) + " Folder") + " ON " +
               facts + " (\"Folder\")");
    db.execute("CREATE TABLE " + quoteIdentifier(serverDroppedTable(table)) +
               " (\"Record\" bigint PRIMARY KEY)");
    // A deleted record loses its facts and its folder the file; a record given another name
    // or path too; one given another size changes its folder's bytes.
    createTrigger(db, table, "Facts Deleted", "DELETE", "OLD TABLE AS gone",
                  keepInStepSql(table, heldFactsSql(table, "gone", "g.\"File Size\" AS size"),
                                "true", "coalesce(size, 0)"));
    const std::string changed =
        "(SELECT o.\"Id\", o.\"File Size\" AS before, n.\"File Size\" AS after,"
        " (o.\"File Name\" IS DISTINCT FROM n.\"File Name\" OR o.\"File Path\" IS DISTINCT FROM"
        " n.\"File Path\") AS moved FROM old_rows o JOIN new_rows n ON n.\"Id\" = o.\"Id\""
        " WHERE (o.\"File Name\", o.\"File Path\", o.\"File Size\") IS DISTINCT FROM"
        " (n.\"File Name\", n.\"File Path\", n.\"File Size\"))";
    createTrigger(
        db, table, "Facts Changed", "UPDATE", "OLD TABLE AS old_rows NEW TABLE AS new_rows",
        keepInStepSql(table, heldFactsSql(table, changed, "g.before, g.after, g.moved"), "moved",
                      "CASE WHEN moved THEN coalesce(before, 0) ELSE coalesce(before, "
                      "0) - coalesce(after, 0) END"));
}

std::string forgetServerDiskFactsStatement(const std::string& table) {
    return "WITH folders AS (DELETE FROM " + quoteIdentifier(serverFoldersTable(table)) +
           " WHERE \"Scan\" IN (SELECT \"Id\" FROM " + quoteIdentifier(serverDisksTable(table)) +
           " WHERE \"Disk ID\" = $1) RETURNING \"Id\"), runs AS (DELETE FROM " +
           quoteIdentifier(serverFactsTable(table)) +
           " WHERE \"Folder\" IN (SELECT \"Id\" FROM folders) RETURNING \"First Record\" AS"
           " first, \"First Record\" + \"Records\" AS past) DELETE FROM " +
           quoteIdentifier(serverDroppedTable(table)) +
           " d USING runs WHERE d.\"Record\" >= runs.first AND d.\"Record\" < runs.past";
}

std::string serverFactTablesList(const std::string& table) {
    return quoteIdentifier(serverFoldersTable(table)) + ", " +
           quoteIdentifier(serverFactsTable(table)) + ", " +
           quoteIdentifier(serverDroppedTable(table));
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
    db_.execute("UPDATE " + quoteIdentifier(serverFoldersTable(table_)) +
                    " f SET \"Files\" = f.\"Files\" + g.files, \"Bytes\" = f.\"Bytes\" + g.bytes"
                    " FROM unnest($1::bigint[], $2::bigint[], $3::bigint[]) AS g(id, files, bytes)"
                    " WHERE f.\"Id\" = g.id",
                {arrayOf(growths, &FolderGrowth::folder), arrayOf(growths, &FolderGrowth::files),
                 arrayOf(growths, &FolderGrowth::bytes)});
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
    insert.setBatchClosing([this, scanId](PgConnection&) { writer_.flush(scanId, 0); });
}

void ServerScanFacts::add(std::string_view realPath, std::int64_t record, std::int64_t size,
                          std::int64_t modified) {
    const std::string upperName = platform::upperCase(
        std::string(realPath.substr(realPath.rfind(platform::kPathSeparator) + 1)));
    writer_.add(realPath, upperName, size, modified, record);
}

} // namespace katalox::store
