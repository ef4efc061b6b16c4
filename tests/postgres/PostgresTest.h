#pragma once
// The fixture of the tests that run on the throwaway server ctest starts
// (tests/postgres/test-server.sh).
#include "common/TempDir.h"
#include "store/catalog/CatalogFile.h"
#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgConnection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace katalox::test {

using store::PgParameter;

// The URI of a database of its own for the test running, made anew on the test server; empty
// (with a failure) when no test server is given.
inline std::string freshTestDatabase() {
    const char* server = std::getenv("KATALOX_TEST_POSTGRES");
    if (!server || !*server) {
        ADD_FAILURE() << "KATALOX_TEST_POSTGRES is not set: run the tests with ctest, which "
                         "starts the test server first";
        return {};
    }
    const std::string base = server;
    const std::size_t name = base.find("/postgres?");
    if (name == std::string::npos) {
        ADD_FAILURE() << base;
        return {};
    }
    const std::string database =
        std::string("test_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    store::PgConnection admin(base);
    admin.execute("DROP DATABASE IF EXISTS \"" + database + "\"");
    admin.execute("CREATE DATABASE \"" + database + "\"");
    return base.substr(0, name + 1) + database + base.substr(name + 9);
}

// A database of its own for each test, made anew on the test server.
class PostgresTest : public ::testing::Test {
protected:
    void SetUp() override {
        uri = freshTestDatabase();
        ASSERT_FALSE(uri.empty());
    }

    std::vector<std::string> column(const std::string& sql,
                                    const std::vector<PgParameter>& parameters = {}) {
        store::PgConnection db(uri);
        const store::PgResult result = db.execute(sql, parameters);
        std::vector<std::string> values;
        for (int row = 0; row < result.rows(); ++row)
            values.push_back(result.text(row, 0));
        return values;
    }

    std::string uri;
};

// The same, with an empty catalogue in the database.
class PostgresCatalogueTest : public PostgresTest {
protected:
    void SetUp() override {
        PostgresTest::SetUp();
        if (!HasFatalFailure())
            store::initialiseCatalogue(uri);
    }
};

// The same beside an empty catalogue file, for tests that compare the two.
class ServerAndFileTest : public PostgresCatalogueTest {
protected:
    void SetUp() override {
        PostgresCatalogueTest::SetUp();
        if (!HasFatalFailure())
            store::createEmptyCatalog(catalogueFile);
    }

    TempDir dir;
    const std::string catalogueFile = dir.file("Files.db");
};

} // namespace katalox::test
