// export: every record (of one Disk ID, or all) as CSV or JSON with the fields of find, or as
// one self-contained HTML page listing each disk folder by folder, to print or to put in a
// disk's sleeve. Everything is written as it is read.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/FoundRecords.h"
#include "cli/Output.h"

#include "platform/Paths.h"
#include "platform/Utf8.h"
#include "store/catalog/Catalog.h"
#include "store/facts/FactRuns.h"
#include "store/facts/FactTables.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/SqlText.h"

#include <cstdio>
#include <map>
#include <optional>

namespace katalox::cli {

namespace {

const std::vector<OptionSpec> kExportOptions = {
    {"--disk", true}, {"--csv", false}, {"--json", false}, {"--html", false}};

const char* const kRecordColumns =
    "rowid, \"Disk ID\", \"File Path\", \"File Name\", \"File Size\"";

// The record on `row`, whose first columns are kRecordColumns, with its facts.
void readRecord(store::Statement& row, RecordFacts& facts, FoundRecord& record) {
    record.id = row.columnInteger(0);
    record.diskId = row.columnValue(1).asString();
    record.storedPath = row.columnValue(2).asString();
    record.upperName = row.columnValue(3).asString();
    record.size = row.columnInteger(4);
    record.facts = facts.of(record);
    record.livePath.reset();
}

// CSV or JSON, in the order the records were added.
std::int64_t exportRecords(store::Catalog& catalog, const std::optional<std::string>& disk,
                           RecordFormat format) {
    store::Database& db = catalog.database();
    store::Statement rows = db.prepare(std::string("SELECT ") + kRecordColumns + " FROM " +
                                       store::quoteIdentifier(catalog.table()) +
                                       (disk ? " WHERE \"Disk ID\" = ?1" : "") + " ORDER BY rowid");
    if (disk)
        rows.bindText(1, *disk);
    const ConnectedScans connected(db);
    RecordFacts facts(db, catalog.table());
    Output out;
    RecordWriter writer(out, format);
    std::int64_t written = 0;
    FoundRecord record;
    while (rows.step()) {
        readRecord(rows, facts, record);
        if (record.facts)
            record.livePath = connected.livePath(*record.facts);
        writer.write(record);
        ++written;
    }
    return written;
}

// U+2400 to U+241F for the C0 controls, U+2421 for DEL.
void appendControlPicture(std::string& out, unsigned char c) {
    char text[16];
    std::snprintf(text, sizeof text, "&#x%X;", c == 0x7F ? 0x2421u : 0x2400u + c);
    out.append(text);
}

// Text for HTML: the markup characters escaped, bytes that are not UTF-8 as U+FFFD and control
// characters as their visible pictures (a name may hold a line break).
void appendHtml(std::string& out, std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = platform::characterLength(text, i);
        if (c >= 0x80 && length == 1)
            out.append("\xEF\xBF\xBD");
        else if (c == '&')
            out.append("&amp;");
        else if (c == '<')
            out.append("&lt;");
        else if (c == '>')
            out.append("&gt;");
        else if (c == '"')
            out.append("&quot;");
        else if (c == '\'')
            out.append("&#39;");
        else if (c < 0x20 || c == 0x7F)
            appendControlPicture(out, c);
        else
            out.append(text.substr(i, length));
        i += length;
    }
}

// "512 bytes", "1.5 KB", "2.0 MB" (1024-based, as the size options read them).
std::string sizeText(std::int64_t bytes) {
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    if (bytes < 1024)
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    auto value = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

std::string filesText(std::int64_t files) {
    return std::to_string(files) + (files == 1 ? " file" : " files");
}

// "12 files, 1.5 MB (1572864 bytes)"
std::string totalText(std::int64_t files, std::int64_t bytes) {
    std::string text = filesText(files) + ", " + sizeText(bytes);
    if (bytes >= 1024)
        text += " (" + std::to_string(bytes) + " bytes)";
    return text;
}

// The folder part of a path, its last separator included; the path itself when it has none.
std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind(platform::kPathSeparator);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

const char* const kPageStart =
    "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<meta name=\"generator\" content=\"katalox-cli\">\n<style>\n"
    "body { font-family: sans-serif; font-size: 10pt; margin: 1.5em; color: #000; }\n"
    "h1 { font-size: 16pt; margin: 0 0 .5em; }\n"
    "h2 { font-size: 13pt; margin: 1.5em 0 .2em; border-bottom: 2px solid #444; }\n"
    "h3 { font-size: 10.5pt; margin: 1em 0 .2em; word-break: break-all; }\n"
    "h3 .total, .disk-total { font-weight: normal; color: #444; }\n"
    "dl.volume { margin: .2em 0; display: grid; grid-template-columns: max-content auto; "
    "gap: 0 1em; }\n"
    "dl.volume dt { font-weight: bold; } dl.volume dd { margin: 0; word-break: break-all; }\n"
    "table { border-collapse: collapse; width: 100%; margin-bottom: .5em; }\n"
    "th, td { border-bottom: 1px solid #ccc; padding: 1px 6px; text-align: left; "
    "vertical-align: top; }\n"
    "td.name { word-break: break-all; } td.size, td.bytes, th.size, th.bytes { text-align: "
    "right; white-space: nowrap; }\n"
    "td.modified { white-space: nowrap; }\n"
    "@media print { body { margin: 0; font-size: 8pt; } section.disk + section.disk "
    "{ break-before: page; } h3 { break-after: avoid; } tr { break-inside: avoid; } "
    "thead { display: table-header-group; } }\n"
    "</style>\n";

// The last recorded scan of each Disk ID, for its volume's facts.
std::map<std::string, store::RecordedScan> lastScans(store::Catalog& catalog) {
    std::map<std::string, store::RecordedScan> scans;
    for (const store::DiskPresence& presence : catalog.disks())
        if (!presence.scans.empty())
            scans[presence.diskId] = presence.scans.back();
    return scans;
}

void appendFact(std::string& out, const char* name, const std::string& value) {
    if (value.empty())
        return;
    out.append("<dt>").append(name).append("</dt><dd>");
    appendHtml(out, value);
    out.append("</dd>");
}

// Writes the page as the records come, sorted by Disk ID and folder: a section per Disk ID, a
// heading and a table per folder.
class HtmlPage {
public:
    HtmlPage(store::Catalog& catalog, Output& out) : catalog_(catalog), out_(out) {}

    void begin(const std::vector<store::Value>& diskIds) {
        std::string title = "Katalox catalogue";
        for (std::size_t i = 0; i < diskIds.size(); ++i)
            title += (i == 0 ? ": " : ", ") + diskIds[i].asString();
        std::string& out = out_.buffer();
        out.append(kPageStart).append("<title>");
        appendHtml(out, title);
        out.append("</title>\n</head>\n<body>\n<h1>");
        appendHtml(out, title);
        out.append("</h1>\n");
        if (diskIds.empty())
            out.append("<p>No records.</p>\n");
        scans_ = lastScans(catalog_);
    }

    // `folder` tells the record's folder apart from the one before: its stored folder and the
    // folder of its facts (folders whose names differ only in letter case share the first).
    void add(const store::Value& diskId, const FoundRecord& record,
             const std::pair<std::string, store::Value>& folder, std::int64_t folderFiles,
             std::int64_t folderBytes) {
        if (!disk_ || *disk_ != diskId) {
            endDisk();
            beginDisk(diskId);
        }
        if (!folder_ || *folder_ != folder) {
            endFolder();
            folder_ = folder;
            // The folder's real path when its records have facts.
            const std::string shown = record.facts ? folderOf(record.facts->path) : folder.first;
            std::string& out = out_.buffer();
            out.append("<h3>");
            appendHtml(out, shown.empty() ? "(no folder)" : shown);
            out.append(" <span class=\"total\">&mdash; ")
                .append(totalText(folderFiles, folderBytes))
                .append("</span></h3>\n<table>\n<thead><tr><th>Name</th><th class=\"size\">"
                        "Size</th><th class=\"bytes\">Bytes</th><th>Modified</th></tr>"
                        "</thead>\n<tbody>\n");
        }
        const std::string& path = record.path();
        std::string& out = out_.buffer();
        out.append("<tr><td class=\"name\">");
        appendHtml(out, path.substr(folderOf(path).size()));
        out.append("</td><td class=\"size\">")
            .append(sizeText(record.size))
            .append("</td><td class=\"bytes\">")
            .append(std::to_string(record.size))
            .append("</td><td class=\"modified\">");
        if (record.facts)
            out.append(timeText(record.facts->modified));
        out.append("</td></tr>\n");
        out_.resultDone();
    }

    void end() {
        endDisk();
        out_.buffer().append("</body>\n</html>\n");
    }

private:
    void beginDisk(const store::Value& diskId) {
        disk_ = diskId;
        store::Statement total = catalog_.database().prepare(
            "SELECT count(*), coalesce(sum(\"File Size\"), 0) FROM " +
            store::quoteIdentifier(catalog_.table()) + " WHERE \"Disk ID\" IS ?1");
        total.bind(1, diskId);
        total.step();
        const std::int64_t files = total.columnInteger(0);
        const std::int64_t bytes = total.columnValue(1).asInteger();
        const std::string name = diskId.asString();
        std::string& out = out_.buffer();
        out.append("<section class=\"disk\">\n<h2>");
        appendHtml(out, name);
        out.append(" <span class=\"disk-total\">&mdash; ")
            .append(totalText(files, bytes))
            .append("</span></h2>\n");
        if (const auto scan = scans_.find(name); scan != scans_.end()) {
            const store::RecordedScan& last = scan->second;
            out.append("<dl class=\"volume\">");
            appendFact(out, "Label", last.volume.label);
            appendFact(out, "UUID", last.volume.uuid);
            appendFact(out, "File system", last.volume.type);
            appendFact(out, "Scanned folder", last.scannedFolder);
            appendFact(out, "Last scan", last.scannedAt);
            out.append("</dl>\n");
        }
    }

    void endFolder() {
        if (folder_)
            out_.buffer().append("</tbody>\n</table>\n");
        folder_.reset();
    }

    void endDisk() {
        endFolder();
        if (disk_)
            out_.buffer().append("</section>\n");
        disk_.reset();
    }

    store::Catalog& catalog_;
    Output& out_;
    std::map<std::string, store::RecordedScan> scans_;
    std::optional<store::Value> disk_;
    std::optional<std::pair<std::string, store::Value>> folder_;
};

std::int64_t exportPage(store::Catalog& catalog, const std::optional<std::string>& disk) {
    store::Database& db = catalog.database();
    const std::string table = store::quoteIdentifier(catalog.table());
    const std::string where = disk ? " WHERE \"Disk ID\" = ?1" : "";
    std::vector<store::Value> diskIds;
    {
        store::Statement ids =
            db.prepare("SELECT DISTINCT \"Disk ID\" FROM " + table + where + " ORDER BY 1");
        if (disk)
            ids.bindText(1, *disk);
        while (ids.step())
            diskIds.push_back(ids.columnValue(0));
    }
    // rtrim() with every character of the path but the separator leaves its folder. The
    // folders are counted as a window over the sorted records, so nothing is read twice; the
    // folder of a record's facts tells apart folders whose names differ only in letter case.
    const std::string factsFolder =
        store::hasFactTables(db)
            ? "CASE WHEN " + store::factsDroppedSql("r.rowid") + " THEN NULL ELSE (SELECT " +
                  "\"Folder\" FROM " + store::quoteIdentifier(store::kFactsTable) +
                  " WHERE \"First Record\" = " + store::runHoldingSql("r.rowid") + ") END"
            : std::string("NULL");
    store::Statement rows = db.prepare(
        "SELECT id, \"Disk ID\", \"File Path\", \"File Name\", \"File Size\", folder, "
        "factsFolder, count(*) OVER folders, coalesce(sum(\"File Size\") OVER folders, 0) "
        "FROM (SELECT r.rowid AS id, r.\"Disk ID\", r.\"File Path\", r.\"File Name\", "
        "r.\"File Size\", rtrim(r.\"File Path\", replace(r.\"File Path\", '/', '')) AS "
        "folder, " +
        factsFolder + " AS factsFolder FROM " + table + " AS r" +
        (disk ? " WHERE r.\"Disk ID\" = ?1" : "") +
        ") WINDOW folders AS (PARTITION BY \"Disk ID\", folder, factsFolder) "
        "ORDER BY \"Disk ID\", folder, factsFolder, \"File Path\", id");
    if (disk)
        rows.bindText(1, *disk);
    RecordFacts facts(db, catalog.table());
    Output out;
    HtmlPage page(catalog, out);
    page.begin(diskIds);
    std::int64_t written = 0;
    FoundRecord record;
    while (rows.step()) {
        readRecord(rows, facts, record);
        page.add(rows.columnValue(1), record, {rows.columnValue(5).asString(), rows.columnValue(6)},
                 rows.columnInteger(7), rows.columnValue(8).asInteger());
        ++written;
    }
    page.end();
    return written;
}

} // namespace

ExportRequest exportRequestOf(const Words& words) {
    const Arguments args(words, kExportOptions);
    if (!args.words().empty())
        throw UsageError("export takes no words besides its options (\"" + args.words()[0] + "\")");
    const int formats =
        (args.has("--csv") ? 1 : 0) + (args.has("--json") ? 1 : 0) + (args.has("--html") ? 1 : 0);
    if (formats != 1)
        throw UsageError("export needs exactly one of --csv, --json and --html");
    using Form = ExportRequest::Form;
    return {args.value("--disk"), args.has("--html")  ? Form::Html
                                  : args.has("--csv") ? Form::Csv
                                                      : Form::Json};
}

int runExport(store::Catalog& catalog, const Words& words) {
    const ExportRequest request = exportRequestOf(words);
    const std::int64_t written =
        request.form == ExportRequest::Form::Html
            ? exportPage(catalog, request.disk)
            : exportRecords(catalog, request.disk,
                            request.form == ExportRequest::Form::Csv ? RecordFormat::Csv
                                                                     : RecordFormat::Json);
    return written > 0 ? 0 : 1;
}

} // namespace katalox::cli
