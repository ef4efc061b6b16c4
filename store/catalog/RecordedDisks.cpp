#include "store/catalog/RecordedDisks.h"

#include "store/sqlite/Database.h"

#include <QDateTime>

#include <strings.h>

namespace katalox::store {

namespace {

// The row's fields after "Id", in the order the statements below bind and read them.
const char* const kColumns = "\"Disk ID\", \"FS UUID\", \"FS Label\", \"FS Type\", "
                             "\"Mount Point\", \"Folder\", \"Scanned Folder\", \"Name Pattern\", "
                             "\"Extension Pattern\", \"Capacity\", \"Free Space\", "
                             "\"Scanned At\", \"Record Count\", \"Total Size\"";

const char* const kCreate =
    "CREATE TABLE IF NOT EXISTS Disks (\"Id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
    "\"Disk ID\" TEXT, \"FS UUID\" TEXT, \"FS Label\" TEXT, \"FS Type\" TEXT, "
    "\"Mount Point\" TEXT, \"Folder\" TEXT, \"Scanned Folder\" TEXT, \"Name Pattern\" TEXT, "
    "\"Extension Pattern\" TEXT, \"Capacity\" INTEGER, \"Free Space\" INTEGER, "
    "\"Scanned At\" TEXT, \"Record Count\" INTEGER, \"Total Size\" INTEGER);"
    "CREATE INDEX IF NOT EXISTS \"Disks Disk ID\" ON Disks (\"Disk ID\")";

bool tableExists(Database& db) {
    Statement statement =
        db.prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'Disks'");
    return statement.step();
}

void createTable(Database& db) {
    db.executeScript(kCreate);
}

std::int64_t clamped(std::uint64_t value) {
    return static_cast<std::int64_t>(std::min<std::uint64_t>(value, INT64_MAX));
}

void bindScan(Statement& statement, const RecordedScan& scan) {
    const platform::VolumeFacts& volume = scan.volume;
    int i = 0;
    for (const std::string* text :
         {&scan.diskId, &volume.uuid, &volume.label, &volume.type, &volume.mountPoint,
          &volume.folder, &scan.scannedFolder, &scan.namePattern, &scan.extensionPattern})
        statement.bindText(++i, *text);
    statement.bindInteger(++i, clamped(volume.capacity));
    statement.bindInteger(++i, clamped(volume.freeSpace));
    statement.bindText(++i, scan.scannedAt);
    statement.bindInteger(++i, scan.recordCount);
    statement.bindInteger(++i, scan.totalSize);
}

RecordedScan scanAt(const Statement& row) {
    RecordedScan scan;
    platform::VolumeFacts& volume = scan.volume;
    int i = 0;
    scan.id = row.columnInteger(i++);
    for (std::string* text :
         {&scan.diskId, &volume.uuid, &volume.label, &volume.type, &volume.mountPoint,
          &volume.folder, &scan.scannedFolder, &scan.namePattern, &scan.extensionPattern})
        *text = row.columnValue(i++).asString();
    volume.capacity = static_cast<std::uint64_t>(row.columnInteger(i++));
    volume.freeSpace = static_cast<std::uint64_t>(row.columnInteger(i++));
    scan.scannedAt = row.columnValue(i++).asString();
    scan.recordCount = row.columnInteger(i++);
    scan.totalSize = row.columnInteger(i++);
    return scan;
}

std::vector<RecordedScan> selectScans(Database& db, const std::string* diskId) {
    std::vector<RecordedScan> scans;
    if (!tableExists(db))
        return scans;
    Statement statement =
        db.prepare(std::string("SELECT \"Id\", ") + kColumns + " FROM Disks" +
                   (diskId ? " WHERE \"Disk ID\" = ?1" : "") + " ORDER BY \"Id\"");
    if (diskId)
        statement.bindText(1, *diskId);
    while (statement.step())
        scans.push_back(scanAt(statement));
    return scans;
}

void runOnRows(Database& db, const std::string& sql, const std::vector<std::string>& texts) {
    if (!tableExists(db))
        return;
    Statement statement = db.prepare(sql);
    for (std::size_t i = 0; i < texts.size(); ++i)
        statement.bindText(static_cast<int>(i) + 1, texts[i]);
    while (statement.step()) {
    }
}

} // namespace

bool keepsRecordedScans(const std::string& catalogueTable) {
    return ::strcasecmp(catalogueTable.c_str(), "Disks") != 0;
}

std::string scanTimeNow() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
}

void recordScan(Database& db, const RecordedScan& scan) {
    createTable(db);
    Statement statement = db.prepare(std::string("INSERT INTO Disks (") + kColumns +
                                     ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    bindScan(statement, scan);
    statement.step();
}

void rewriteRecordedScan(Database& db, const RecordedScan& scan) {
    Statement statement = db.prepare(
        "UPDATE Disks SET (" + std::string(kColumns) +
        ") = (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14) WHERE \"Id\" = ?15");
    bindScan(statement, scan);
    statement.bindInteger(15, scan.id);
    statement.step();
}

std::vector<RecordedScan> recordedScans(Database& db, const std::string& diskId) {
    return selectScans(db, &diskId);
}

std::vector<RecordedScan> allRecordedScans(Database& db) {
    return selectScans(db, nullptr);
}

void renameRecordedDisk(Database& db, const std::string& diskId, const std::string& newName) {
    runOnRows(db, "UPDATE Disks SET \"Disk ID\" = ?2 WHERE \"Disk ID\" = ?1", {diskId, newName});
}

void forgetRecordedDisk(Database& db, const std::string& diskId) {
    runOnRows(db, "DELETE FROM Disks WHERE \"Disk ID\" = ?1", {diskId});
}

void forgetAllRecordedDisks(Database& db) {
    runOnRows(db, "DELETE FROM Disks", {});
}

} // namespace katalox::store
