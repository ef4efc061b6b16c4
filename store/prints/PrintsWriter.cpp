#include "store/prints/PrintsWriter.h"

#include "store/prints/PrintTables.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <algorithm>
#include <limits>

namespace katalox::store {

namespace {

const std::string kRuns = quoteIdentifier(kPrintRunsTable);
const std::string kPrints = quoteIdentifier(kFilePrintsTable);
const std::string kGroups = quoteIdentifier(kCopyGroupsTable);

} // namespace

void PrintsWriter::add(std::int64_t record, const ContentPrint& print, std::int64_t size) {
    prints_.push_back({record, print, size});
}

void PrintsWriter::indexAll() {
    // In key order the index grows page after page; each print shared by two records or more
    // has its group counted once for the whole batch, however many copies came.
    std::sort(prints_.begin(), prints_.end(), [](const Entry& a, const Entry& b) {
        return a.print.key() < b.print.key() ||
               (a.print.key() == b.print.key() && a.record < b.record);
    });
    Statement index = db_.prepareInBatch("INSERT OR IGNORE INTO " + kPrints + " VALUES (?1, ?2)");
    Statement group = db_.prepareInBatch(
        "INSERT INTO " + kGroups +
        " SELECT ?1, \"Copies\", ?2 FROM (SELECT count(*) AS \"Copies\" FROM " + kPrints +
        " WHERE \"Print\" = ?1) WHERE \"Copies\" > 1 ON CONFLICT (\"Print\") DO UPDATE SET " +
        "\"Copies\" = excluded.\"Copies\"");
    for (std::size_t i = 0; i < prints_.size(); ++i) {
        const Entry& entry = prints_[i];
        if (!entry.print.known())
            continue;
        index.reset();
        index.bindBlob(1, entry.print.key());
        index.bindInteger(2, entry.record);
        index.step();
        if (i + 1 < prints_.size() && prints_[i + 1].print.key() == entry.print.key())
            continue;
        group.reset();
        group.bindBlob(1, entry.print.key());
        group.bindInteger(2, entry.size);
        group.step();
    }
}

void PrintsWriter::writeRun(std::size_t from, std::size_t to) {
    std::string packed;
    const std::int64_t first = prints_[from].record;
    const std::int64_t count = prints_[to - 1].record - first + 1;
    packed.resize(static_cast<std::size_t>(count) * 16, '\0');
    for (std::size_t i = from; i < to; ++i) {
        const auto at = static_cast<std::size_t>(prints_[i].record - first) * 16;
        std::copy_n(prints_[i].print.all().data(), 16, packed.begin() + static_cast<long>(at));
    }
    Statement insert =
        db_.prepareInBatch("INSERT OR REPLACE INTO " + kRuns + " VALUES (?1, ?2, ?3)");
    insert.bindInteger(1, first);
    insert.bindInteger(2, count);
    insert.bindBlob(3, packed);
    insert.step();
}

void PrintsWriter::replaceInRun(const Entry& entry) {
    // The index row of the print it had goes first.
    Statement unindex = db_.prepareInBatch("DELETE FROM " + kPrints + " WHERE \"Print\" = substr(" +
                                           runPrintSql("?1") + ", 1, 8) AND \"Record\" = ?1");
    unindex.bindInteger(1, entry.record);
    unindex.step();
    const std::string offset = "(?1 - \"First Record\") * 16";
    Statement replace = db_.prepareInBatch(
        "UPDATE " + kRuns + " SET \"Prints\" = CAST(substr(\"Prints\", 1, " + offset +
        ") || ?2 || substr(\"Prints\", " + offset + " + 17) AS BLOB) WHERE \"First Record\" = " +
        "(SELECT max(\"First Record\") FROM " + kRuns + " WHERE \"First Record\" <= ?1)");
    replace.bindInteger(1, entry.record);
    replace.bindBlob(2, entry.print.all());
    replace.step();
}

void PrintsWriter::flush() {
    if (prints_.empty())
        return;
    std::sort(prints_.begin(), prints_.end(),
              [](const Entry& a, const Entry& b) { return a.record < b.record; });
    Statement holder =
        db_.prepareInBatch("SELECT \"First Record\" + \"Records\" FROM " + kRuns +
                           " WHERE \"First Record\" = (SELECT max(\"First Record\") FROM " + kRuns +
                           " WHERE \"First Record\" <= ?1)");
    Statement nextRun = db_.prepareInBatch("SELECT min(\"First Record\") FROM " + kRuns +
                                           " WHERE \"First Record\" > ?1");
    const auto integerOf = [](Statement& statement, std::int64_t record, std::int64_t none) {
        statement.reset();
        statement.bindInteger(1, record);
        const Value value = statement.step() ? statement.columnValue(0) : Value();
        statement.reset();
        return value.isNull() ? none : value.asInteger();
    };
    for (std::size_t from = 0; from < prints_.size();) {
        const std::int64_t first = prints_[from].record;
        if (integerOf(holder, first, first) > first) {
            replaceInRun(prints_[from++]);
            continue;
        }
        // Consecutive records not yet in a run, as many as one run holds.
        const std::int64_t nextStart =
            integerOf(nextRun, first, std::numeric_limits<std::int64_t>::max());
        std::size_t to = from + 1;
        while (to < prints_.size() && prints_[to].record == prints_[to - 1].record + 1 &&
               prints_[to].record - first < kPrintsPerRun && prints_[to].record < nextStart)
            ++to;
        writeRun(from, to);
        from = to;
    }
    indexAll();
    prints_.clear();
}

} // namespace katalox::store
