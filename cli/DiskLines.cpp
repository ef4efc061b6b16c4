#include "cli/DiskLines.h"

#include "cli/Output.h"

namespace katalox::cli {

namespace {

void appendField(std::string& out, const std::string& name, const std::string& value, bool json) {
    if (!json) {
        out.append(value.empty() ? "-" : value).push_back('\t');
        return;
    }
    out.append(",\"").append(name).append("\":");
    appendJson(out, value);
}

} // namespace

void appendDiskLine(std::string& text, const DiskLine& disk, bool json, bool first) {
    if (json) {
        text += first ? "\n{\"disk\":" : ",\n{\"disk\":";
        appendJson(text, disk.diskId);
    } else {
        text.append(disk.diskId).push_back('\t');
    }
    appendField(text, "label", disk.volume.label, json);
    appendField(text, "uuid", disk.volume.uuid, json);
    appendField(text, "file_system", disk.volume.type, json);
    const std::string& where = disk.mountedAt;
    if (json) {
        text +=
            ",\"files\":" + std::to_string(disk.files) + ",\"bytes\":" + std::to_string(disk.bytes);
        appendField(text, "last_scan", disk.scannedAt, true);
        text += std::string(",\"connected\":") + (where.empty() ? "false" : "true");
        text += ",\"mounted_at\":";
        where.empty() ? void(text += "null") : appendJson(text, where);
        text += "}";
    } else {
        text += std::to_string(disk.files) + "\t" + std::to_string(disk.bytes) + "\t";
        text +=
            (disk.scannedAt.empty() ? "-" : disk.scannedAt) + "\t" + (where.empty() ? "-" : where);
        text += "\n";
    }
}

} // namespace katalox::cli
