#pragma once
// The content prints of the records of a catalogue table on a server, in tables beside it named
// after it: "<table> Prints" holds each printed record's sampled print with its leading 8 bytes
// as its key, "<table> Copy Groups" counts the keys two or more records share with their size,
// "<table> Verified Files" the whole hash of each record a verification read, "<table> Verify
// Findings" what it found wrong, and "<table> Disk Checks" each Disk ID's last verification and
// protected share. Triggers on the catalogue table forget what is kept of a record that any
// program deletes or whose name, path or size it changes, as the triggers of a catalogue file do.
#include <string>
#include <vector>

namespace katalox::store {

class PgConnection;

struct ServerPrintTables {
    std::string prints, groups, verified, findings, checks;
};
ServerPrintTables serverPrintTables(const std::string& table);

// Makes the tables, their indexes and the triggers (a step of the catalogue's layout).
void createServerPrintTables(PgConnection& db, const std::string& table);

// Run in the transaction that deletes or renames a Disk ID's records, before the change: $1 the
// Disk ID, $2 the new name. A rename onto a Disk ID that has records merges two disks, which
// neither verification covers whole.
std::vector<std::string> forgetServerDiskChecksStatements(const std::string& table);
std::vector<std::string> renameServerDiskChecksStatements(const std::string& table);

// A print as a bytea literal in the server's text form (\x and hex digits), and back.
std::string byteaText(std::string_view bytes);
std::string bytesOfBytea(std::string_view text);

} // namespace katalox::store
