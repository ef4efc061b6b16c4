#pragma once
// The statement object (Query1): a statement held as lines, run against the "Files" table
// file in its folder. Any change of the lines closes it. Results are read-only: records change
// only through statements run with execSQL().
#include "store/dataset/DataSet.h"

#include <memory>
#include <optional>

namespace katalox::store {

class Query : public DataSet {
    Q_OBJECT
public:
    explicit Query(QObject* parent = nullptr);
    ~Query() override;

    void setDatabaseName(const std::string& folder); // throws EngineError while open
    const std::string& databaseName() const { return databaseName_; }
    // The file the statements run against: "Files.db" in the query's folder. The database
    // name may instead be a server's URI (postgresql://...): the statements then run there, in
    // its dialect, each change in one transaction, and this is the URI.
    std::string filePath() const;

    // The statement lines; every change closes the query first.
    const std::vector<std::string>& sql() const { return sql_; }
    void clearSql();
    void addSql(const std::string& line);
    void setSql(std::vector<std::string> lines);

    // Runs the statement (a select) and keeps its result. `select * from Files ...` keeps only
    // the row ids and integer fields and reads text fields on demand, so a row deleted after
    // the open reads as NULL text. Throws EngineError with the engine's message, for a
    // statement that is not a select, or for a parameter (":name", "?") outside a constant.
    void open() override;
    void close() override;
    // Runs a statement that returns no rows (delete, update); closes the query first.
    void execSQL();

    // The sum over every record of the field's value in whole kilobytes (each value / 1024,
    // rounded down), computed by the server of a catalogue on a server; none on a file, where
    // reading the records is as quick, or when a record has no whole number there. Throws
    // EngineError when closed or for a field that does not exist.
    std::optional<std::int64_t> summedKilobytes(const std::string& fieldName) const;

    const std::vector<Field>& fields() const override;
    std::int64_t recordCount() const override;
    Value valueAt(std::int64_t row, int column) const override;

protected:
    Value currentValue(std::int64_t row, int column) const override;

private:
    struct State;
    std::string databaseName_;
    std::vector<std::string> sql_;
    std::unique_ptr<State> state_;
};

} // namespace katalox::store
