#pragma once
// An in-memory data set for grid tests: rows of text, fields chosen per test, and a count
// that can be made to fail.
#include "platform/Error.h"
#include "store/dataset/DataSet.h"

#include <vector>

namespace katalox::test {

class FakeDataSet : public store::DataSet {
public:
    std::vector<store::Field> fieldList;
    std::vector<std::vector<std::string>> rows;
    bool failCount = false;
    mutable int countCalls = 0;
    mutable int valueCalls = 0;

    void open() override { setActive(true); }
    void close() override { setActive(false); }
    // Reopens with other fields, as a statement object does when its text changes.
    void reopen(std::vector<store::Field> fields, std::vector<std::vector<std::string>> data) {
        close();
        fieldList = std::move(fields);
        rows = std::move(data);
        open();
    }

    const std::vector<store::Field>& fields() const override {
        static const std::vector<store::Field> none;
        return active() ? fieldList : none;
    }
    std::int64_t recordCount() const override {
        requireOpen();
        ++countCalls;
        if (failCount)
            throw EngineError("count failed");
        return static_cast<std::int64_t>(rows.size());
    }
    store::Value valueAt(std::int64_t row, int column) const override {
        requireOpen();
        ++valueCalls;
        return store::Value(
            rows.at(static_cast<std::size_t>(row)).at(static_cast<std::size_t>(column)));
    }
};

} // namespace katalox::test
