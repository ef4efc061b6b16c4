#pragma once
// A fresh empty catalogue in a temporary folder, with helpers to fill and inspect it.
#include "common/OtherProgram.h"
#include "common/TempDir.h"
#include "scanner/FileWalk.h"
#include "store/catalog/CatalogFile.h"
#include "store/dataset/Query.h"
#include "store/dataset/Table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace katalox::test {

struct Record {
    std::string name;
    std::string path;
    std::string diskId;
    std::int64_t size = 0;
};

// What a scan with these rules lists, in order.
inline std::vector<std::string> listedFiles(const scanner::WalkRules& rules) {
    std::vector<std::string> paths;
    const bool stopped = false;
    scanner::walkMatchingFiles(
        rules, [&](const std::string& path, std::uint64_t, std::int64_t) { paths.push_back(path); },
        stopped);
    return paths;
}

// Adds one record through an open table cursor.
inline void postRecord(store::Table& table, const Record& record) {
    table.insert();
    table.setFieldText("File Name", record.name);
    table.setFieldText("File Path", record.path);
    table.setFieldText("Disk ID", record.diskId);
    table.setFieldInteger("File Size", record.size);
    table.post();
}

class CatalogFixture : public ::testing::Test {
protected:
    CatalogFixture() {
        store::createEmptyCatalog(dir.file("Files.db"));
        table.setDatabaseName(dir.path());
        table.setTableName("Files.db");
        query.setDatabaseName(dir.path() + "/");
    }

    void post(const Record& record) { postRecord(table, record); }

    void insertAll(const std::vector<Record>& records) {
        table.close();
        table.open();
        for (const auto& record : records)
            post(record);
        table.close();
    }

    void runQuery(const std::vector<std::string>& lines) {
        query.setSql(lines);
        query.open();
    }

    // One column of the open query, record by record, read by field name.
    std::vector<std::string> column(const std::string& field) {
        std::vector<std::string> values;
        for (std::int64_t i = 1; i <= query.recordCount(); ++i) {
            query.setRecNo(i);
            values.push_back(query.fieldByName(field).asString());
        }
        return values;
    }

    // Runs `sql` on a connection of its own, as another program would; its first number.
    std::int64_t countOutside(const std::string& sql = "SELECT count(*) FROM Files") {
        return OtherProgram(dir.file("Files.db")).number(sql);
    }

    TempDir dir;
    store::Table table;
    store::Query query;
};

} // namespace katalox::test
