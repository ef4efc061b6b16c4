// export on a catalogue on a PostgreSQL server: every record (of one Disk ID, or all) as CSV or
// JSON with the fields of find, in the order they were written, printed as they come, or as the
// page of --html.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/FoundRecords.h"
#include "cli/Output.h"
#include "cli/ServerRecords.h"

#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgListing.h"
#include "store/postgres/PgRecords.h"

namespace katalox::cli {

int runExportOnServer(const std::string& uri, const Words& words) {
    const ExportRequest request = exportRequestOf(words);
    store::PgConnection db(uri);
    store::checkCatalogue(db, uri);
    if (request.form == ExportRequest::Form::Html)
        return exportPageFromServer(db, store::kPgCatalogueTable, request.disk) > 0 ? 0 : 1;
    store::PgRecordQuery query;
    if (request.disk)
        query.diskIds = {*request.disk};
    const store::PgSelect select = store::recordSelect(store::kPgCatalogueTable, query);
    store::PgListing rows(db, select.sql, select.parameters);
    ServerRecordFacts facts(db, store::kPgCatalogueTable);
    Output out;
    std::int64_t written = 0;
    {
        RecordWriter writer(out, request.form == ExportRequest::Form::Csv ? RecordFormat::Csv
                                                                          : RecordFormat::Json);
        FoundRecord record;
        while (rows.next()) {
            readServerRecord(rows, record);
            facts.read(record, true);
            writer.write(record);
            ++written;
        }
    }
    return written > 0 ? 0 : 1;
}

} // namespace katalox::cli
