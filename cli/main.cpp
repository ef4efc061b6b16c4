// katalox-cli: finds, lists, scans, updates, exports and checks a catalogue from a terminal.
#include "cli/Arguments.h"
#include "cli/Commands.h"

#include "platform/Paths.h"
#include "store/catalog/Catalog.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/ServerCatalogue.h"
#include "store/settings/ConfigFile.h"
#include "store/settings/UserFolder.h"
#include "store/sqlite/Database.h"

#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace katalox;

namespace {

int fail(const std::string& where, const std::string& message) {
    std::fprintf(stderr, "katalox-cli: %s%s\n", where.empty() ? "" : (where + ": ").c_str(),
                 message.c_str());
    return 2;
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// The catalogue file named by --catalog or --folder, else by config.ini here, else by the
// per-user folder's.
std::string cataloguePath(const std::optional<std::string>& file,
                          const std::optional<std::string>& folder) {
    if (file)
        return *file;
    std::string from = folder.value_or(".");
    if (!folder && !exists(store::ConfigFile::path(from))) {
        const std::string user = store::userFolderPath();
        if (exists(store::ConfigFile::path(user)))
            from = user;
        else
            throw Error("no catalogue: there is no config.ini here nor in " + user +
                        " (give one with --catalog FILE or --folder DIR)");
    }
    const std::vector<std::string> lines =
        store::ConfigFile::readLines(store::ConfigFile::path(from));
    std::string databaseFolder = store::ConfigFile::value(lines, 1);
    // A folder written relative is taken from the folder of config.ini.
    if (!databaseFolder.empty() && databaseFolder[0] != platform::kPathSeparator)
        databaseFolder = platform::joinPath(from, databaseFolder);
    return platform::joinPath(databaseFolder, store::ConfigFile::value(lines, 0));
}

const std::map<std::string, std::function<int(store::Catalog&, const cli::Words&)>> kCommands = {
    {"find", cli::runFind},     {"disks", cli::runDisks},   {"scan", cli::runScan},
    {"update", cli::runUpdate}, {"export", cli::runExport}, {"check", cli::runCheck},
    {"index", cli::runIndex}};

// The commands that work on a catalogue on a PostgreSQL server, given as --catalog URI.
const std::map<std::string, std::function<int(const std::string&, const cli::Words&)>>
    kOnServerCommands = {{"find", cli::runFindOnServer},    {"disks", cli::runDisksOnServer},
                         {"scan", cli::runScanOnServer},    {"export", cli::runExportOnServer},
                         {"check", cli::runCheckOnServer},  {"index", cli::runIndexOnServer},
                         {"update", cli::runUpdateOnServer}};

int runOnServerCatalogue(const std::string& command, const std::string& uri,
                         const cli::Words& words) {
    const std::string where = store::uriForDisplay(uri);
    const auto run = kOnServerCommands.find(command);
    if (run == kOnServerCommands.end())
        return fail(where, command +
                               " works only on a catalogue file so far; on a PostgreSQL server "
                               "find, disks, scan, update, export, check and index do");
    try {
        return run->second(uri, words);
    } catch (const cli::UsageError& mistake) {
        return fail("",
                    std::string(mistake.what()) + "\nTry 'katalox-cli " + command + " --help'.");
    } catch (const std::exception& error) {
        return fail(where, error.what());
    }
}

// Commands that reach a server rather than the catalogue config.ini names.
const std::map<std::string, std::function<int(const cli::Words&)>> kServerCommands = {
    {"init", cli::runInit}};

} // namespace

int main(int argc, char** argv) {
    std::optional<std::string> file;
    std::optional<std::string> folder;
    int at = 1;
    for (; at < argc && argv[at][0] == '-'; ++at) {
        const std::string option = argv[at];
        if (option == "--help" || option == "-h") {
            std::fputs(cli::helpText("").c_str(), stdout);
            return 0;
        }
        if (option == "--version") {
            std::printf("katalox-cli %s\n", KATALOX_VERSION);
            return 0;
        }
        if ((option == "--catalog" || option == "--folder") && at + 1 < argc) {
            (option == "--catalog" ? file : folder) = argv[++at];
            continue;
        }
        return fail("", "unknown option " + option + "\nTry 'katalox-cli --help'.");
    }
    if (at == argc) {
        std::fputs(cli::helpText("").c_str(), stderr);
        return 2;
    }
    const std::string command = argv[at];
    const cli::Words words(argv + at + 1, argv + argc);
    const auto run = kCommands.find(command);
    const auto runOnServer = kServerCommands.find(command);
    if (run == kCommands.end() && runOnServer == kServerCommands.end())
        return fail("", "no command " + command + "\nTry 'katalox-cli --help'.");
    for (const std::string& word : words)
        if (word == "--help" || word == "-h") {
            std::fputs(cli::helpText(command).c_str(), stdout);
            return 0;
        }
    if (runOnServer != kServerCommands.end()) {
        if (file || folder)
            return fail("", command + " takes no --catalog or --folder\nTry 'katalox-cli " +
                                command + " --help'.");
        try {
            return runOnServer->second(words);
        } catch (const cli::UsageError& mistake) {
            return fail("", std::string(mistake.what()) + "\nTry 'katalox-cli " + command +
                                " --help'.");
        } catch (const std::exception& error) {
            return fail("", error.what());
        }
    }
    if (file && store::isServerUri(*file))
        return runOnServerCatalogue(command, *file, words);
    std::string path;
    try {
        path = cataloguePath(file, folder);
        if (!exists(path))
            return fail(path, "there is no catalogue file here");
        store::Catalog catalog(path);
        const int code = run->second(catalog, words);
        // Records a busy catalogue kept back are written before the end, or named.
        const store::Database::Unwritten unwritten = store::Database::writeAllPending();
        if (unwritten.records > 0)
            return fail(path, std::to_string(unwritten.records) +
                                  " records could not be written: " + unwritten.reason);
        return code;
    } catch (const cli::UsageError& mistake) {
        return fail("",
                    std::string(mistake.what()) + "\nTry 'katalox-cli " + command + " --help'.");
    } catch (const std::exception& error) {
        return fail(path, error.what());
    }
}
