#pragma once
// Databases of their own on the PostgreSQL server that scripts/with-bench-server.sh starts for
// the benchmarks, and names by KATALOX_BENCH_POSTGRES.
#include "store/postgres/PgConnection.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace katalox::bench {

// The server's URI, or empty when there is none.
inline std::string benchServer() {
    const char* server = std::getenv("KATALOX_BENCH_POSTGRES");
    return server ? server : "";
}

// The URI of the database `name`, made anew (empty) on the benchmark server. Throws when there
// is no server or its URI does not name the database postgres.
inline std::string freshDatabase(const std::string& name) {
    const std::string base = benchServer();
    if (base.empty())
        throw std::runtime_error("KATALOX_BENCH_POSTGRES names no server: run the benchmarks "
                                 "with scripts/run-benchmarks.sh, which starts one");
    const std::size_t database = base.find("/postgres?");
    if (database == std::string::npos)
        throw std::runtime_error("KATALOX_BENCH_POSTGRES is not of the form "
                                 "postgresql:///postgres?host=DIR&user=USER: " +
                                 base);
    store::PgConnection admin(base);
    admin.execute("DROP DATABASE IF EXISTS \"" + name + "\"");
    admin.execute("CREATE DATABASE \"" + name + "\"");
    return base.substr(0, database + 1) + name + base.substr(database + 9);
}

} // namespace katalox::bench
