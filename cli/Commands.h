#pragma once
// The commands of katalox-cli. Each takes the words after its name and returns the exit code;
// errors are exceptions (UsageError for a mistake in the command line).
#include <optional>
#include <string>
#include <vector>

namespace katalox::store {
class Catalog;
}

namespace katalox::cli {

using Words = std::vector<std::string>;

int runFind(store::Catalog& catalog, const Words& words);
int runDisks(store::Catalog& catalog, const Words& words);
int runScan(store::Catalog& catalog, const Words& words);
int runUpdate(store::Catalog& catalog, const Words& words);
int runExport(store::Catalog& catalog, const Words& words);
int runCheck(store::Catalog& catalog, const Words& words);
// Brings the substring index up to date, without pauses, and ends.
int runIndex(store::Catalog& catalog, const Words& words);
// find, disks, scan, export, check and index on a catalogue on a PostgreSQL server that `uri`
// names.
int runFindOnServer(const std::string& uri, const Words& words);
int runDisksOnServer(const std::string& uri, const Words& words);
int runScanOnServer(const std::string& uri, const Words& words);
int runExportOnServer(const std::string& uri, const Words& words);
int runCheckOnServer(const std::string& uri, const Words& words);
int runIndexOnServer(const std::string& uri, const Words& words);
int runUpdateOnServer(const std::string& uri, const Words& words);

// What export is asked for: the records of one Disk ID or all, in one of its forms. Throws
// UsageError for anything else.
struct ExportRequest {
    std::optional<std::string> disk;
    enum class Form { Csv, Json, Html } form = Form::Csv;
};
ExportRequest exportRequestOf(const Words& words);
// Sets up a shared catalogue on a PostgreSQL server; takes no catalogue of its own.
int runInit(const Words& words);

// As the windows index new records in the background, scan and update leave a process of
// ours indexing them ("index") when they end, so that a script goes on at once; searches are
// right meanwhile, only slower.
void indexInTheBackground(const store::Catalog& catalog);

// The help of the program (for an empty command) or of one command; empty for a command that
// does not exist.
std::string helpText(const std::string& command);

} // namespace katalox::cli
