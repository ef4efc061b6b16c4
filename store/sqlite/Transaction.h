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

} // namespace katalox::store
