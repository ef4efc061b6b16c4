#include "store/postgres/LibPq.h"

#include "platform/Error.h"

#include <atomic>
#include <dlfcn.h>
#include <mutex>
#include <string>

namespace katalox::store {

namespace {

// The soname of libpq, unchanged since PostgreSQL 8.4.
constexpr const char* kLibraryName = "libpq.so.5";

template <typename Function> void resolve(void* library, Function& function, const char* name) {
    void* address = ::dlsym(library, name);
    if (!address)
        throw EngineError(std::string("The PostgreSQL client library ") + kLibraryName +
                          " has no function " + name);
    // POSIX guarantees that a function's address survives the trip through void*.
    function = reinterpret_cast<Function>(address);
}

LibPq load() {
    // Never closed: libpq keeps process-wide state (its SSL set-up) once used.
    void* library = ::dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = ::dlerror();
        throw EngineError(std::string("Cannot load the PostgreSQL client library ") + kLibraryName +
                          " (Debian package libpq5)" +
                          (reason ? std::string(": ") + reason : std::string()));
    }
    LibPq pq{};
    resolve(library, pq.connectdbParams, "PQconnectdbParams");
    resolve(library, pq.status, "PQstatus");
    resolve(library, pq.errorMessage, "PQerrorMessage");
    resolve(library, pq.finish, "PQfinish");
    resolve(library, pq.setNoticeProcessor, "PQsetNoticeProcessor");
    resolve(library, pq.parameterStatus, "PQparameterStatus");
    resolve(library, pq.execParams, "PQexecParams");
    resolve(library, pq.resultStatus, "PQresultStatus");
    resolve(library, pq.resultErrorField, "PQresultErrorField");
    resolve(library, pq.clear, "PQclear");
    resolve(library, pq.ntuples, "PQntuples");
    resolve(library, pq.nfields, "PQnfields");
    resolve(library, pq.getvalue, "PQgetvalue");
    resolve(library, pq.getlength, "PQgetlength");
    resolve(library, pq.getisnull, "PQgetisnull");
    resolve(library, pq.cmdTuples, "PQcmdTuples");
    resolve(library, pq.putCopyData, "PQputCopyData");
    resolve(library, pq.putCopyEnd, "PQputCopyEnd");
    resolve(library, pq.getResult, "PQgetResult");
    resolve(library, pq.fname, "PQfname");
    resolve(library, pq.ftype, "PQftype");
    return pq;
}

} // namespace

const LibPq& libpq() {
    // A failed load is tried again by the next caller (the library may have been installed
    // meanwhile), so this is not a plain function-local static.
    // Once loaded, every call (one per value read) costs one load of an atomic flag.
    static std::mutex guard;
    static LibPq loaded{};
    static std::atomic<bool> done = false;
    if (done.load(std::memory_order_acquire))
        return loaded;
    const std::lock_guard lock(guard);
    if (!done.load(std::memory_order_relaxed)) {
        loaded = load();
        done.store(true, std::memory_order_release);
    }
    return loaded;
}

} // namespace katalox::store
