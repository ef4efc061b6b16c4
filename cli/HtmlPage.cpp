#include "cli/HtmlPage.h"

#include "platform/Paths.h"
#include "platform/Utf8.h"

#include <cstdio>

namespace katalox::cli {

namespace {

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

void appendFact(std::string& out, const char* name, const std::string& value) {
    if (value.empty())
        return;
    out.append("<dt>").append(name).append("</dt><dd>");
    appendHtml(out, value);
    out.append("</dd>");
}

} // namespace

void HtmlPage::begin(const std::vector<store::Value>& diskIds) {
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
}

void HtmlPage::add(const store::Value& diskId, const FoundRecord& record,
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

void HtmlPage::end() {
    endDisk();
    out_.buffer().append("</body>\n</html>\n");
}

void HtmlPage::beginDisk(const store::Value& diskId) {
    disk_ = diskId;
    const auto [files, bytes] = diskTotals_(diskId);
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

void HtmlPage::endFolder() {
    if (folder_)
        out_.buffer().append("</tbody>\n</table>\n");
    folder_.reset();
}

void HtmlPage::endDisk() {
    endFolder();
    if (disk_)
        out_.buffer().append("</section>\n");
    disk_.reset();
}

} // namespace katalox::cli
