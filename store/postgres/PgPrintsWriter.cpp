#include "store/postgres/PgPrintsWriter.h"

#include "store/postgres/PgConnection.h"
#include "store/postgres/PgPrints.h"
#include "store/sqlite/SqlText.h"

namespace katalox::store {

PgPrintsWriter::PgPrintsWriter(PgConnection& db, const std::string& table) : db_(db) {
    const ServerPrintTables t = serverPrintTables(table);
    const std::string prints = quoteIdentifier(t.prints);
    copy_ = "COPY " + prints + " (\"Record\", \"Key\", \"Print\") FROM STDIN";
    // Held to the commit: two inserts writing copies of one file at once would each count only
    // its own, the other's not committed yet. The count that waits sees the other's rows.
    lockGroups_ = "SELECT pg_advisory_xact_lock(751639543, " +
                  quoted(quoteIdentifier(t.groups), '\'') + "::regclass::oid::integer)";
    // A group takes the size of its newest record when it is first counted, as a catalogue
    // file's does; its members of another size share the key by chance and are told apart
    // when read.
    countGroups_ = "INSERT INTO " + quoteIdentifier(t.groups) +
                   " SELECT p.\"Key\", count(*), (array_agg(f.\"File Size\" ORDER BY p.\"Record\" "
                   "DESC))[1] FROM " +
                   prints + " p JOIN " + quoteIdentifier(table) +
                   " f ON f.\"Id\" = p.\"Record\" WHERE p.\"Key\" IN (SELECT \"Key\" FROM " +
                   prints +
                   " WHERE \"Record\" = ANY ($1::bigint[])) GROUP BY p.\"Key\" HAVING count(*) > "
                   "1 ON CONFLICT (\"Key\") DO UPDATE SET \"Copies\" = excluded.\"Copies\"";
}

void PgPrintsWriter::add(std::int64_t record, const ContentPrint& print, std::int64_t) {
    if (!print.known())
        return; // a record without a print has no row
    // bytea's text form inside COPY's, whose own backslash is doubled.
    rows_ += std::to_string(record);
    rows_ += "\t\\";
    rows_ += byteaText(print.key());
    rows_ += "\t\\";
    rows_ += byteaText(print.all());
    rows_ += '\n';
    records_ += records_.empty() ? "{" : ",";
    records_ += std::to_string(record);
}

void PgPrintsWriter::flush() {
    if (rows_.empty())
        return;
    db_.startCopy(copy_);
    db_.sendCopyData(rows_);
    db_.endCopy();
    db_.execute(lockGroups_);
    db_.execute(countGroups_, {records_ + "}"});
    rows_.clear();
    records_.clear();
}

} // namespace katalox::store
