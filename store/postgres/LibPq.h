#pragma once
// The PostgreSQL client library, loaded on first use rather than linked (see CMakeLists.txt).
// Only the sources of store/postgres include this header: the rest of the program reaches the
// server through PgConnection.
#include <libpq-fe.h>

namespace katalox::store {

struct LibPq {
    decltype(&PQconnectdbParams) connectdbParams;
    decltype(&PQstatus) status;
    decltype(&PQerrorMessage) errorMessage;
    decltype(&PQfinish) finish;
    decltype(&PQsetNoticeProcessor) setNoticeProcessor;
    decltype(&PQparameterStatus) parameterStatus;
    decltype(&PQexecParams) execParams;
    decltype(&PQresultStatus) resultStatus;
    decltype(&PQresultErrorField) resultErrorField;
    decltype(&PQclear) clear;
    decltype(&PQntuples) ntuples;
    decltype(&PQnfields) nfields;
    decltype(&PQgetvalue) getvalue;
    decltype(&PQgetlength) getlength;
    decltype(&PQgetisnull) getisnull;
    decltype(&PQcmdTuples) cmdTuples;
    decltype(&PQputCopyData) putCopyData;
    decltype(&PQputCopyEnd) putCopyEnd;
    decltype(&PQgetResult) getResult;
    decltype(&PQfname) fname;
    decltype(&PQftype) ftype;
};

// The library's functions, loaded once for the whole program. Throws EngineError naming the
// library when it cannot be loaded.
const LibPq& libpq();

} // namespace katalox::store
