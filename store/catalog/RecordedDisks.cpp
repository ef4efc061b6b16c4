#include "store/catalog/RecordedDisks.h"

#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <ctime>

#include <strings.h>

namespace katalox::store {

const char* const kScanColumns = "\"Disk ID\", \"FS UUID\", \"FS Label\", \"FS Type\", "
                                 "\"Mount Point\", \"Folder\", \"Scanned Folder\", "
                                 "\"Name Pattern\", \"Extension Pattern\", \"Capacity\", "
                                 "\"Free Space\", \"Scanned At\", \"Record Count\", "
                                 "\"Total Size\", \"Listed Files\", \"Complete\"";

namespace {

// The last two fields came later; a table made before them gets them when a scan is next
// recorded.
const char* const kColumns = kScanColumns;
const char* const kLaterColumns[] = {"Listed Files", "Complete"};

const char* const kCreate =
    "CREATE TABLE IF NOT EXISTS Disks (\"Id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
    "\"Disk ID\" TEXT, \"FS UUID\" TEXT, \"FS Label\" TEXT, \"FS Type\" TEXT, "
    "\"Mount Point\" TEXT, \"Folder\" TEXT, \"Scanned Folder\" TEXT, \"Name Pattern\" TEXT, "
    "\"Extension Pattern\" TEXT, \"Capacity\" INTEGER, \"Free Space\" INTEGER, "
    "\"Scanned At\" TEXT, \"Record Count\" INTEGER, \"Total Size\" INTEGER, "
    "\"Listed Files\" INTEGER, \"Complete\" INTEGER);"
    "CREATE INDEX IF NOT EXISTS \"Disks Disk ID\" ON Disks (\"Disk ID\")";

bool tableExists(Database& db) {
    Statement statement =
        db.prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'Disks'");
    return statement.step();
}

bool hasColumn(Database& db, const char* column) {
    return db.integerOf("SELECT count(*) FROM pragma_table_info('Disks') WHERE name = ?1",
                        {Value(std::string(column))}) > 0;
}

std::int64_t clamped(std::uint64_t value) {
    return static_cast<std::int64_t>(std::min<std::uint64_t>(value, INT64_MAX));
}

std::vector<Value> valuesOf(const RecordedScan& scan) {
    const platform::VolumeFacts& volume = scan.volume;
    std::vector<Value> values;
    for (const std::string* text :
         {&scan.diskId, &volume.uuid, &volume.label, &volume.type, &volume.mountPoint,
          &volume.folder, &scan.scannedFolder, &scan.namePattern, &scan.extensionPattern})
        values.emplace_back(*text);
    for (const std::int64_t number : {clamped(volume.capacity), clamped(volume.freeSpace)})
        values.emplace_back(number);
    values.emplace_back(scan.scannedAt);
    for (const std::int64_t number :
         {scan.recordCount, scan.totalSize, scan.listedFiles, std::int64_t{scan.complete ? 1 : 0}})
        values.emplace_back(number);
    return values;
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
    scan.listedFiles = row.columnInteger(i++);
    // Rows written before scans were marked complete hold none: they were.
    const Value complete = row.columnValue(i++);
    scan.complete = complete.isNull() || complete.asInteger() != 0;
    return scan;
}

std::vector<RecordedScan> selectScans(Database& db, const std::string* diskId) {
    std::vector<RecordedScan> scans;
    if (!tableExists(db))
        return scans;
    // A table made before the later columns reads them as NULL (it may not be writable).
    std::string columns = kColumns;
    if (!hasColumn(db, kLaterColumns[0]))
        columns = columns.substr(0, columns.find(", \"Listed Files\"")) + ", NULL, NULL";
    Statement statement =
        db.prepare("SELECT \"Id\", " + columns + " FROM Disks" +
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
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

RecordedScan scanStarting(const std::string& diskId, const scanner::WalkRules& rules,
                          std::size_t listed) {
    RecordedScan recorded;
    recorded.diskId = diskId;
    if (const auto volume = platform::volumeOf(rules.startFolder))
        recorded.volume = *volume;
    recorded.scannedFolder = rules.startFolder;
    recorded.namePattern = rules.namePattern;
    recorded.extensionPattern = rules.extensionPattern;
    recorded.scannedAt = scanTimeNow();
    recorded.listedFiles = static_cast<std::int64_t>(listed);
    recorded.complete = false;
    return recorded;
}

void prepareScanTable(Database& db) {
    db.executeScript(kCreate);
    for (const char* column : kLaterColumns)
        if (!hasColumn(db, column))
            db.executeScript("ALTER TABLE Disks ADD COLUMN " + quoteIdentifier(column) +
                             " INTEGER");
}

std::int64_t recordScan(Database& db, const RecordedScan& scan, bool insideBatch) {
    const std::string sql = std::string("INSERT INTO Disks (") + kColumns +
                            ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
    if (insideBatch) {
        db.executeInBatch(sql, valuesOf(scan));
    } else {
        prepareScanTable(db);
        db.execute(sql, valuesOf(scan));
    }
    return db.lastInsertRowId();
}

bool rewriteRecordedScan(Database& db, const RecordedScan& scan, bool insideBatch) {
    const std::string sql = "UPDATE Disks SET (" + std::string(kColumns) +
                            ") = (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, "
                            "?15, ?16) WHERE \"Id\" = ?17";
    std::vector<Value> values = valuesOf(scan);
    values.emplace_back(scan.id);
    if (insideBatch)
        return db.executeInBatch(sql, values) > 0;
    prepareScanTable(db);
    db.execute(sql, values);
    return db.lastChanges() > 0;
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
