#pragma once
// What the table cursor and the statement object have in common: open or closed, a list of
// fields, an exact record count, a current record chosen by number, and on-demand reading of
// any record for a grid. Results are never copied whole into memory.
#include "store/sqlite/Value.h"

#include <QObject>

#include <cstdint>
#include <string>
#include <vector>

namespace katalox::store {

class DataSet : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~DataSet() override = default;

    bool active() const { return active_; }
    virtual void open() = 0;
    virtual void close() = 0;

    // The fields of the open result; empty while closed.
    virtual const std::vector<Field>& fields() const = 0;
    // Exact number of records. Throws EngineError when closed.
    virtual std::int64_t recordCount() const = 0;

    // Current record, numbered from 1 to recordCount(); opening moves to the first record (0
    // for none). Throws EngineError when closed or out of range.
    void setRecNo(std::int64_t recNo);
    std::int64_t recNo() const { return recNo_; }
    // A field of the current record (NULL when there are no records). Throws EngineError
    // "Field '<name>' not found", or when closed.
    Value fieldByName(const std::string& name) const;

    // Any record by 0-based row and column, for grids; does not move the current record.
    virtual Value valueAt(std::int64_t row, int column) const = 0;

signals:
    // Emitted after the data set opens or closes (a grid rebuilds its columns then).
    void stateChanged();
    // Emitted when records were written to the file while the data set stayed open, and it
    // shows them (a grid counts its rows again then).
    void recordsChanged();

protected:
    // Marks the data set open, with its first record current (none when it has no records), or
    // closed.
    void setActive(bool active, std::int64_t recordCount = 0);
    // Makes a record current without checking it (a record just added).
    void moveToRecord(std::int64_t recNo) { recNo_ = recNo; }
    // A field of the current record, by 0-based row and column both within range: the fast
    // read behind fieldByName(), which loops call once per record.
    virtual Value currentValue(std::int64_t row, int column) const { return valueAt(row, column); }

    // Throws EngineError when the data set is open: settings change only while closed.
    void requireClosed(const char* what) const;
    void requireOpen() const {
        if (!active_)
            refuseClosed();
    }
    // Index of the field named `name` (letter case ignored); throws "Field '<name>' not found".
    int requireField(const std::string& name) const;
    // Throws EngineError unless 1 <= recNo <= count.
    static void requireRecNo(std::int64_t recNo, std::int64_t count) {
        if (recNo < 1 || recNo > count)
            refuseRecNo(recNo, count);
    }

private:
    [[noreturn]] static void refuseClosed();
    [[noreturn]] static void refuseRecNo(std::int64_t recNo, std::int64_t count);

    bool active_ = false;
    std::int64_t recNo_ = 0;
    // Loops read the same field of every record; remember the last lookup.
    mutable std::string lastFieldName_;
    mutable int lastFieldIndex_ = -1;
};

} // namespace katalox::store
