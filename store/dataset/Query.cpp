#include "store/dataset/Query.h"

#include "platform/Error.h"
#include "platform/Paths.h"
#include "store/catalog/CatalogFile.h"
#include "store/dataset/KeyedResult.h"
#include "store/dataset/MaterialResult.h"
#include "store/dataset/ServerStatements.h"
#include "store/dialect/StatementSyntax.h"
#include "store/postgres/ServerCatalogue.h"
#include "store/search/EveryRecord.h"
#include "store/search/ListingPlanner.h"
#include "store/sqlite/Database.h"

namespace katalox::store {

namespace {

const std::vector<Field> noFields;

// Statements name the table Files, which lives in Files.db in the query's folder.
const char* const kStatementTableFile = "Files.db";

std::unique_ptr<ResultSet> runWholeRows(const std::shared_ptr<Database>& db,
                                        const WholeRowSelect& whole) {
    const ListingPlan plan = planListing(*db, whole);
    try {
        if (plan.blocks)
            return std::make_unique<KeyedResult>(db, whole.table, *plan.scanConditions,
                                                 std::move(*plan.blocks));
        if (plan.indexUsed)
            return std::make_unique<KeyedResult>(db, whole.table, plan.clauses, plan.parameters);
        // A result small enough to keep whole is read in one pass, which keeps its sizes at
        // hand for totals; a larger one is described without reading it.
        if (plan.everyRecord) {
            auto blocks =
                everyRecordBlocks(*db, whole.table, *plan.scanConditions, KeyedResult::blockRows);
            if (blocks && blocks->count > std::int64_t{KeyedResult::defaultKeptWhole})
                return std::make_unique<KeyedResult>(db, whole.table, *plan.scanConditions,
                                                     std::move(*blocks));
        }
        return std::make_unique<KeyedResult>(db, whole.table, whole.rest, std::vector<Value>{},
                                             plan.scanConditions);
    } catch (const EngineError&) {
        // The statement as written below gives the same rows, or the engine's message.
    }
    try {
        return std::make_unique<KeyedResult>(db, whole.table, whole.rest);
    } catch (const EngineError&) {
        // Not a plain table (a view, say): the caller runs the statement as written, which
        // also gives the engine's own message for a statement it refuses.
        return nullptr;
    }
}

std::unique_ptr<ResultSet> runSelect(const std::shared_ptr<Database>& db,
                                     const StatementSyntax& syntax) {
    if (syntax.distinct) {
        if (auto result = MaterialResult::distinctByIndex(*db, *syntax.distinct))
            return result;
    }
    if (syntax.wholeRows) {
        if (auto result = runWholeRows(db, *syntax.wholeRows))
            return result;
    }
    Statement statement = db->prepare(syntax.sqlite);
    statement.refuseParameters();
    if (statement.columnCount() == 0 || !statement.readOnly())
        throw EngineError("The statement returns no records; it can only be executed");
    return std::make_unique<MaterialResult>(statement);
}

} // namespace

struct Query::State {
    std::shared_ptr<Database> db;
    std::unique_ptr<ResultSet> result;
};

Query::Query(QObject* parent) : DataSet(parent) {}

Query::~Query() = default;

void Query::setDatabaseName(const std::string& folder) {
    requireClosed("the database name");
    databaseName_ = folder;
}

std::string Query::filePath() const {
    if (isServerUri(databaseName_))
        return databaseName_;
    return platform::joinPath(databaseName_, kStatementTableFile);
}

void Query::clearSql() {
    close();
    sql_.clear();
}

void Query::addSql(const std::string& line) {
    close();
    sql_.push_back(line);
}

void Query::setSql(std::vector<std::string> lines) {
    close();
    sql_ = std::move(lines);
}

void Query::open() {
    if (active())
        return;
    const StatementSyntax syntax = parseStatement(sql_);
    auto state = std::make_unique<State>();
    if (isServerUri(databaseName_)) {
        state->result = openServerSelect(databaseName_, syntax);
    } else {
        state->db = openCatalogFile(filePath());
        state->db->tidy();
        state->result = runSelect(state->db, syntax);
    }
    state_ = std::move(state);
    setActive(true, state_->result->count());
}

void Query::close() {
    if (!state_)
        return;
    state_.reset();
    setActive(false);
}

void Query::execSQL() {
    close();
    const StatementSyntax syntax = parseStatement(sql_);
    if (isServerUri(databaseName_)) {
        runServerChange(databaseName_, syntax.server);
        return;
    }
    const std::string& sql = syntax.sqlite;
    std::shared_ptr<Database> db = openCatalogFile(filePath());
    Statement statement = db->prepare(sql);
    statement.refuseParameters();
    while (statement.step()) {
    }
    db->noteChanges();
}

const std::vector<Field>& Query::fields() const {
    return state_ ? state_->result->fields() : noFields;
}

std::optional<std::int64_t> Query::summedKilobytes(const std::string& fieldName) const {
    requireOpen();
    return state_->result->summedKilobytes(requireField(fieldName));
}

std::int64_t Query::recordCount() const {
    requireOpen();
    return state_->result->count();
}

Value Query::currentValue(std::int64_t row, int column) const {
    return state_->result->value(row, column);
}

Value Query::valueAt(std::int64_t row, int column) const {
    if (!state_ || row < 0 || row >= state_->result->count() || column < 0 ||
        column >= static_cast<int>(state_->result->fields().size()))
        return Value();
    return state_->result->value(row, column);
}

} // namespace katalox::store
