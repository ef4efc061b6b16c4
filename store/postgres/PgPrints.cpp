#include "store/postgres/PgPrints.h"

#include "platform/Error.h"
#include "store/postgres/PgConnection.h"
#include "store/sqlite/SqlText.h"

namespace katalox::store {

namespace {

// The body of a trigger function that forgets what is kept of the records `records` selects
// ("Id"), and counts again the groups of the prints that went.
std::string forgetBody(const ServerPrintTables& t, const std::string& records) {
    const std::string prints = quoteIdentifier(t.prints);
    const std::string groups = quoteIdentifier(t.groups);
    return "DECLARE keys bytea[]; BEGIN "
           "WITH dropped AS (DELETE FROM " +
           prints + " p USING (" + records +
           ") r WHERE p.\"Record\" = r.\"Id\" RETURNING p.\"Key\") "
           "SELECT array_agg(DISTINCT \"Key\") INTO keys FROM dropped; "
           "DELETE FROM " +
           quoteIdentifier(t.verified) + " v USING (" + records +
           ") r WHERE v.\"Record\" = r.\"Id\"; DELETE FROM " + quoteIdentifier(t.findings) +
           " v USING (" + records +
           ") r WHERE v.\"Record\" = r.\"Id\"; "
           "IF keys IS NOT NULL THEN UPDATE " +
           groups + " g SET \"Copies\" = (SELECT count(*) FROM " + prints +
           " p WHERE p.\"Key\" = g.\"Key\") WHERE g.\"Key\" = ANY (keys); DELETE FROM " + groups +
           " WHERE \"Key\" = ANY (keys) AND \"Copies\" < 2; END IF; RETURN NULL; END";
}

std::string dollarQuoted(const std::string& body) {
    return "$katalox$" + body + "$katalox$";
}

} // namespace

ServerPrintTables serverPrintTables(const std::string& table) {
    return {table + " Prints", table + " Copy Groups", table + " Verified Files",
            table + " Verify Findings", table + " Disk Checks"};
}

void createServerPrintTables(PgConnection& db, const std::string& table) {
    const ServerPrintTables t = serverPrintTables(table);
    const std::string groups = quoteIdentifier(t.groups);
    db.execute(
        "CREATE TABLE " + quoteIdentifier(t.prints) +
        " (\"Record\" bigint PRIMARY KEY, \"Key\" bytea NOT NULL, \"Print\" bytea NOT NULL)");
    db.execute("CREATE INDEX " + quoteIdentifier(t.prints + " Key") + " ON " +
               quoteIdentifier(t.prints) + " (\"Key\")");
    db.execute("CREATE TABLE " + groups +
               " (\"Key\" bytea PRIMARY KEY, \"Copies\" bigint NOT NULL, \"Size\" bigint)");
    // Gives the groups most wasteful first without sorting them all.
    db.execute("CREATE INDEX " + quoteIdentifier(t.groups + " Waste") + " ON " + groups +
               " ((\"Size\" * (\"Copies\" - 1)), \"Key\")");
    db.execute("CREATE TABLE " + quoteIdentifier(t.verified) +
               " (\"Record\" bigint PRIMARY KEY, \"Hash\" bytea, \"Checked\" bigint)");
    db.execute("CREATE TABLE " + quoteIdentifier(t.findings) +
               " (\"Record\" bigint PRIMARY KEY, \"Finding\" integer, \"Checked\" bigint)");
    db.execute("CREATE TABLE " + quoteIdentifier(t.checks) +
               " (\"Disk ID\" text PRIMARY KEY, \"Started\" bigint, \"Finished\" bigint, "
               "\"Files\" bigint, \"Changed\" bigint, \"Gone\" bigint, \"Unreadable\" bigint, "
               "\"Protected Bytes\" bigint, \"Known Bytes\" bigint)");
    // Statement triggers see every row a statement deleted or changed at once, so deleting a
    // disk of a million records recounts each group it touched once.
    const std::string deleted = quoteIdentifier(table + " prints deleted");
    const std::string changed = quoteIdentifier(table + " prints changed");
    db.execute("CREATE FUNCTION " + deleted + "() RETURNS trigger LANGUAGE plpgsql AS " +
               dollarQuoted(forgetBody(t, "SELECT \"Id\" FROM gone")));
    db.execute("CREATE FUNCTION " + changed + "() RETURNS trigger LANGUAGE plpgsql AS " +
               dollarQuoted(forgetBody(
                   t, "SELECT o.\"Id\" FROM gone o JOIN now n ON n.\"Id\" = o.\"Id\" WHERE "
                      "o.\"File Name\" IS DISTINCT FROM n.\"File Name\" OR o.\"File Path\" IS "
                      "DISTINCT FROM n.\"File Path\" OR o.\"File Size\" IS DISTINCT FROM n.\"File "
                      "Size\"")));
    const std::string on = " ON " + quoteIdentifier(table);
    db.execute("CREATE TRIGGER " + deleted + " AFTER DELETE" + on +
               " REFERENCING OLD TABLE AS gone FOR EACH STATEMENT EXECUTE FUNCTION " + deleted +
               "()");
    db.execute("CREATE TRIGGER " + changed + " AFTER UPDATE" + on +
               " REFERENCING OLD TABLE AS gone NEW TABLE AS now FOR EACH STATEMENT EXECUTE "
               "FUNCTION " +
               changed + "()");
}

std::vector<std::string> forgetServerDiskChecksStatements(const std::string& table) {
    return {"DELETE FROM " + quoteIdentifier(serverPrintTables(table).checks) +
            " WHERE \"Disk ID\" = $1"};
}

std::vector<std::string> renameServerDiskChecksStatements(const std::string& table) {
    const std::string checks = quoteIdentifier(serverPrintTables(table).checks);
    return {"DELETE FROM " + checks +
                " WHERE $1::text <> $2::text AND (\"Disk ID\" = $2 OR (\"Disk ID\" = "
                "$1 AND EXISTS (SELECT 1 FROM " +
                quoteIdentifier(table) + " WHERE \"Disk ID\" = $2)))",
            "UPDATE " + checks +
                " SET \"Disk ID\" = $2 WHERE $1::text <> $2::text AND \"Disk ID\" = $1"};
}

std::string byteaText(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text = "\\x";
    text.reserve(2 + bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

std::string bytesOfBytea(std::string_view text) {
    if (!text.starts_with("\\x"))
        throw EngineError("The server sent bytes in a form this program does not read");
    const auto digit = [](char c) {
        return static_cast<unsigned>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    };
    std::string bytes;
    bytes.reserve((text.size() - 2) / 2);
    for (std::size_t i = 2; i + 1 < text.size(); i += 2)
        bytes += static_cast<char>(digit(text[i]) << 4 | digit(text[i + 1]));
    return bytes;
}

} // namespace katalox::store
