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

} // namespace

void PrintsWriter::add(std::int64_t record, const ContentPrint& print) {
    prints_.push_back({record, print});
}

void PrintsWriter::index(const Entry& entry) {
    if (!entry.print.known())
        return;
    if (!index_)
        index_ = std::make_unique<Statement>(
            db_.prepareInBatch("INSERT OR IGNORE INTO " + kPrints + " VALUES (?1, ?2)"));
    index_->reset();
    index_->bindBlob(1, entry.print.key());
    index_->bindInteger(2, entry.record);
    index_->step();
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
    for (std::size_t i = from; i < to; ++i)
        index(prints_[i]);
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
    index(entry);
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
    prints_.clear();
}

} // namespace katalox::store
