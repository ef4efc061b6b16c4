#include "cli/Commands.h"

#include <map>

namespace katalox::cli {

namespace {

const char* const kProgram =
    "Usage: katalox-cli [--catalog FILE|URI | --folder DIR] COMMAND [OPTIONS] [ARGS]\n"
    "\n"
    "The Katalox catalogue from a terminal. Without --catalog or --folder, the catalogue that\n"
    "config.ini in the current folder names, else the per-user folder's.\n"
    "\n"
    "Commands:\n"
    "  find PATTERN...        records whose path holds every PATTERN\n"
    "  disks                  each Disk ID with its volume and whether it is connected\n"
    "  scan DIR --disk-id ID  scan a folder and insert its files under a Disk ID\n"
    "  update ID              bring a connected disk's records up to date\n"
    "  export                 the records as CSV, JSON or an HTML page\n"
    "  check                  the catalogue's integrity and its indexes\n"
    "  init URI               set up a catalogue shared on a PostgreSQL server\n"
    "\n"
    "  --catalog FILE   a catalogue file\n"
    "  --catalog URI    a catalogue on a PostgreSQL server (postgresql://USER@HOST/DBNAME, set\n"
    "                   up by init), for find, disks, scan, export, check and index;\n"
    "                   passwords come from ~/.pgpass or PGPASSWORD\n"
    "  --folder DIR     the catalogue that DIR/config.ini names\n"
    "  --help, --version\n"
    "\n"
    "'katalox-cli COMMAND --help' tells more of one command.\n";

const std::map<std::string, const char*> kCommands = {
    {"find",
     "Usage: katalox-cli find [OPTIONS] PATTERN...\n"
     "\n"
     "Prints the records whose path holds every PATTERN, letter case ignored, one per line as\n"
     "DISK:/path (the real path when recorded). Exit 0 when something was found, 1 when\n"
     "nothing, 2 on errors.\n"
     "\n"
     "  --glob            PATTERNs are wildcards (* ? [...]) matched against the whole path\n"
     "  --regex           PATTERNs are regular expressions (PCRE2) matched against the real\n"
     "                    path when recorded; -i ignores letter case\n"
     "  --disk ID         only this Disk ID (repeatable; wildcards allowed)\n"
     "  --ext EXT         only this extension (letter case ignored; wildcards allowed)\n"
     "  --min-size SIZE, --max-size SIZE   in bytes, or with K, M or G\n"
     "  --newer DATE, --older DATE   modified since, or before, DATE (2024-05-01 or\n"
     "                    2024-05-01T13:45, local time); only files whose time is recorded\n"
     "  --online          only disks connected now\n"
     "  --limit N         at most N results\n"
     "  --count           print only how many were found\n"
     "  -0, --null        end each result with NUL instead of a line break\n"
     "  --json, --csv     every field: disk, name, path, real_path, live_path, size,\n"
     "                    modified, record\n"},
    {"disks",
     "Usage: katalox-cli disks [--json]\n"
     "\n"
     "One line per Disk ID, fields separated by tabs: Disk ID, volume label, UUID, file\n"
     "system, files, bytes, last scan, and where it is connected now (\"-\" when it is not).\n"},
    {"scan",
     "Usage: katalox-cli scan DIR --disk-id ID [--name PATTERN] [--ext PATTERN]\n"
     "                        [--no-fingerprints] [--no-archives]\n"
     "\n"
     "Scans DIR as the scan window does (hidden and system folders skipped; file name and\n"
     "extension patterns, * by default) and inserts the files found under ID, recording the\n"
     "volume they lie on. Shows its progress on a terminal, is silent otherwise.\n"
     "Each file's content is sampled for a fingerprint, which finds its copies on other\n"
     "disks; --no-fingerprints leaves that out, for slow media. The files inside archives\n"
     "and disk images (zip, 7z, rar, tar, iso, ...) become records too, named by the\n"
     "archive's path, // and their path inside it; --no-archives leaves them out.\n"
     "Into a catalogue on a PostgreSQL server the files are written in batches of 10000, each\n"
     "kept once written with the fingerprints of its files and the members of its archives.\n"},
    {"update",
     "Usage: katalox-cli update ID [--dry-run]\n"
     "\n"
     "Compares the records of ID with its disk, found by its volume wherever it is mounted,\n"
     "prints the files added (+), removed (-) and changed in size (~), and applies the\n"
     "changes unless --dry-run is given.\n"},
    {"export",
     "Usage: katalox-cli export [--disk ID] (--csv | --json | --html)\n"
     "\n"
     "Writes every record, of the Disk ID given exactly or of all, to standard output in one\n"
     "format:\n"
     "  --csv, --json   the fields of find --csv/--json, in the order the records were added\n"
     "  --html          one self-contained page to print or to put in a disk's sleeve: for each\n"
     "                  Disk ID its volume (label, UUID, file system, last scan) and totals, then\n"
     "                  its folders in path order with their totals, each with a table of its\n"
     "                  files (real name, size, bytes, modification time when recorded)\n"
     "Exit 0 when records were written, 1 when there were none, 2 on errors.\n"},
    {"index", "Usage: katalox-cli index\n"
              "\n"
              "Brings the catalogue's substring index up to date, which makes find fast. scan and\n"
              "update start it in the background when they end; searches are right meanwhile.\n"},
    {"init",
     "Usage: katalox-cli init postgresql://USER@HOST/DBNAME\n"
     "\n"
     "Sets up a catalogue that a team shares on a PostgreSQL server, in the database the URI\n"
     "names (any libpq connection URI): the table Files with the fields of a catalogue file,\n"
     "an index on the Disk ID and trigram indexes (the extension pg_trgm, which init creates\n"
     "when the database lacks it) on names and paths, all in one transaction. A catalogue set\n"
     "up before is left as it is, or brought up to date when an older Katalox made it.\n"
     "Passwords come from ~/.pgpass or PGPASSWORD, as for psql; the database must hold UTF-8.\n"},
    {"check",
     "Usage: katalox-cli check [--full]\n"
     "\n"
     "Checks the catalogue file's integrity (quick_check), the substring index against the\n"
     "records, the recorded scans (Disk IDs without records, scans stopped before their end)\n"
     "and the recorded facts (facts of records gone, folders of scans gone, folder totals),\n"
     "printing one line per check: \"ok: ...\" or \"problem: ... (what would be repaired)\".\n"
     "Changes nothing. --full runs the engine's complete integrity_check and the index's own\n"
     "integrity check, which read everything. Exit 0 when all is well, 1 when a problem was\n"
     "found, 2 on errors.\n"},
};

} // namespace

std::string helpText(const std::string& command) {
    if (command.empty())
        return kProgram;
    const auto found = kCommands.find(command);
    return found == kCommands.end() ? std::string() : found->second;
}

} // namespace katalox::cli
