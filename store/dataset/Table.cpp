#include "store/dataset/Table.h"

#include "platform/Error.h"
#include "platform/Paths.h"
#include "store/catalog/CatalogFile.h"
#include "store/dataset/RowIndex.h"
#include "store/dataset/RowReader.h"
#include "store/dataset/ServerListing.h"
#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/ServerCatalogue.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <functional>

namespace katalox::store {

namespace {

const std::vector<Field> noFields;

// INSERT of the assigned fields, one parameter each.
std::string insertStatement(const std::string& table, const std::vector<Field>& fields,
                            const std::vector<bool>& assigned) {
    std::string columns;
    std::string marks;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (!assigned[i])
            continue;
        columns += (marks.empty() ? "" : ", ") + quoteIdentifier(fields[i].name);
        marks += marks.empty() ? "?" : ", ?";
    }
    return "INSERT INTO " + quoteIdentifier(table) +
           (marks.empty() ? " DEFAULT VALUES" : " (" + columns + ") VALUES (" + marks + ")");
}

} // namespace

struct Table::State {
    State(std::shared_ptr<Database> database, const std::string& table,
          std::function<void()> onChanges)
        : db(std::move(database)), name(table), reader(db, table), index(db, table),
          knownChanges(db->changeCount()), watch(db->watchChanges(std::move(onChanges))) {}
    ~State() { db->unwatchChanges(watch); }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    // Recounts when something else on the connection wrote since we last looked.
    void refresh() {
        if (db->changeCount() != knownChanges) {
            index.reload();
            knownChanges = db->changeCount();
        }
    }

    std::shared_ptr<Database> db;
    std::string name;
    RowReader reader;
    RowIndex index;
    std::int64_t knownChanges;
    // Records written through the connection by others (the catalogue service inserting a
    // scan) are announced, so that a grid showing the table counts again.
    std::int64_t watch;
    bool inserting = false;
    std::vector<Value> buffer;
    std::vector<bool> assigned;
    // The insert statement of the last post and the fields it set: a run of posts setting
    // the same fields builds it once.
    std::vector<bool> insertFields;
    std::string insertSql;
};

Table::Table(QObject* parent) : DataSet(parent) {}

Table::~Table() {
    // No signal from a half-destroyed object: only write what is pending.
    if (!state_)
        return;
    try {
        state_->db->commitPending();
    } catch (const Error&) {
        // Nobody is left to tell; records a busy file refused stay pending with their
        // connection, to be written later.
    }
}

void Table::setDatabaseName(const std::string& folder) {
    requireClosed("the database name");
    databaseName_ = folder;
}

void Table::setTableName(const std::string& fileName) {
    requireClosed("the table name");
    tableName_ = fileName;
}

void Table::setExclusive(bool exclusive) {
    requireClosed("the exclusive flag");
    exclusive_ = exclusive;
}

std::string Table::filePath() const {
    if (isServerUri(databaseName_))
        return databaseName_;
    return platform::joinPath(databaseName_, tableName_);
}

void Table::open() {
    if (active())
        return;
    const std::string table = tableNameOf(tableName_);
    if (isServerUri(databaseName_)) {
        // A catalogue of an older layout, or none, is told with what brings it up to date.
        const std::shared_ptr<PgConnection> db = serverConnection(databaseName_);
        checkCatalogue(*db, databaseName_, table);
        serverRows_ = std::make_unique<ServerListing>(db, table, std::string());
        setActive(true, serverRows_->count());
        return;
    }
    state_ = std::make_unique<State>(openCatalogFile(filePath()), table,
                                     [this] { emit recordsChanged(); });
    setActive(true, state_->index.count());
}

void Table::close() {
    if (serverRows_) {
        serverRows_.reset();
        setActive(false);
    }
    if (!state_)
        return;
    std::unique_ptr<State> closing = std::move(state_);
    setActive(false);
    try {
        closing->db->commitPending(); // may throw; the table is closed either way
    } catch (const EngineBusyError&) {
        // The records stay pending and are written once the other program lets go.
    }
}

void Table::requireFileState() const {
    requireOpen();
    if (!state_)
        throw EngineError("Records are added to a catalogue on a server by a scan's insert");
}

void Table::insert() {
    requireFileState();
    state_->inserting = true;
    state_->buffer.assign(state_->reader.fields().size(), Value());
    state_->assigned.assign(state_->reader.fields().size(), false);
}

void Table::setFieldText(const std::string& fieldName, const std::string& text) {
    setField(fieldName, Value(text));
}

void Table::setFieldInteger(const std::string& fieldName, std::int64_t value) {
    setField(fieldName, Value(value));
}

void Table::setField(const std::string& fieldName, Value value) {
    requireFileState();
    const int field = requireField(fieldName);
    if (!state_->inserting)
        throw EngineError("Dataset not in edit or insert mode");
    state_->buffer[static_cast<std::size_t>(field)] = std::move(value);
    state_->assigned[static_cast<std::size_t>(field)] = true;
}

void Table::post() {
    requireFileState();
    State& state = *state_;
    if (!state.inserting)
        throw EngineError("Dataset not in edit or insert mode");
    state.inserting = false;
    if (state.insertSql.empty() || state.insertFields != state.assigned) {
        state.insertSql = insertStatement(state.name, state.reader.fields(), state.assigned);
        state.insertFields = state.assigned;
    }
    std::vector<Value> values;
    values.reserve(state.buffer.size());
    for (std::size_t i = 0; i < state.buffer.size(); ++i) {
        if (state.assigned[i])
            values.push_back(std::move(state.buffer[i]));
    }
    state.refresh();
    const int rowIdField = state.reader.rowIdField();
    const bool rowIdGiven = rowIdField >= 0 && state.assigned[static_cast<std::size_t>(rowIdField)];
    const std::int64_t rowId = state.db->insertRow(state.insertSql, std::move(values), rowIdGiven);
    state.index.append(rowId);
    state.knownChanges = state.db->changeCount();
    moveToRecord(state.index.count());
}

void Table::flushPosted() {
    if (state_)
        state_->db->commitPending();
}

void Table::emptyTable() {
    if (active())
        throw EngineError("Cannot perform this operation on an open dataset");
    if (!exclusive_)
        throw EngineError("Cannot empty the table: it is not opened for exclusive use");
    if (isServerUri(databaseName_)) {
        emptyServerTable(databaseName_, tableNameOf(tableName_));
        return;
    }
    emptyCatalogFile(filePath(), tableNameOf(tableName_));
}

std::size_t Table::unwrittenCount() const {
    return state_ ? state_->db->pendingCount() : 0;
}

const std::vector<Field>& Table::fields() const {
    if (serverRows_)
        return serverRows_->fields();
    return state_ ? state_->reader.fields() : noFields;
}

std::int64_t Table::recordCount() const {
    requireOpen();
    if (serverRows_)
        return serverRows_->count();
    state_->refresh();
    return state_->index.count();
}

Value Table::valueAt(std::int64_t row, int column) const {
    if (serverRows_)
        return row >= 0 && row < serverRows_->count() && column >= 0 &&
                       column < static_cast<int>(serverRows_->fields().size())
                   ? serverRows_->value(row, column)
                   : Value();
    if (!state_)
        return Value();
    state_->refresh();
    if (row < 0 || row >= state_->index.count() || column < 0 ||
        column >= static_cast<int>(state_->reader.fields().size()))
        return Value();
    return state_->reader.row(state_->index.rowIdAt(row))[static_cast<std::size_t>(column)];
}

} // namespace katalox::store
