#pragma once
// One transaction on a catalogue connection: begun when made, undone when left without
// commit(), so a failure or an exception leaves the file as it was before.
#include "store/sqlite/Database.h"

namespace katalox::store {

class Transaction {
public:
    // Writes the records posted before it, then takes the write lock at once, so a busy
    // catalogue fails here rather than half-way.
    explicit Transaction(Database& db) : db_(db) {
        db_.commitPending();
        db_.execute("BEGIN IMMEDIATE");
    }
    ~Transaction() {
        if (!committed_)
            db_.rollbackOpenTransaction();
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit() {
        db_.execute("COMMIT");
        committed_ = true;
    }

private:
    Database& db_;
    bool committed_ = false;
};

// Reads of several statements under one shared lock, taken at the first read: they see one
// state of the file, and the engine checks the file's state once instead of for each.
class ReadSnapshot {
public:
    explicit ReadSnapshot(Database& db) : db_(db) { db_.execute("BEGIN"); }
    ~ReadSnapshot() { db_.rollbackOpenTransaction(); }
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

private:
    Database& db_;
};

} // namespace katalox::store
