#pragma once
// The table cursor (Table1): one table file, records in storage order, insert and empty.
#include "store/dataset/DataSet.h"

#include <memory>

namespace katalox::store {

class ResultSet;

class Table : public DataSet {
    Q_OBJECT
public:
    explicit Table(QObject* parent = nullptr);
    ~Table() override;

    // Settings; each throws EngineError while the table is open.
    void setDatabaseName(const std::string& folder); // with or without a final separator
    void setTableName(const std::string& fileName);  // "Files.db" holds the table "Files"
    void setExclusive(bool exclusive);
    const std::string& databaseName() const { return databaseName_; }
    const std::string& tableName() const { return tableName_; }
    // The catalogue file: DatabaseName joined with TableName. A DatabaseName that is a server's
    // URI (postgresql://...) names the catalogue table on that server whose name is the stem
    // of TableName; the table then lists and empties, and records come to it by a scan's
    // insert (insert() and post() refuse), and this is the URI.
    std::string filePath() const;
    bool exclusive() const { return exclusive_; }

    // Opens DatabaseName joined with TableName; never creates a file. A missing folder, file or
    // table throws EngineError with the engine's message. Records come in storage (Id) order;
    // the cursor sees its own posts and what other data sets on the same file change.
    void open() override;
    void close() override;

    // Starts a new record; set its fields by name, then post() writes it (fields left unset
    // stay NULL; "Id" is the table's). Posted records are committed in batches; close(), any
    // other statement on the file and every read commit what is pending. A failing post
    // throws EngineError and keeps every record posted before it.
    void insert();
    void setFieldText(const std::string& fieldName, const std::string& text);
    void setFieldInteger(const std::string& fieldName, std::int64_t value);
    void post();
    // Commits the records posted so far. While another program holds the file this throws
    // EngineBusyError and the records stay pending, to be written as soon as it lets go.
    void flushPosted();
    // Records posted but not yet written to the file.
    std::size_t unwrittenCount() const;

    // Removes every record and nothing else (fields, index and the Id counter stay). Only while
    // closed and marked exclusive; fails at once with EngineError if another program holds the
    // file or another instance of this program has it open, and then changes nothing.
    void emptyTable();

    const std::vector<Field>& fields() const override;
    std::int64_t recordCount() const override;
    Value valueAt(std::int64_t row, int column) const override;

private:
    void setField(const std::string& fieldName, Value value);

    void requireFileState() const;

    struct State;
    std::string databaseName_;
    std::string tableName_;
    bool exclusive_ = false;
    std::unique_ptr<State> state_;
    // The records of a table on a server, while open.
    std::unique_ptr<ResultSet> serverRows_;
};

} // namespace katalox::store
