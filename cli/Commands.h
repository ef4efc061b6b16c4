#pragma once
// The commands of katalox-cli. Each takes the words after its name and returns the exit code;
// errors are exceptions (UsageError for a mistake in the command line).
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

// The help of the program (for an empty command) or of one command; empty for a command that
// does not exist.
std::string helpText(const std::string& command);

} // namespace katalox::cli
